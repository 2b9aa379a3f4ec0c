#include "encode_messages.h"

#include "control_text.h"
#include "file_problem.h"

namespace zubmp3::app {
namespace {

std::string input_reason(const EncodeRequest& request, const InputProbe& probe) {
    if (const auto problem = file_problem(request.input, FileNeed::read)) return *problem;
    if (!probe.why.empty()) return probe.why;
    return "cannot be read";
}

std::string output_reason(const EncodeRequest& request, const char* otherwise) {
    if (const auto problem = file_problem(request.output, FileNeed::create)) return *problem;
    return otherwise;
}

}  // namespace

std::string encode_failure(Long number, const EncodeRequest& request, const InputProbe& probe) {
    const std::string& in = request.input;
    const std::string& out = request.output;
    const EncodeSettings& s = request.settings;
    switch (number) {
        case 2: return in + ": is also the output file";
        case 3: return "the input path is empty";
        case 4: return "the output path is empty";
        case 5: return in + ": " + input_reason(request, probe);
        case 9: return in + ": another encoding is running in this process";
        case 12: return "the priority must be 1, 2 or 3";
        case 101: return in + ": the encoder library could not be loaded";
        case 102: return in + ": " + (probe.why.empty() ? "not a WAV file the encoder takes" : probe.why);
        case 103: return in + ": " + input_reason(request, probe);
        case 104: return out + ": cannot be created (" + output_reason(request, "the folder refuses it") + ")";
        case 105: return in + ": the encoder refused these settings";
        case 106: return in + ": the encoder failed";
        case 107: return out + ": could not be written whole (is the device full?)";
        case 108: return std::to_string(s.bitrate) + " kbit/s is not a bitrate the encoder takes";
        case 109: return "'" + s.quality + "' is not a quality the encoder takes";
        case 110: return out + ": names a folder, not a file";
        case 111: return out + ": its folder cannot be created or written to (" +
                         output_reason(request, "no permission or no room") + ")";
        case 112: return in + ": cancelled; " + out + " holds the part encoded";
        case 120: return "'" + s.mode + "' is not a stereo mode the encoder takes";
        default: return in + ": unexpected error " + std::to_string(number);
    }
}

}  // namespace zubmp3::app
