// A stream cut into segments on the MP3 frame grid, each segment encoded by
// a LAME encoder of its own on a pool of worker threads, the output joined
// in order. This works because the bit reservoir is off: every frame stands
// alone. Each segment after the first starts with a few frames of the audio
// before it (priming), so that LAME's analysis reaches the state a single
// encoder would have; their output is dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "lame_tag.h"
#include "pipeline.h"
#include "segment.h"
#include "stream_encoder.h"

namespace encoder {

struct SegmentLayout {
    int channels = 0;
    uint32_t frame_samples = 0;   // per channel in one MP3 frame
    uint32_t first_frames = 0;    // the frames the first segment owns
    uint32_t segment_frames = 0;  // the frames every later segment owns
    uint32_t priming_frames = 0;  // the frames of audio before a segment that it encodes first
    uint32_t max_frame_bytes = 0;
};

class SegmentedEncoder final : public StreamEncoder {
public:
    // Starts up to `threads` workers; `encode` does a segment's work (the
    // tests put a failing one in).
    using SegmentWork = void (*)(const BE_CONFIG&, int, Segment&);
    SegmentedEncoder(const BE_CONFIG& config, const SegmentLayout& layout, unsigned threads,
                     SegmentWork work = &encode_segment);

    unsigned threads() const { return pipeline_.threads(); }
    // The most bytes one call returns: the announced MP3 buffer size.
    uint32_t burst_bytes() const;

    BE_ERR encode(const int16_t* pcm, uint32_t samples, Output& out) override;
    BE_ERR flush(Output& out) override;
    std::vector<uint8_t> tag_frame() override;

private:
    uint64_t pending_end() const;
    uint64_t own_samples() const;  // of the next segment
    bool segment_ready() const;
    void dispatch(bool last);
    // Hands out finished segments in order until at most `outstanding` are left.
    BE_ERR drain(size_t outstanding, Output& out);
    BE_ERR emit(Segment& segment, Output& out);
    BE_ERR fail(BE_ERR error);

    const BE_CONFIG config_;
    const SegmentLayout layout_;
    const SegmentWork work_;
    const size_t max_outstanding_;

    std::vector<int16_t> pending_;  // interleaved samples from pending_start_ on
    uint64_t pending_start_ = 0;    // samples per channel since the stream's start
    uint64_t next_start_ = 0;       // where the next segment's own samples begin
    bool first_ = true;
    uint64_t next_index_ = 0;

    TagAccount account_;
    std::vector<uint8_t> reserved_tag_;
    bool reserved_passed_ = false;
    uint32_t padding_ = 0;
    BE_ERR error_ = BE_ERR_SUCCESSFUL;

    Pipeline pipeline_;  // last: its workers stop before the members above go
};

}  // namespace encoder
