// One segment of a stream, encoded by a LAME encoder of its own.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/blade_enc.h"
#include "pipeline.h"

namespace encoder {

struct Segment : Pipeline::Job {
    uint64_t index = 0;          // 0 for the first
    bool first = false;          // starts the stream: LAME reserves its tag frame
    bool last = false;           // ends the stream: flushed
    uint32_t skip_frames = 0;    // priming frames whose output is dropped
    uint32_t keep_frames = 0;    // frames kept after them; all that remain when last
    std::vector<int16_t> pcm;    // interleaved: priming, the segment's samples, look-ahead

    BE_ERR error = BE_ERR_SUCCESSFUL;
    std::vector<uint8_t> mp3;           // the kept frames, after the reserved tag frame when first
    std::vector<uint8_t> reserved_tag;  // first: LAME's tag frame for this segment alone
    uint32_t padding = 0;               // last: LAME's encoder padding at the end
};

// Encodes `segment` with a fresh encoder set up from `config`, which opened
// a stream of `channels` interleaved channels. Never throws.
void encode_segment(const BE_CONFIG& config, int channels, Segment& segment);

}  // namespace encoder
