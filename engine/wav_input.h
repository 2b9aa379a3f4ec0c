// The WAV input: header check at the canonical offsets and the search for the
// sample data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>

namespace engine {

constexpr size_t kWavHeaderBytes = 136;  // read by the header check
constexpr size_t kWavSearchBytes = 100;  // searched for the data chunk
constexpr int64_t kWavFallbackStart = 60;

// What the header check finds; the job refuses every file that is not kWavAccepted.
enum WavHeaderCheck : int32_t {
    kWavAccepted = 0,
    kWavCannotOpen = 1,
    kWavNotRiffWave = 2,
    kWavNotPcm = 3,  // given only when every other field passes
    kWavNot16Bits = 7,
    kWavBadChannelCount = 8,  // not 1 or 2
    kWavBadSampleRate = 19,
};

// Checks the first bytes of a file (fewer than kWavHeaderBytes count as zero
// beyond the end), in this order: RIFF/WAVE, bits, channels, sample rate,
// PCM. `channels` and `sample_rate` receive the fields once those checks are
// reached.
int32_t check_wav_header(std::span<const uint8_t> head, int32_t& channels, int32_t& sample_rate);

// check_wav_header on the file at a Windows path; kWavCannotOpen when it
// cannot be opened.
int32_t read_wav_header(const char* path, int32_t& channels, int32_t& sample_rate);

// Where the samples lie: [begin, end) in bytes from the start of the file.
struct WavData {
    int64_t begin = kWavFallbackStart;
    int64_t end = kWavFallbackStart;
};

// Chunks the walk looks at before it gives up: enough for any real file,
// and a bound on the reads a hostile file can cause.
constexpr int kMaxChunksWalked = 4096;

// Reads up to `size` bytes at `offset` into `bytes`; answers how many it read.
using ReadAt = std::function<size_t(int64_t offset, uint8_t* bytes, size_t size)>;

// The data chunk reached by walking the RIFF chunks from byte 12 (each size
// checked against the file, odd sizes padded, ids printable); nullopt when
// the chunk list breaks before a data chunk.
std::optional<WavData> walk_to_data_chunk(const ReadAt& read_at, int64_t file_length);

// The search: after the first "data" tag in `head` (the first 100 bytes of a
// file of `file_length` bytes, plus up to 4 more for the size field), else
// from byte 60 (also for files shorter than 100 bytes).
WavData find_wav_data(std::span<const uint8_t> head, int64_t file_length);

// The samples of a file: its data chunk, found by the walk, or when the
// chunk list is broken by the search. They end with the data chunk when its
// size is plausible (not 0, not 0xFFFFFFFF, within the file), else at the end
// of the file.
WavData locate_wav_data(const ReadAt& read_at, int64_t file_length);

// Positions `file` at its first sample byte and answers where the samples lie.
WavData seek_wav_data(FILE* file);

}  // namespace engine
