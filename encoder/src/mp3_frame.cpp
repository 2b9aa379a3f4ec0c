#include "mp3_frame.h"

namespace encoder {
namespace {

// Layer III bitrates in kbit/s by index 1 to 14: MPEG-1, then MPEG-2 and 2.5.
constexpr uint32_t kBitrates[2][15] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
// Sample rates by index 0 to 2: MPEG-1, MPEG-2, MPEG-2.5.
constexpr uint32_t kSampleRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

}  // namespace

std::optional<FrameHeader> parse_frame_header(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4) return std::nullopt;
    // byte 0-1: 11 sync bits, 2 version bits, 2 layer bits, 1 no-CRC bit
    // byte 2:   4 bitrate bits, 2 sample rate bits, padding bit, private bit
    // byte 3:   2 channel mode bits (3 = mono), ...
    if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
    const unsigned version_bits = (bytes[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const unsigned layer_bits = (bytes[1] >> 1) & 3;    // 1 Layer III
    const unsigned bitrate_index = bytes[2] >> 4;
    const unsigned rate_index = (bytes[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits != 1 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return std::nullopt;
    const bool mpeg1 = version_bits == 3;
    const unsigned rate_row = mpeg1 ? 0 : version_bits == 2 ? 1 : 2;
    const bool mono = (bytes[3] >> 6) == 3;
    const bool crc = (bytes[1] & 1) == 0;
    const uint32_t padding = (bytes[2] >> 1) & 1;

    FrameHeader header;
    header.kbps = kBitrates[mpeg1 ? 0 : 1][bitrate_index];
    header.sample_rate = kSampleRates[rate_row][rate_index];
    header.samples = mpeg1 ? 1152 : 576;
    header.bytes = header.samples / 8 * header.kbps * 1000 / header.sample_rate + padding;
    header.side_info = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    header.crc = crc;
    return header;
}

uint32_t max_frame_bytes(uint32_t sample_rate) {
    const bool mpeg1 = sample_rate >= 32000;
    const uint32_t samples = mpeg1 ? 1152 : 576;
    const uint32_t kbps = mpeg1 ? 320 : 160;
    return sample_rate == 0 ? 0 : samples / 8 * kbps * 1000 / sample_rate + 1;
}

}  // namespace encoder
