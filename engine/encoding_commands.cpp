// The encoding words of interface1: settings, job start, status and control.
#include <cstring>

#include "dispatch.h"
#include "engine_state.h"
#include "job.h"
#include "platform/win32.h"
#include "trace.h"

namespace engine {
namespace {

// Copies `text` into a path buffer when it holds at most `max_length`
// characters; otherwise stores the empty text and answers false.
bool copy_path(char* buffer, size_t max_length, const char* text) {
    const size_t length = text == nullptr ? 0 : strnlen(text, max_length + 1);
    if (length > max_length) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text == nullptr ? "" : text, length);
    buffer[length] = '\0';
    return true;
}

int32_t pass_files(const CommandArgs& args) {
    if (job_status.load() == kJobRunning) return 1;
    join_encode_thread();  // the previous worker has already stored its status
    job_status = kJobRunning;
    pause_requested = 0;
    cancel_requested = 0;
    input_path_fits = copy_path(input_wav_path, kInputPathSize - 1, as_text(args.value));
    engine_trace("wave file %s \n", input_wav_path);
    output_path_fits = copy_path(output_mp3_path, kMaxOutputPathLength, as_text(args.text));
    engine_trace("mp3 file %s \n", output_mp3_path);
    return start_encode_thread();
}

int32_t set_bitrate(const CommandArgs& args) {
    setting_bitrate = as_int(args.value);
    engine_trace("bitrate %d \n", setting_bitrate.load());
    return 0;
}

int32_t set_vbr(const CommandArgs& args) {
    setting_vbr = as_int(args.value);
    engine_trace("usevbr %d \n", setting_vbr.load());
    return 0;
}

int32_t set_stereo_mode(const CommandArgs& args) {
    setting_stereo_mode = as_int(args.value);
    engine_trace("stereomode %d \n", setting_stereo_mode.load());
    return 0;
}

int32_t set_quality(const CommandArgs& args) {
    setting_quality = as_int(args.value);
    engine_trace("thequality %d \n", setting_quality.load());
    return 0;
}

int32_t set_priority(const CommandArgs& args) {
    setting_priority = as_int(args.value);
    engine_trace("priority %d \n", setting_priority.load());
    return 0;
}

int32_t set_vbr_max_bitrate(const CommandArgs& args) {
    setting_vbr_max_bitrate = as_int(args.value);
    engine_trace("using vbr max bitrate as %d \n", setting_vbr_max_bitrate.load());
    return 0;
}

int32_t get_status(const CommandArgs&) { return job_status.load(); }
int32_t get_progress(const CommandArgs&) { return job_progress.load(); }

int32_t cancel(const CommandArgs&) {
    engine_trace("cancel called \n");
    cancel_requested = 1;
    while (job_status.load() == kJobRunning) Sleep(50);
    join_encode_thread();
    return 0;
}

int32_t pause(const CommandArgs&) {
    pause_requested = 1;
    return 0;
}

int32_t resume(const CommandArgs&) {
    pause_requested = 0;
    return 0;
}

constexpr Command kEncodingCommands[] = {
    {"passfiles", pass_files},     {"bitrate", set_bitrate},   {"vbr", set_vbr},
    {"stereomode", set_stereo_mode}, {"quality", set_quality}, {"intreturn", get_status},
    {"progress", get_progress},    {"intpriority", set_priority}, {"cancel", cancel},
    {"pause", pause},              {"resume", resume},         {"vbrmaxbitrate", set_vbr_max_bitrate},
};

}  // namespace

std::span<const Command> encoding_commands() { return kEncodingCommands; }

}  // namespace engine
