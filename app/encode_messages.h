// The words for an encoding that failed: the file it concerns, then the
// reason as a user knows it. The control's numbers stay in --events.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "audio_input.h"
#include "control_text.h"
#include "encode_options.h"

namespace zubmp3::app {

// "<path>: <reason>" for the control's error `number` of the encoding
// `request`, whose input was probed as `probe`.
std::string encode_failure(Long number, const EncodeRequest& request, const InputProbe& probe);

// What became of one file, for --json: {"file", "output", "result": the
// control's ErrorCode number or null when it was not asked, "error": the
// message without "zubmp3: " and the input's path, or null, "kept": true
// when --no-clobber kept an existing MP3}.
nlohmann::json encode_report(const std::string& input, const std::string& output, std::optional<Long> result,
                             const std::string& error, bool kept = false);

}  // namespace zubmp3::app
