// The tag frame (Xing for variable, Info for constant bitrate, with LAME's
// extension) of a stream put together from the output of several encoders.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace encoder {

// CRC-16 as the tag uses it (polynomial 0x8005, reflected, no final xor).
uint16_t crc16(uint16_t crc, std::span<const uint8_t> bytes);
// CRC-16 as a frame's protection uses it (polynomial 0x8005, from 0xFFFF).
uint16_t frame_crc16(uint16_t crc, std::span<const uint8_t> bytes);

// Counts the audio frames of a stream in output order, as LAME does for its
// own tag: frame and byte counts, the seek table's samples and the CRC.
class TagAccount {
public:
    void add_frame(std::span<const uint8_t> frame, uint32_t kbps);
    uint32_t frames() const { return frames_; }

    // `reserved` is the tag frame LAME wrote for a stream with the same
    // settings; returns it with this stream's frame count, byte count, seek
    // table, encoder padding and CRCs. Empty when `reserved` is no tag frame.
    std::vector<uint8_t> build(std::span<const uint8_t> reserved, uint32_t padding) const;

private:
    void seek_table(uint8_t* toc) const;

    static constexpr int kBagSize = 400;
    uint8_t mode_extension_ = 0;  // of the last frame, which LAME's tag header repeats
    uint32_t frames_ = 0;
    uint32_t bytes_ = 0;  // audio frames only
    uint16_t music_crc_ = 0;
    // LAME's seek table samples: the running bitrate sum after every
    // `want_`-th frame, halved in resolution whenever the bag fills.
    int sum_ = 0;
    int seen_ = 0;
    int want_ = 1;
    int pos_ = 0;
    int bag_[kBagSize] = {};
};

}  // namespace encoder
