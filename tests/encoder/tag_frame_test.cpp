// The tag frame written for segmented streams, checked against the one LAME
// writes itself for the same frames, and the frame headers it is built from.
#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "lame_tag.h"
#include "mp3_frame.h"

namespace {

using namespace encoder_testing;
using testing_support::ScopedEnv;
using testing_support::TempDir;

TEST(FrameHeader, SizesAndLayouts) {
    struct Row {
        uint8_t header[4];
        uint32_t bytes, kbps, rate, samples, side_info;
        bool crc;
    };
    const Row rows[] = {
        {{0xFF, 0xFB, 0x92, 0x64}, 418, 128, 44100, 1152, 32, false},  // MPEG-1 joint stereo, padded
        {{0xFF, 0xFA, 0xE4, 0xC4}, 960, 320, 48000, 1152, 17, true},   // MPEG-1 mono with CRC
        {{0xFF, 0xF3, 0x80, 0xC4}, 208, 64, 22050, 576, 9, false},     // MPEG-2 mono
        {{0xFF, 0xE3, 0x98, 0x44}, 720, 80, 8000, 576, 17, false},     // MPEG-2.5 joint stereo
    };
    for (const Row& row : rows) {
        const auto header = encoder::parse_frame_header(row.header);
        ASSERT_TRUE(header) << row.bytes;
        EXPECT_EQ(header->bytes, row.bytes);
        EXPECT_EQ(header->kbps, row.kbps);
        EXPECT_EQ(header->sample_rate, row.rate);
        EXPECT_EQ(header->samples, row.samples);
        EXPECT_EQ(header->side_info, row.side_info);
        EXPECT_EQ(header->crc, row.crc);
    }
    const uint8_t bad[][4] = {
        {0xFF, 0xFD, 0x90, 0x64},  // Layer II
        {0xFF, 0xEB, 0x90, 0x64},  // reserved version
        {0xFF, 0xFB, 0xF0, 0x64},  // bitrate index 15
        {0xFF, 0xFB, 0x00, 0x64},  // free format
        {0xFF, 0xFB, 0x9C, 0x64},  // reserved sample rate
        {0xFE, 0xFB, 0x90, 0x64},  // no sync
    };
    for (const auto& header : bad) EXPECT_FALSE(encoder::parse_frame_header(header));
    EXPECT_FALSE(encoder::parse_frame_header(std::span<const uint8_t>(rows[0].header, 3)));
    EXPECT_EQ(encoder::max_frame_bytes(32000), 1441u);
    EXPECT_EQ(encoder::max_frame_bytes(8000), 1441u);
}

// Clears what the account fills in, so that only a correct rebuild restores it.
std::vector<uint8_t> without_stream_fields(std::span<const uint8_t> tag_frame) {
    std::vector<uint8_t> frame(tag_frame.begin(), tag_frame.end());
    const auto header = encoder::parse_frame_header(frame);
    const size_t x = 4 + header->side_info;
    frame[3] &= 0xCF;  // mode extension
    std::fill(frame.begin() + static_cast<ptrdiff_t>(x + 8), frame.begin() + static_cast<ptrdiff_t>(x + 116), 0);
    frame[x + 142] &= 0xF0;  // padding
    frame[x + 143] = 0;
    std::fill(frame.begin() + static_cast<ptrdiff_t>(x + 148), frame.begin() + static_cast<ptrdiff_t>(x + 156), 0);
    if (header->crc) frame[4] = frame[5] = 0;
    return frame;
}

TEST(TagFrame, RebuiltFromTheFramesAsLameWritesIt) {
    ScopedEnv serial("ZUBMP3_ENCODER_THREADS", "1");
    struct Row {
        int32_t mode;
        uint32_t rate;
        bool vbr;
        bool crc;
        double seconds;
    };
    const Row rows[] = {
        {BE_MP3_MODE_JSTEREO, 44100, false, false, 3},
        {BE_MP3_MODE_JSTEREO, 44100, true, false, 3},
        {BE_MP3_MODE_MONO, 22050, true, false, 25},  // past 800 frames: the seek table's samples halve twice
        {BE_MP3_MODE_STEREO, 8000, false, true, 2},  // frame CRC
        {BE_MP3_MODE_MONO_DOWNMIX, 48000, true, true, 2},
    };
    TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.mode << " " << row.rate << (row.vbr ? " vbr" : " cbr"));
        BE_CONFIG config = job_config(row.mode, row.rate, row.vbr);
        config.bCRC = row.crc;
        const int channels = row.mode == BE_MP3_MODE_MONO ? 1 : 2;
        const Encoding encoding = encode_file(config, demo_music(row.seconds, static_cast<int>(row.rate), channels),
                                              dir / "serial.mp3");
        ASSERT_EQ(encoding.error, BE_ERR_SUCCESSFUL);
        const auto frames = frames_of(encoding.mp3);
        ASSERT_GT(frames.size(), 2u);
        const TagFields fields = tag_fields(encoding.mp3);
        ASSERT_TRUE(fields.found);

        encoder::TagAccount account;
        for (size_t i = 1; i < frames.size(); ++i)
            account.add_frame(frames[i], encoder::parse_frame_header(frames[i])->kbps);
        const auto rebuilt = account.build(without_stream_fields(frames[0]), fields.padding);
        EXPECT_TRUE(std::equal(rebuilt.begin(), rebuilt.end(), frames[0].begin(), frames[0].end()));
    }
}

TEST(TagFrame, NoTagFromAFrameWithoutOne) {
    encoder::TagAccount account;
    std::vector<uint8_t> frame(418, 0);
    const uint8_t header[] = {0xFF, 0xFB, 0x92, 0x64};
    std::copy(std::begin(header), std::end(header), frame.begin());
    EXPECT_TRUE(account.build(frame, 0).empty());                                      // no "Xing" or "Info"
    EXPECT_TRUE(account.build(std::span<const uint8_t>(frame).first(100), 0).empty());  // cut short
}

}  // namespace
