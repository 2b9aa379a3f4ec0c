#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"
#include "wav_length.h"

using testing_support::Bytes;
using testing_support::make_wav;
using testing_support::WavSpec;
using zubmp3::app::wav_seconds;

namespace {

void put_u32(Bytes& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TEST(WavLength, CanonicalFile) {
    WavSpec spec;
    spec.seconds = 2;
    const Bytes wav = make_wav(spec);
    EXPECT_DOUBLE_EQ(wav_seconds(wav, wav.size()), 2.0);
    spec.channels = 1;
    spec.sample_rate = 8000;
    const Bytes mono = make_wav(spec);
    EXPECT_DOUBLE_EQ(wav_seconds(mono, mono.size()), 2.0);
}

TEST(WavLength, DataSizeIsClampedToTheFile) {
    WavSpec spec;
    spec.seconds = 1;
    Bytes wav = make_wav(spec);
    put_u32(wav, 40, 0xFFFFFFF0u);  // data chunk claims far more than there is
    EXPECT_DOUBLE_EQ(wav_seconds(wav, wav.size()), 1.0);
    // Only the head was read, but the file is longer: the file's size counts.
    const Bytes head(wav.begin(), wav.begin() + 44);
    EXPECT_DOUBLE_EQ(wav_seconds(head, wav.size()), 1.0);
}

TEST(WavLength, SkipsOtherChunksWithTheirPadding) {
    WavSpec spec;
    spec.seconds = 1;
    const Bytes plain = make_wav(spec);
    // RIFF header, then a LIST chunk of odd size (padded), then fmt and data.
    const Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    Bytes wav = plain;
    wav.insert(wav.begin() + 12, list.begin(), list.end());
    EXPECT_DOUBLE_EQ(wav_seconds(wav, wav.size()), 1.0);
}

TEST(WavLength, HostileOrForeignHeadsGiveZero) {
    WavSpec spec;
    const Bytes wav = make_wav(spec);
    EXPECT_EQ(wav_seconds({}, 0), 0);
    EXPECT_EQ(wav_seconds(Bytes(wav.begin(), wav.begin() + 11), 11), 0);
    Bytes not_riff = wav;
    std::memcpy(not_riff.data(), "RIFX", 4);
    EXPECT_EQ(wav_seconds(not_riff, not_riff.size()), 0);
    Bytes huge_chunk = wav;
    put_u32(huge_chunk, 16, 0xFFFFFFFFu);  // fmt chunk size runs past everything
    EXPECT_EQ(wav_seconds(huge_chunk, huge_chunk.size()), 0);
    Bytes no_rate = wav;
    put_u32(no_rate, 28, 0);  // byte rate 0
    EXPECT_EQ(wav_seconds(no_rate, no_rate.size()), 0);
    Bytes short_fmt = wav;
    put_u32(short_fmt, 16, 4);  // fmt too short to hold a byte rate
    EXPECT_EQ(wav_seconds(short_fmt, short_fmt.size()), 0);
    const Bytes cut(wav.begin(), wav.begin() + 30);  // ends inside fmt
    EXPECT_EQ(wav_seconds(cut, cut.size()), 0);
}
