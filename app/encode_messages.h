// The words for an encoding that failed: the file it concerns, then the
// reason as a user knows it. The control's numbers stay in --events.
#pragma once

#include <optional>
#include <string>

#include "audio_input.h"
#include "control_text.h"
#include "encode_options.h"

namespace zubmp3::app {

// "<path>: <reason>" for the control's error `number` of the encoding
// `request`, whose input was probed as `probe`.
std::string encode_failure(Long number, const EncodeRequest& request, const InputProbe& probe);

}  // namespace zubmp3::app
