#include <gtest/gtest.h>

#include "mpeg_audio.h"
#include "test_support.h"

using zubmp3::app::has_mpeg_audio;
using zubmp3::app::mpeg_frame_length;
using namespace testing_support;

namespace {

TEST(MpegFrameLength, LayersVersionsAndPadding) {
    const uint8_t mpeg1_l3_128k_44k[] = {0xFF, 0xFB, 0x90, 0x00};
    EXPECT_EQ(mpeg_frame_length(mpeg1_l3_128k_44k), 417u);
    const uint8_t padded[] = {0xFF, 0xFB, 0x92, 0x00};
    EXPECT_EQ(mpeg_frame_length(padded), 418u);
    const uint8_t mpeg2_l3_64k_22k[] = {0xFF, 0xF3, 0x80, 0x00};
    EXPECT_EQ(mpeg_frame_length(mpeg2_l3_64k_22k), 208u);  // 72 * 64000 / 22050
    const uint8_t mpeg1_l2_192k_48k[] = {0xFF, 0xFD, 0xA4, 0x00};
    EXPECT_EQ(mpeg_frame_length(mpeg1_l2_192k_48k), 576u);
    const uint8_t mpeg1_l1_384k_32k[] = {0xFF, 0xFF, 0xC8, 0x00};
    EXPECT_EQ(mpeg_frame_length(mpeg1_l1_384k_32k), 576u);  // (12 * 384000 / 32000) * 4

    const uint8_t no_sync[] = {0xFF, 0x1B, 0x90, 0x00};
    const uint8_t reserved_version[] = {0xFF, 0xEB, 0x90, 0x00};
    const uint8_t reserved_layer[] = {0xFF, 0xF9, 0x90, 0x00};
    const uint8_t free_format[] = {0xFF, 0xFB, 0x00, 0x00};
    const uint8_t bad_bitrate[] = {0xFF, 0xFB, 0xF0, 0x00};
    const uint8_t bad_rate[] = {0xFF, 0xFB, 0x9C, 0x00};
    for (const uint8_t* header : {no_sync, reserved_version, reserved_layer, free_format, bad_bitrate, bad_rate})
        EXPECT_FALSE(mpeg_frame_length(header));
}

class HasMpegAudio : public ::testing::Test {
protected:
    // Frames of MPEG-1 layer III, 128 kbit/s, 44.1 kHz (417 bytes each).
    static Bytes frames(int count) {
        Bytes bytes;
        for (int i = 0; i < count; ++i) {
            const Bytes frame = {0xFF, 0xFB, 0x90, 0x00};
            bytes.insert(bytes.end(), frame.begin(), frame.end());
            bytes.resize(bytes.size() + 413, 0x55);
        }
        return bytes;
    }
    static Bytes id3v2(uint32_t body_size, bool footer = false) {
        Bytes tag = {'I', 'D', '3', 3, 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
        for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<uint8_t>((body_size >> shift) & 0x7F));
        tag.resize(tag.size() + body_size + (footer ? 10 : 0), 0);
        return tag;
    }
    static Bytes join(Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    bool check(const Bytes& bytes) {
        write_file(dir / "f", bytes);
        return has_mpeg_audio((dir / "f").string());
    }
    TempDir dir;
};

TEST_F(HasMpegAudio, FramesAfterTags) {
    EXPECT_TRUE(check(frames(3)));
    EXPECT_TRUE(check(frames(1)));  // one frame that ends the file
    EXPECT_TRUE(check(join(id3v2(5000), frames(2))));
    EXPECT_TRUE(check(join(join(id3v2(20), id3v2(30, true)), frames(2))));  // two tags, one with a footer
    Bytes v1 = frames(1);
    v1.insert(v1.end(), {'T', 'A', 'G'});
    v1.resize(v1.size() + 125, 0);
    EXPECT_TRUE(check(v1));                                        // one frame before an ID3v1 record
    EXPECT_TRUE(check(join(Bytes(1000, 0), frames(2))));           // junk before the audio
    EXPECT_TRUE(check(join(id3v2(200 * 1024), frames(2))));         // a large tag is skipped, not read
}

TEST_F(HasMpegAudio, NoAudio) {
    EXPECT_FALSE(check({}));
    EXPECT_FALSE(check(make_wav(WavSpec{})));
    EXPECT_FALSE(check(id3v2(100)));                    // a tag and nothing after it
    EXPECT_FALSE(check(join(Bytes{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, frames(2))));  // a tag beyond the end
    Bytes lone = Bytes(3000, 0x11);
    lone[100] = 0xFF;
    lone[101] = 0xFB;
    lone[102] = 0x90;
    EXPECT_FALSE(check(lone));  // a sync word that no second frame follows
    EXPECT_FALSE(check(join(Bytes(70 * 1024, 0), frames(2))));  // beyond the window looked at
    EXPECT_FALSE(has_mpeg_audio((dir / "missing").string()));
}

TEST_F(HasMpegAudio, WhatEncodersWrite) {
    ZUBMP3_REQUIRE_TOOL("lame");
    write_wav(dir / "in.wav", WavSpec{});
    ASSERT_EQ(run_command("lame --quiet " + shell_quote((dir / "in.wav").string()) + " " +
                          shell_quote((dir / "out.mp3").string())).status, 0);
    EXPECT_TRUE(has_mpeg_audio((dir / "out.mp3").string()));
    EXPECT_FALSE(has_mpeg_audio((dir / "in.wav").string()));
}

}  // namespace
