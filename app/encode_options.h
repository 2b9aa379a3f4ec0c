// The encode command's settings, as the control takes them, and what one
// encoding is asked to do.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "zubmp3/host.h"

namespace zubmp3::app {

// The bitrates the encoder takes, kbit/s.
constexpr std::array<Long, 14> kBitrates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};

struct EncodeSettings {
    Long bitrate = 128;
    std::string mode = "joint";      // the control's own words: stereo, joint, dual, mono
    std::string quality = "normal";  // normal, low, high
    bool vbr = false;
    Long vbr_max = 320;
    std::optional<Long> priority;
};

// One encoding: a file in, an MP3 out.
struct EncodeRequest {
    std::string input, output;  // command-line paths
    EncodeSettings settings;
    bool events = false;        // the control's events on standard output instead of a bar
    bool json = false;          // a JSON object of the outcome on standard output
    bool stdin_keys = false;    // p, r, c read from standard input whatever it is
    bool no_clobber = false;    // an existing output is kept and the input skipped
    // Run on the finished MP3 (tags given with the command); answers an exit status.
    std::function<int(const std::string& mp3)> after_success;
};

// The control's word for a --mode value: stereo, joint, dual, mono in any
// letter case, or their first letters; nullopt for anything else.
std::optional<std::string> mode_word(const std::string& given);
// The same for --quality: normal, low, high in any letter case.
std::optional<std::string> quality_word(const std::string& given);

// "" when the bitrates go together, otherwise the problem in words.
std::string bitrate_problem(const EncodeSettings& settings, bool vbr_max_given);

}  // namespace zubmp3::app
