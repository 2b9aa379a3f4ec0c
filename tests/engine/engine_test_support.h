// Helpers of the engine tests: driving a job through interface1, building
// WAV files with extra chunks, decoding MP3 files with ffmpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "test_support.h"

namespace engine_testing {

using testing_support::Bytes;
namespace fs = std::filesystem;

// Calls interface1 with a word and an integer.
int32_t command(const char* word, intptr_t value = 0);

// The load-time settings, before each test (a process runs many tests).
void reset_settings();

// "passfiles" with the two paths; returns its result.
int32_t pass_files(const std::string& input, const std::string& output);
// Waits (up to 60 s) until job_status is no longer 1000 and returns it.
int32_t wait_for_job();
// pass_files + wait_for_job.
int32_t run_job(const std::string& input, const std::string& output);

// A WAV file: the canonical header of `spec` with `before` inserted ahead of
// the data chunk, `after` appended behind it, and the data size field
// replaced by `data_size` unless it is -1.
Bytes wav_with_chunks(const testing_support::WavSpec& spec, const Bytes& before, const Bytes& after,
                      int64_t data_size = -1);
// A RIFF chunk: 4-byte id, 32-bit size, body.
Bytes chunk(const char* id, size_t body_size, uint8_t fill = 'x');
// The samples of make_wav(spec), without the header.
Bytes wav_samples(const testing_support::WavSpec& spec);

// Decodes with ffmpeg to interleaved 16-bit samples; `ok` is false when
// ffmpeg fails or reports an error.
struct Decoded {
    bool ok = false;
    int channels = 0;
    std::vector<int16_t> samples;
    std::string errors;
    size_t frames() const { return channels == 0 ? 0 : samples.size() / static_cast<size_t>(channels); }
};
Decoded decode_with_ffmpeg(const fs::path& mp3, int channels);

// mpg123's verdict on a file: decodes to nowhere and reports nothing.
bool mpg123_decodes_cleanly(const fs::path& mp3, std::string& messages);

// ffprobe's stream value `entry` (e.g. "duration", "channels").
std::string ffprobe_stream(const fs::path& mp3, const std::string& entry);

// Signal-to-noise ratio in dB of channel `channel` of `decoded` against the
// same channel of the WAV samples `reference`.
double snr_db(const Decoded& decoded, const Bytes& reference, int channels, int channel);

}  // namespace engine_testing
