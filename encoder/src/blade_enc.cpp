// The six BladeEnc-style entry points over libmp3lame.
#include "encoder/blade_enc.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <numeric>
#include <thread>
#include <vector>

#include "info_tag.h"
#include "lame_config.h"
#include "mp3_frame.h"
#include "segmented_encoder.h"
#include "streams.h"

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace encoder {
namespace {

constexpr unsigned kMaxThreads = 16;
// Priming: frames of the audio before a segment that its encoder runs
// through first. Segment length: about three seconds.
constexpr uint32_t kPrimingFrames = 4;
constexpr double kSegmentSeconds = 3.0;
constexpr uint32_t kMaxSegmentFrames = 4096;
// The most one call may return; the engine takes up to 16 MiB.
constexpr uint64_t kMaxBurstBytes = 8u << 20;

// A positive integer from the environment, or 0.
unsigned long environment_number(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text < '0' || *text > '9') return 0;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return *end == '\0' ? value : 0;
}

// ZUBMP3_ENCODER_THREADS, else one per core; at most 16.
unsigned encoder_threads() {
    unsigned long threads = environment_number("ZUBMP3_ENCODER_THREADS");
    if (threads == 0) threads = std::thread::hardware_concurrency();
    return static_cast<unsigned>(std::clamp<unsigned long>(threads, 1, kMaxThreads));
}

// At constant bitrate LAME pads frames (one byte more) in a pattern that
// repeats every `period` frames from the stream's start. A segment encoder
// that starts on a multiple of the period pads as a single encoder does.
uint32_t padding_period(lame_t lame) {
    if (lame_get_VBR(lame) != vbr_off) return 1;
    const auto rate = static_cast<uint32_t>(lame_get_out_samplerate(lame));
    const uint32_t bytes_per_frame_times_rate =
        (lame_get_framesize(lame) == 1152 ? 144000u : 72000u) * static_cast<uint32_t>(lame_get_brate(lame));
    const uint32_t fraction = bytes_per_frame_times_rate % rate;
    return fraction == 0 ? 1 : rate / std::gcd(rate, fraction);
}

// The segment lengths: ZUBMP3_ENCODER_SEGMENT_FRAMES, else about
// kSegmentSeconds of audio, as a multiple of the padding period; the first
// segment is longer by the priming (modulo the period), so that every later
// segment's encoder starts on the period.
void choose_segment_frames(lame_t lame, unsigned threads, SegmentLayout& layout) {
    const auto rate = static_cast<uint32_t>(lame_get_out_samplerate(lame));
    unsigned long frames = environment_number("ZUBMP3_ENCODER_SEGMENT_FRAMES");
    if (frames == 0) frames = static_cast<unsigned long>(kSegmentSeconds * rate / layout.frame_samples + 0.5);
    // Every segment in flight (two per worker) and the last one fit in a burst.
    const uint64_t longest = kMaxBurstBytes / ((2 * uint64_t{threads} + 1) * layout.max_frame_bytes) - 5;
    frames = std::clamp<unsigned long>(frames, kPrimingFrames + 1, std::min<uint64_t>(kMaxSegmentFrames, longest));
    const uint32_t period = padding_period(lame);
    uint32_t length = static_cast<uint32_t>((frames + period / 2) / period * period);
    if (length > longest && length > period) length -= period;
    while (length <= kPrimingFrames) length += period;
    layout.segment_frames = length;
    layout.first_frames = length + kPrimingFrames % period;
}

// Segments on several threads, where each frame stands alone (no bit
// reservoir) and the frame grid of the input is that of the output (no
// resampling); nullptr for a serial stream.
std::unique_ptr<SegmentedEncoder> segmented_encoder(const BE_CONFIG& config, lame_t lame, int channels) {
    const unsigned threads = encoder_threads();
    const int rate = lame_get_out_samplerate(lame);
    if (threads < 2 || config.bNoRes == 0 || rate != lame_get_in_samplerate(lame) || rate <= 0) return nullptr;
    SegmentLayout layout;
    layout.channels = channels;
    layout.frame_samples = static_cast<uint32_t>(lame_get_framesize(lame));
    layout.priming_frames = kPrimingFrames;
    layout.max_frame_bytes = max_frame_bytes(static_cast<uint32_t>(rate));
    choose_segment_frames(lame, threads, layout);
    auto encoder = std::make_unique<SegmentedEncoder>(config, layout, threads);
    if (encoder->threads() == 0) return nullptr;  // no thread could be started
    return encoder;
}

BE_ERR open_stream(const BE_CONFIG& config, std::unique_ptr<Stream>& opened) {
    Lame lame(lame_init());
    if (lame == nullptr) return BE_ERR_NO_MORE_HANDLES;
    int channels = 0;
    if (const BE_ERR error = configure(lame.get(), config, true, channels); error != BE_ERR_SUCCESSFUL) return error;
    const int frame_size = lame_get_framesize(lame.get());
    if (frame_size <= 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    auto stream = std::make_unique<Stream>();
    stream->input_channels = channels;
    stream->samples_per_chunk = static_cast<uint32_t>(frame_size * channels);
    if (auto segmented = segmented_encoder(config, lame.get(), channels)) {
        stream->mp3_buffer_size = segmented->burst_bytes();
        stream->encoder = std::move(segmented);
    } else {
        stream->mp3_buffer_size = static_cast<uint32_t>(frame_size * 5 / 4 + 7200);  // lame.h's worst case
        stream->encoder = std::make_unique<SerialEncoder>(std::move(lame), channels);
    }
    opened = std::move(stream);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR init_stream(BE_CONFIG* config, uint32_t* samples, uint32_t* mp3_buffer_size, HBE_STREAM* stream) {
    if (config == nullptr || samples == nullptr || mp3_buffer_size == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
    if (config->dwStructVersion < 1 || config->dwStructSize < BE_CONFIG_SIZE) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::unique_ptr<Stream> opened;
    if (const BE_ERR error = open_stream(*config, opened); error != BE_ERR_SUCCESSFUL) return error;
    const uint32_t per_chunk = opened->samples_per_chunk;
    const uint32_t buffer_size = opened->mp3_buffer_size;
    const HBE_STREAM handle = add_stream(std::move(opened));
    if (handle == 0) return BE_ERR_NO_MORE_HANDLES;
    *samples = per_chunk;
    *mp3_buffer_size = buffer_size;
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR encode_chunk(HBE_STREAM handle, uint32_t count, const int16_t* pcm, uint8_t* output, uint32_t* output_bytes) {
    Stream* stream = find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || output_bytes == nullptr || (pcm == nullptr && count != 0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *output_bytes = 0;
    if (stream->flushed || count > stream->samples_per_chunk) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // A value left over from an incomplete last frame is dropped.
    const auto samples = count / static_cast<uint32_t>(stream->input_channels);
    Output out{output, stream->mp3_buffer_size};
    const BE_ERR error = stream->encoder->encode(pcm, samples, out);
    if (error != BE_ERR_SUCCESSFUL) return error;
    stream->first_frame.add(std::span<const uint8_t>(output, out.used));
    *output_bytes = out.used;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR deinit_stream(HBE_STREAM handle, uint8_t* output, uint32_t* output_bytes) {
    Stream* stream = find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || output_bytes == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *output_bytes = 0;
    if (stream->flushed) return BE_ERR_SUCCESSFUL;  // the stream holds nothing more
    Output out{output, stream->mp3_buffer_size};
    const BE_ERR error = stream->encoder->flush(out);
    if (error != BE_ERR_SUCCESSFUL) return error;
    stream->first_frame.add(std::span<const uint8_t>(output, out.used));
    stream->flushed = true;
    set_last_flushed(handle);
    *output_bytes = out.used;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR write_info_tag(HBE_STREAM handle, const char* file_name) {
    Stream* stream = find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    // Before the flush the tag would describe frames that never reached the file.
    if (!stream->flushed || file_name == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const std::vector<uint8_t> frame = stream->encoder->tag_frame();
    if (frame.empty()) return BE_ERR_SUCCESSFUL;  // no frame was reserved
    return write_tag_frame(file_name, stream->first_frame.bytes(), frame);
}

// Out of memory inside the library is an error code, never an exception
// across the C interface.
template <typename Call>
BE_ERR guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return BE_ERR_NO_MORE_HANDLES;
    }
}

}  // namespace
}  // namespace encoder

BE_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* samples, uint32_t* mp3_buffer_size, HBE_STREAM* stream) {
    return encoder::guarded([&] { return encoder::init_stream(config, samples, mp3_buffer_size, stream); });
}

BE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM handle, uint32_t count, int16_t* pcm, uint8_t* output,
                               uint32_t* output_bytes) {
    return encoder::guarded([&] { return encoder::encode_chunk(handle, count, pcm, output, output_bytes); });
}

BE_EXPORT BE_ERR beDeinitStream(HBE_STREAM handle, uint8_t* output, uint32_t* output_bytes) {
    return encoder::guarded([&] { return encoder::deinit_stream(handle, output, output_bytes); });
}

BE_EXPORT BE_ERR beCloseStream(HBE_STREAM handle) {
    return encoder::remove_stream(handle) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM handle, const char* file_name) {
    return encoder::guarded([&] { return encoder::write_info_tag(handle, file_name); });
}

BE_EXPORT BE_ERR beWriteVBRHeader(const char* file_name) {
    const HBE_STREAM handle = encoder::last_flushed();
    if (handle == 0) return BE_ERR_INVALID_HANDLE;
    return beWriteInfoTag(handle, file_name);
}
