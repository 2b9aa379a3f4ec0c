// The 4-byte header of an MPEG audio Layer III frame.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace encoder {

struct FrameHeader {
    uint32_t bytes = 0;        // the whole frame, header included
    uint32_t kbps = 0;         // bitrate
    uint32_t sample_rate = 0;  // Hz
    uint32_t samples = 0;      // per channel: 1152 (MPEG-1) or 576 (MPEG-2 and 2.5)
    uint32_t side_info = 0;    // bytes of side information (17 or 32; 9 or 17)
    bool crc = false;          // a 2-byte CRC follows the header
};

// The header at the start of `bytes`; nullopt unless it is a valid Layer III
// header with a bitrate (free format is not produced here).
std::optional<FrameHeader> parse_frame_header(std::span<const uint8_t> bytes);

// Largest frame, in bytes, of any Layer III stream at `sample_rate`.
uint32_t max_frame_bytes(uint32_t sample_rate);

}  // namespace encoder
