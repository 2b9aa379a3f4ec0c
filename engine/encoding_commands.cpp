// The encoding words of interface1: settings, job start, status and control.
#include <array>
#include <atomic>
#include <cstring>
#include <string_view>
#include <utility>

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

// The settings words: each stores its number for the next job and traces it.
struct SettingWord {
    std::string_view word;
    std::atomic<int32_t>* setting;
    const char* trace;
};
constexpr SettingWord kSettingWords[] = {
    {"bitrate", &setting_bitrate, "bitrate %d \n"},
    {"vbr", &setting_vbr, "usevbr %d \n"},
    {"stereomode", &setting_stereo_mode, "stereomode %d \n"},
    {"quality", &setting_quality, "thequality %d \n"},
    {"intpriority", &setting_priority, "priority %d \n"},
    {"vbrmaxbitrate", &setting_vbr_max_bitrate, "using vbr max bitrate as %d \n"},
};

template <size_t Row>
int32_t store_setting(const CommandArgs& args) {
    const SettingWord& row = kSettingWords[Row];
    *row.setting = as_int(args.value);
    engine_trace(row.trace, row.setting->load());
    return 0;
}

template <size_t... Row>
constexpr auto setting_commands(std::index_sequence<Row...>) {
    return std::array{Command{kSettingWords[Row].word, store_setting<Row>}...};
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

constexpr std::array kJobCommands = {
    Command{"passfiles", pass_files}, Command{"intreturn", get_status}, Command{"progress", get_progress},
    Command{"cancel", cancel},        Command{"pause", pause},          Command{"resume", resume},
};

constexpr auto kEncodingCommands =
    join_commands(kJobCommands, setting_commands(std::make_index_sequence<std::size(kSettingWords)>()));

}  // namespace

std::span<const Command> encoding_commands() { return kEncodingCommands; }

}  // namespace engine
