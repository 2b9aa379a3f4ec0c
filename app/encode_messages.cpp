#include "encode_messages.h"

#include <algorithm>
#include <iterator>

#include "control_text.h"
#include "file_problem.h"
#include "zubmp3/engine_results.h"

namespace zubmp3::app {
namespace {

// Why the control could not use the input (its check 5, or the job's
// refusal to read it).
std::string input_reason(Long number, const EncodeRequest& request, const InputProbe& probe) {
    if (const auto problem = file_problem(request.input, FileNeed::read)) return *problem;
    if (!probe.why.empty()) return probe.why;
    return number == kJobInvalidWav ? "not a WAV file the encoder takes" : "cannot be read";
}

}  // namespace

std::string encode_failure(Long number, const EncodeRequest& request, const InputProbe& probe) {
    // Which file each number is about, and its reason in words; a null
    // reason is asked of the file itself. 2 to 12 are the control's own
    // checks of its arguments, the rest the statuses of a finished job.
    enum class About { input, output, none };
    struct Row {
        Long number;
        About about;
        const char* reason;
    };
    static constexpr Row kRows[] = {
        {2, About::input, "is also the output file"},
        {3, About::none, "the input path is empty"},
        {4, About::none, "the output path is empty"},
        {5, About::input, nullptr},
        {9, About::input, "another encoding is running in this process"},
        {12, About::none, "the priority must be 1, 2 or 3"},
        {kJobEncoderUnavailable, About::input, "the encoder library could not be loaded"},
        {kJobInvalidWav, About::input, nullptr},
        {kJobCannotOpenWav, About::input, nullptr},
        {kJobCannotCreateMp3, About::output, "cannot be created"},
        {kJobStreamRefused, About::input, "the encoder refused these settings"},
        {kJobEncoderFailed, About::input, "the encoder failed"},
        {kJobWriteError, About::output, "could not be written whole (is the device full?)"},
        {kJobInvalidBitrate, About::none, "the bitrate is not one the encoder takes"},
        {kJobInvalidQuality, About::none, "the quality is not one the encoder takes"},
        {kJobFileNameMissing, About::output, "names a folder, not a file"},
        {kJobCannotCreateFolder, About::output, "its folder cannot be created or written to"},
        {kJobCancelled, About::input, nullptr},
        {kJobInvalidStereoMode, About::none, "the stereo mode is not one the encoder takes"},
    };
    const auto row = std::find_if(std::begin(kRows), std::end(kRows), [&](const Row& r) { return r.number == number; });
    if (row == std::end(kRows)) return request.input + ": unexpected error " + std::to_string(number);
    if (row->about == About::none) return row->reason;
    if (row->about == About::output) {
        const auto problem = file_problem(request.output, FileNeed::create);
        return request.output + ": " + row->reason + (problem ? " (" + *problem + ")" : "");
    }
    if (number == kJobCancelled) return request.input + ": cancelled; " + request.output + " holds the part encoded";
    return request.input + ": " + (row->reason ? row->reason : input_reason(number, request, probe));
}

nlohmann::json encode_report(const std::string& input, const std::string& output, std::optional<Long> result,
                             const std::string& error, bool kept) {
    std::string words = error;
    if (words.rfind("zubmp3: ", 0) == 0) words.erase(0, 8);
    if (words.rfind(input + ": ", 0) == 0) words.erase(0, input.size() + 2);
    nlohmann::json report = {{"file", input}, {"output", output}, {"result", nullptr}, {"error", nullptr}, {"kept", kept}};
    if (result) report["result"] = *result;
    if (!words.empty()) report["error"] = words;
    return report;
}

}  // namespace zubmp3::app
