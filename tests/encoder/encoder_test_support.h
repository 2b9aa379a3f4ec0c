// Helpers of the encoder library's tests: streams through the six entry
// points, generated signals, decoding with ffmpeg, and the tag frame's fields.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "encoder/blade_enc.h"
#include "test_support.h"

extern "C" {
BE_ERR beInitStream(BE_CONFIG*, uint32_t*, uint32_t*, HBE_STREAM*);
BE_ERR beEncodeChunk(HBE_STREAM, uint32_t, int16_t*, uint8_t*, uint32_t*);
BE_ERR beDeinitStream(HBE_STREAM, uint8_t*, uint32_t*);
BE_ERR beCloseStream(HBE_STREAM);
BE_ERR beWriteInfoTag(HBE_STREAM, const char*);
}

namespace encoder_testing {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

// The record the engine fills: bit reservoir off, normal quality.
BE_CONFIG job_config(int32_t mode, uint32_t rate, bool vbr, uint32_t kbps = 128, uint32_t max_kbps = 320);

struct Encoding {
    BE_ERR error = BE_ERR_SUCCESSFUL;  // of the first call that failed
    uint32_t buffer_size = 0;          // announced by beInitStream
    uint32_t largest_output = 0;       // the most one call returned
    Bytes mp3;                         // the file, with its tag frame written
};
// Runs `pcm` (interleaved) through a stream as the engine does, chunk by
// chunk, stopping after `limit` values as a cancel does; writes `path`, its
// tag frame, and closes the stream.
Encoding encode_file(const BE_CONFIG& config, const Samples& pcm, const fs::path& path, size_t limit = SIZE_MAX);

// The demo's generated music, from zubmp3-demo-wav.
Samples demo_music(double seconds, int rate, int channels);
// Pink-ish noise (white noise through a one-pole low-pass), reproducible.
Samples noise(double seconds, int rate, int channels);

// ffmpeg's decoding; `ok` false on any error message.
struct Decoded {
    bool ok = false;
    std::string errors;
    Samples samples;  // interleaved as the file holds them
};
Decoded decode(const fs::path& mp3);
// Several files through one ffmpeg process.
std::vector<Decoded> decode_all(const std::vector<fs::path>& mp3s);
bool mpg123_clean(const fs::path& mp3, std::string& messages);

// The MP3 frames of `mp3`, each a view into it.
std::vector<std::span<const uint8_t>> frames_of(const Bytes& mp3);

// The fields of the tag frame (the first frame) that describe the stream.
struct TagFields {
    bool found = false;
    std::string kind;  // "Xing" or "Info"
    uint32_t frames = 0;
    uint32_t bytes = 0;
    std::vector<uint8_t> toc;
    uint32_t delay = 0;
    uint32_t padding = 0;
};
TagFields tag_fields(const Bytes& mp3);

// Signal-to-noise ratio in dB of `decoded` against `reference`.
double snr_db(const Samples& decoded, const Samples& reference);
// The largest ratio, over windows of `window` values, of the RMS difference
// between two encodings to the coding noise of the first (at least 1 LSB):
// a seam (a click, a frame lost or doubled) makes it large.
double worst_difference_to_noise(const Samples& serial, const Samples& parallel, const Samples& reference,
                                 size_t window);

// Two channels mixed to one, as LAME does for mono from stereo.
Samples mix_down(const Samples& stereo);

}  // namespace encoder_testing
