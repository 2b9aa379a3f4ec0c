// The engine's process-wide state: one set per loaded engine library, with its
// load-time defaults. The four words shared with the worker thread are atomic
// 32-bit values with one writer at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace engine {

extern std::atomic<int32_t> job_status;        // a JobStatus: kJobRunning while a job runs
extern std::atomic<int32_t> job_progress;      // percent
extern std::atomic<int32_t> pause_requested;
extern std::atomic<int32_t> cancel_requested;
extern std::atomic<int32_t> job_held;          // 1 while the worker waits in a pause, between two chunks

constexpr size_t kInputPathSize = 300;   // input path: at most 299 characters
constexpr size_t kOutputPathSize = 300;  // output path: at most 255 characters (split buffer)
constexpr size_t kMaxOutputPathLength = 255;
extern char input_wav_path[kInputPathSize];
extern char output_mp3_path[kOutputPathSize];
// False when "passfiles" was given a path too long for its buffer: the job
// then ends with 102 (input) or 111 (output) instead of overrunning it.
extern bool input_path_fits;
extern bool output_path_fits;

// Settings: written by the commands, read by the job once per run (the job
// also rewrites a stereo mode of 3 as 4), so atomic as well.
extern std::atomic<int32_t> setting_bitrate;          // kbit/s
extern std::atomic<int32_t> setting_vbr;              // 0 constant bitrate
extern std::atomic<int32_t> setting_vbr_max_bitrate;  // kbit/s
extern std::atomic<int32_t> setting_stereo_mode;      // 0 stereo, 1 joint, 2 dual, 3/4 mono
extern std::atomic<int32_t> setting_quality;          // 0 normal, 1 low, 2 high
extern std::atomic<int32_t> setting_priority;         // 1 idle, 2 normal, 3 high

}  // namespace engine
