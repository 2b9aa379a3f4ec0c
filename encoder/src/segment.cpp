#include "segment.h"

#include <lame/lame.h>

#include <memory>
#include <new>

#include "lame_config.h"
#include "mp3_frame.h"
#include "stream_encoder.h"

namespace encoder {
namespace {

// Runs the segment's samples (and the flush, when last) through `lame`;
// `out` receives everything LAME wrote.
BE_ERR run_lame(lame_t lame, int channels, const Segment& segment, std::vector<uint8_t>& out) {
    const size_t samples = segment.pcm.size() / static_cast<size_t>(channels);
    out.resize(samples * 5 / 4 + 2 * 7200);  // lame.h's worst case, and the flush's
    int written = 0;
    if (samples > 0) {
        int16_t* pcm = const_cast<int16_t*>(segment.pcm.data());  // LAME only reads it
        const int count = static_cast<int>(samples);
        const int size = static_cast<int>(out.size());
        written = channels == 2 ? lame_encode_buffer_interleaved(lame, pcm, count, out.data(), size)
                                : lame_encode_buffer(lame, pcm, pcm, count, out.data(), size);
        if (written < 0) return from_lame_result(written);
    }
    if (segment.last) {
        const int flushed = lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
        if (flushed < 0) return from_lame_result(flushed);
        written += flushed;
    }
    out.resize(static_cast<size_t>(written));
    return BE_ERR_SUCCESSFUL;
}

// Bytes of `count` whole frames at `offset` of `bytes` (of every frame to the
// end when `all`); 0 when a frame is cut or missing.
size_t frames_length(const std::vector<uint8_t>& bytes, size_t offset, uint32_t count, bool all) {
    size_t at = offset;
    for (uint32_t frame = 0; all ? at < bytes.size() : frame < count; ++frame) {
        const auto header = parse_frame_header(std::span<const uint8_t>(bytes).subspan(at));
        if (!header || bytes.size() - at < header->bytes) return 0;
        at += header->bytes;
    }
    return at - offset;
}

// Keeps the reserved tag frame (first) and the segment's own frames.
BE_ERR select_frames(Segment& segment, std::vector<uint8_t>& out) {
    const size_t reserved = segment.reserved_tag.size();
    if (out.size() < reserved) return BE_ERR_INVALID_FORMAT;
    const size_t skipped = frames_length(out, reserved, segment.skip_frames, false);
    if (skipped == 0 && segment.skip_frames != 0) return BE_ERR_INVALID_FORMAT;
    const size_t kept = frames_length(out, reserved + skipped, segment.keep_frames, segment.last);
    if (kept == 0 && (segment.keep_frames != 0 || reserved + skipped < out.size())) return BE_ERR_INVALID_FORMAT;
    out.erase(out.begin() + static_cast<ptrdiff_t>(reserved + skipped + kept), out.end());
    out.erase(out.begin() + static_cast<ptrdiff_t>(reserved), out.begin() + static_cast<ptrdiff_t>(reserved + skipped));
    segment.mp3 = std::move(out);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR encode(const BE_CONFIG& config, int channels, Segment& segment) {
    const Lame lame(lame_init());
    if (lame == nullptr) return BE_ERR_NO_MORE_HANDLES;
    int configured_channels = 0;
    if (const BE_ERR error = configure(lame.get(), config, segment.first, configured_channels); error != 0)
        return error;
    if (configured_channels != channels) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::vector<uint8_t> out;
    if (const BE_ERR error = run_lame(lame.get(), channels, segment, out); error != 0) return error;
    if (segment.first) {
        segment.reserved_tag.resize(2880);  // the largest frame
        const size_t size = lame_get_lametag_frame(lame.get(), segment.reserved_tag.data(), segment.reserved_tag.size());
        segment.reserved_tag.resize(size <= segment.reserved_tag.size() ? size : 0);
    }
    if (segment.last) segment.padding = static_cast<uint32_t>(lame_get_encoder_padding(lame.get()));
    return select_frames(segment, out);
}

}  // namespace

void encode_segment(const BE_CONFIG& config, int channels, Segment& segment) {
    try {
        segment.error = encode(config, channels, segment);
    } catch (const std::bad_alloc&) {
        segment.error = BE_ERR_NO_MORE_HANDLES;
    }
    if (segment.error != BE_ERR_SUCCESSFUL) segment.mp3.clear();
    segment.pcm = {};  // the samples are not needed any more
}

}  // namespace encoder
