#include "lame_tag.h"

#include <array>
#include <cmath>
#include <cstring>

#include "mp3_frame.h"

namespace encoder {
namespace {

constexpr std::array<uint16_t, 256> make_crc_table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = make_crc_table();

void put_u32_be(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

void put_u16_be(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

// Offsets from the start of the Xing/Info tag, which follows the frame's
// header and side information.
constexpr size_t kTagId = 0;          // "Xing" or "Info"
constexpr size_t kFrameCount = 8;     // after the 4 flag bytes
constexpr size_t kByteCount = 12;     // the tag frame included
constexpr size_t kToc = 16;           // 100 seek table entries
constexpr size_t kDelayPadding = 141; // 12 bits delay, 12 bits padding
constexpr size_t kMusicLength = 148;  // the byte count again
constexpr size_t kMusicCrc = 152;     // CRC of the audio frames
constexpr size_t kTagCrc = 154;       // CRC of the frame up to here
constexpr size_t kTagEnd = 156;

}  // namespace

uint16_t crc16(uint16_t crc, std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
    return crc;
}

uint16_t frame_crc16(uint16_t crc, std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool carry = ((crc >> 15) ^ (byte >> bit)) & 1;
            crc = static_cast<uint16_t>(crc << 1);
            if (carry) crc ^= 0x8005;
        }
    }
    return crc;
}

void TagAccount::add_frame(std::span<const uint8_t> frame, uint32_t kbps) {
    if (frame.size() >= 4) mode_extension_ = frame[3] & 0x30;
    ++frames_;
    bytes_ += static_cast<uint32_t>(frame.size());
    music_crc_ = crc16(music_crc_, frame);
    sum_ += static_cast<int>(kbps);
    if (++seen_ < want_) return;
    if (pos_ < kBagSize) {
        bag_[pos_++] = sum_;
        seen_ = 0;
    }
    if (pos_ == kBagSize) {
        for (int i = 1; i < kBagSize; i += 2) bag_[i / 2] = bag_[i];
        want_ *= 2;
        pos_ /= 2;
    }
}

// Entry i is the share (of 256) of the stream before i % of its frames,
// taken from the sampled bitrate sums exactly as LAME computes it.
void TagAccount::seek_table(uint8_t* toc) const {
    toc[0] = 0;
    if (pos_ <= 0) return;
    for (int i = 1; i < 100; ++i) {
        const float share = static_cast<float>(i) / 100.0f;
        int index = static_cast<int>(std::floor(share * static_cast<float>(pos_)));
        if (index > pos_ - 1) index = pos_ - 1;
        const float reached = static_cast<float>(bag_[index]);
        const float total = static_cast<float>(sum_);
        const int point = static_cast<int>(256.0 * reached / total);
        toc[i] = static_cast<uint8_t>(point > 255 ? 255 : point);
    }
}

std::vector<uint8_t> TagAccount::build(std::span<const uint8_t> reserved, uint32_t padding) const {
    const auto header = parse_frame_header(reserved);
    if (!header || header->bytes != reserved.size()) return {};
    // LAME puts the tag right after the side information, also with a CRC.
    const size_t tag = 4 + header->side_info;
    if (reserved.size() < tag + kTagEnd) return {};
    if (std::memcmp(&reserved[tag + kTagId], "Xing", 4) != 0 && std::memcmp(&reserved[tag + kTagId], "Info", 4) != 0)
        return {};

    std::vector<uint8_t> frame(reserved.begin(), reserved.end());
    frame[3] = static_cast<uint8_t>((frame[3] & ~0x30) | mode_extension_);
    uint8_t* const at = frame.data() + tag;
    const uint32_t stream_bytes = bytes_ + static_cast<uint32_t>(frame.size());
    put_u32_be(at + kFrameCount, frames_);
    put_u32_be(at + kByteCount, stream_bytes);
    seek_table(at + kToc);
    at[kDelayPadding + 1] = static_cast<uint8_t>((at[kDelayPadding + 1] & 0xF0) | ((padding >> 8) & 0x0F));
    at[kDelayPadding + 2] = static_cast<uint8_t>(padding);
    put_u32_be(at + kMusicLength, stream_bytes);
    put_u16_be(at + kMusicCrc, music_crc_);
    if (header->crc) {  // the header's CRC covers its last two bytes and the side information
        uint16_t crc = frame_crc16(0xFFFF, std::span<const uint8_t>(frame.data() + 2, 2));
        crc = frame_crc16(crc, std::span<const uint8_t>(frame.data() + 6, header->side_info));
        put_u16_be(frame.data() + 4, crc);
    }
    put_u16_be(at + kTagCrc, crc16(0, std::span<const uint8_t>(frame.data(), tag + kTagCrc)));
    return frame;
}

}  // namespace encoder
