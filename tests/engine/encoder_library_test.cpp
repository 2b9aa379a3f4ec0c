// The encoder library's entry points, called directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "encoder/blade_enc.h"
#include "encoder_binding.h"
#include "engine_state.h"
#include "engine_test_support.h"
#include "platform/win32.h"

extern "C" {
BE_ERR beInitStream(BE_CONFIG*, uint32_t*, uint32_t*, HBE_STREAM*);
BE_ERR beEncodeChunk(HBE_STREAM, uint32_t, int16_t*, uint8_t*, uint32_t*);
BE_ERR beDeinitStream(HBE_STREAM, uint8_t*, uint32_t*);
BE_ERR beCloseStream(HBE_STREAM);
BE_ERR beWriteVBRHeader(const char*);
BE_ERR beWriteInfoTag(HBE_STREAM, const char*);
}

namespace {

using engine_testing::Bytes;
namespace fs = std::filesystem;

// The record's published layout.
static_assert(offsetof(BE_CONFIG, dwConfig) == 0);
static_assert(offsetof(BE_CONFIG, dwStructVersion) == 4);
static_assert(offsetof(BE_CONFIG, dwStructSize) == 8);
static_assert(offsetof(BE_CONFIG, dwSampleRate) == 12);
static_assert(offsetof(BE_CONFIG, dwReSampleRate) == 16);
static_assert(offsetof(BE_CONFIG, nMode) == 20);
static_assert(offsetof(BE_CONFIG, dwBitrate) == 24);
static_assert(offsetof(BE_CONFIG, dwMaxBitrate) == 28);
static_assert(offsetof(BE_CONFIG, nPreset) == 32);
static_assert(offsetof(BE_CONFIG, dwMpegVersion) == 36);
static_assert(offsetof(BE_CONFIG, dwEmphasis) == 44);
static_assert(offsetof(BE_CONFIG, bPrivate) == 48);
static_assert(offsetof(BE_CONFIG, bOriginal) == 60);
static_assert(offsetof(BE_CONFIG, bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG, bEnableVBR) == 68);
static_assert(offsetof(BE_CONFIG, nVBRQuality) == 72);
static_assert(offsetof(BE_CONFIG, dwVbrAbr_bps) == 76);
static_assert(offsetof(BE_CONFIG, nVbrMethod) == 80);
static_assert(offsetof(BE_CONFIG, bNoRes) == 84);
static_assert(offsetof(BE_CONFIG, bStrictIso) == 88);
static_assert(offsetof(BE_CONFIG, nQuality) == 92);
static_assert(offsetof(BE_CONFIG, btReserved) == 94);
static_assert(sizeof(BE_CONFIG) == 331);

BE_CONFIG config(int32_t mode, uint32_t rate = 44100, bool vbr = false) {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_LAME;
    c.dwStructVersion = 1;
    c.dwStructSize = BE_CONFIG_SIZE;
    c.dwSampleRate = rate;
    c.nMode = mode;
    c.dwBitrate = 128;
    c.dwMaxBitrate = 320;
    c.bEnableVBR = vbr;
    c.bWriteVBRHeader = vbr;
    c.bNoRes = 1;
    return c;
}

struct Opened {
    BE_ERR error;
    uint32_t samples = 0, buffer = 0;
    HBE_STREAM stream = 0;
};

Opened open_stream(BE_CONFIG c) {
    Opened o{};
    o.error = beInitStream(&c, &o.samples, &o.buffer, &o.stream);
    return o;
}

TEST(EncoderLibrary, ChunkAndBufferSizes) {
    testing_support::ScopedEnv serial("ZUBMP3_ENCODER_THREADS", "1");
    struct Row {
        int32_t mode;
        uint32_t rate;
        uint32_t samples;
    };
    // 1152 samples per channel per frame for MPEG-1 rates, 576 below 32 kHz.
    const Row rows[] = {{1, 44100, 2304}, {0, 48000, 2304}, {2, 32000, 2304}, {3, 44100, 1152},
                        {4, 44100, 2304}, {1, 16000, 1152}, {3, 8000, 576}};
    for (const Row& row : rows) {
        const Opened o = open_stream(config(row.mode, row.rate));
        ASSERT_EQ(o.error, BE_ERR_SUCCESSFUL) << row.mode << " " << row.rate;
        EXPECT_NE(o.stream, 0u);
        EXPECT_EQ(o.samples, row.samples) << row.mode << " " << row.rate;
        const uint32_t per_channel = row.samples / (row.mode == 3 ? 1 : 2);
        EXPECT_EQ(o.buffer, per_channel * 5 / 4 + 7200);
        EXPECT_EQ(beCloseStream(o.stream), BE_ERR_SUCCESSFUL);
    }
}

TEST(EncoderLibrary, RefusesBadConfigurations) {
    BE_CONFIG c = config(1);
    c.dwConfig = 0;
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT);
    for (const int32_t mode : {-1, 5, 1000}) EXPECT_EQ(open_stream(config(mode)).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = config(1);
    c.nPreset = 3;
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = config(1);
    c.dwStructSize = 100;  // a shorter record than the library reads
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = config(1, 44100, true);
    c.nVBRQuality = 10;
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
    c = config(1, 0x80000000u);
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
    EXPECT_EQ(beInitStream(nullptr, nullptr, nullptr, nullptr), BE_ERR_INVALID_FORMAT_PARAMETERS);
}

// At constant bitrate the VBR fields are not used, so no value of theirs
// refuses the stream; with VBR on they are checked.
TEST(EncoderLibrary, VbrFieldsAreIgnoredAtConstantBitrate) {
    BE_CONFIG c = config(1);
    c.dwMaxBitrate = static_cast<uint32_t>(-5);
    c.dwVbrAbr_bps = 0xFFFFFFFFu;
    c.nVBRQuality = 10;
    const Opened o = open_stream(c);
    EXPECT_EQ(o.error, BE_ERR_SUCCESSFUL);
    beCloseStream(o.stream);
    c = config(1, 44100, true);
    c.dwMaxBitrate = static_cast<uint32_t>(-5);
    EXPECT_EQ(open_stream(c).error, BE_ERR_INVALID_FORMAT_PARAMETERS);
}

TEST(EncoderLibrary, HandlesAreCheckedAndClosedExactlyOnce) {
    const Opened o = open_stream(config(1));
    ASSERT_EQ(o.error, BE_ERR_SUCCESSFUL);
    std::vector<int16_t> pcm(o.samples + 2, 0);
    std::vector<uint8_t> out(o.buffer);
    uint32_t bytes = 0;
    EXPECT_EQ(beEncodeChunk(o.stream, o.samples + 2, pcm.data(), out.data(), &bytes),
              BE_ERR_INVALID_FORMAT_PARAMETERS);  // more than one chunk
    EXPECT_EQ(beEncodeChunk(o.stream, o.samples, pcm.data(), out.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beDeinitStream(o.stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beEncodeChunk(o.stream, 2, pcm.data(), out.data(), &bytes), BE_ERR_INVALID_FORMAT_PARAMETERS);
    // The info tag leaves the stream open, whatever the file.
    EXPECT_NE(beWriteInfoTag(o.stream, "Q:\\absent.mp3"), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(o.stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(beCloseStream(o.stream), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beWriteInfoTag(o.stream, "Q:\\absent.mp3"), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beEncodeChunk(o.stream, 2, pcm.data(), out.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beDeinitStream(0, out.data(), &bytes), BE_ERR_INVALID_HANDLE);
    EXPECT_EQ(beCloseStream(0), BE_ERR_INVALID_HANDLE);
}

// Encodes `seconds` of a stereo sine into `path`, preceded by `lead` bytes.
// Returns the open stream (flushed).
HBE_STREAM encode_file(const fs::path& path, const Bytes& lead, bool vbr) {
    const Opened o = open_stream(config(1, 44100, vbr));
    EXPECT_EQ(o.error, BE_ERR_SUCCESSFUL);
    Bytes file = lead;
    std::vector<uint8_t> out(o.buffer);
    std::vector<int16_t> pcm(o.samples);
    uint32_t bytes = 0;
    for (int chunk = 0; chunk < 40; ++chunk) {
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<int16_t>(8000 * std::sin(0.06 * static_cast<double>(chunk * pcm.size() + i)));
        EXPECT_EQ(beEncodeChunk(o.stream, o.samples, pcm.data(), out.data(), &bytes), BE_ERR_SUCCESSFUL);
        file.insert(file.end(), out.begin(), out.begin() + bytes);
    }
    EXPECT_EQ(beDeinitStream(o.stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    file.insert(file.end(), out.begin(), out.begin() + bytes);
    testing_support::write_file(path, file);
    return o.stream;
}

bool holds_at(const Bytes& file, size_t offset, const char* text) {
    return file.size() >= offset + 4 && std::equal(text, text + 4, file.begin() + static_cast<ptrdiff_t>(offset));
}

// The Xing/Info tag sits 36 bytes into a stereo MPEG-1 frame; its frame
// count (after flags) is not zero once written.
bool tag_written(const Bytes& file, size_t frame, const char* kind) {
    return holds_at(file, frame + 36, kind) &&
           (file[frame + 44] | file[frame + 45] | file[frame + 46] | file[frame + 47]) != 0;
}

TEST(EncoderLibrary, InfoTagReplacesTheReservedFrameAfterAnId3v2Tag) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    // A 20-byte ID3v2 tag: header with synchsafe size 10, then padding.
    Bytes id3(20, 0);
    std::copy_n("ID3\x03", 4, id3.begin());
    id3[9] = 10;
    const HBE_STREAM cbr = encode_file(dir / "cbr.mp3", id3, false);
    EXPECT_FALSE(tag_written(testing_support::read_file(dir / "cbr.mp3"), 20, "Info"));
    EXPECT_EQ(beWriteInfoTag(cbr, drive.windows("cbr.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_TRUE(tag_written(testing_support::read_file(dir / "cbr.mp3"), 20, "Info"));
    EXPECT_EQ(beCloseStream(cbr), BE_ERR_SUCCESSFUL);

    const HBE_STREAM vbr = encode_file(dir / "vbr.mp3", {}, true);
    EXPECT_EQ(beWriteVBRHeader(drive.windows("vbr.mp3").c_str()), BE_ERR_SUCCESSFUL);  // last flushed stream
    EXPECT_TRUE(tag_written(testing_support::read_file(dir / "vbr.mp3"), 0, "Xing"));
    EXPECT_EQ(beCloseStream(vbr), BE_ERR_SUCCESSFUL);
}

TEST(EncoderLibrary, InfoTagLeavesForeignFilesAlone) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    const HBE_STREAM stream = encode_file(dir / "x.mp3", {}, false);
    const Bytes text(600, 'a');  // no frame sync at the start
    testing_support::write_file(dir / "text.mp3", text);
    EXPECT_NE(beWriteInfoTag(stream, drive.windows("text.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir / "text.mp3"), text);
    const Bytes short_file = {0xFF, 0xFB, 0x90, 0x00};  // a sync, but not a whole frame
    testing_support::write_file(dir / "short.mp3", short_file);
    EXPECT_NE(beWriteInfoTag(stream, drive.windows("short.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir / "short.mp3"), short_file);
    Bytes bad_id3(600, 0xFF);
    std::copy_n("ID3\x03\0\0\x80\0\0\0", 10, bad_id3.begin());  // size not synchsafe
    testing_support::write_file(dir / "bad.mp3", bad_id3);
    EXPECT_NE(beWriteInfoTag(stream, drive.windows("bad.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir / "bad.mp3"), bad_id3);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
}

TEST(EncoderLibrary, NoTagBeforeTheFlush) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    const HBE_STREAM done = encode_file(dir / "x.mp3", {}, false);
    const Bytes before = testing_support::read_file(dir / "x.mp3");
    const Opened o = open_stream(config(1));
    EXPECT_NE(beWriteInfoTag(o.stream, drive.windows("x.mp3").c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir / "x.mp3"), before);
    beCloseStream(o.stream);
    beCloseStream(done);
}

// The record the job fills from the settings.
class EncoderConfig : public testing::Test {
protected:
    void SetUp() override { engine_testing::reset_settings(); }
    void TearDown() override { engine_testing::reset_settings(); }
};

TEST_F(EncoderConfig, ConstantBitrate) {
    BE_CONFIG c;
    std::memset(&c, 0xAB, sizeof c);
    ASSERT_EQ(engine::fill_encoder_config(c, 2, 44100), 0);
    EXPECT_EQ(c.dwConfig, 256u);
    EXPECT_EQ(c.dwStructVersion, 1u);
    EXPECT_EQ(c.dwStructSize, 331u);
    EXPECT_EQ(c.dwSampleRate, 44100u);
    EXPECT_EQ(c.nMode, 1);
    EXPECT_EQ(c.dwBitrate, 128u);
    EXPECT_EQ(c.dwMaxBitrate, 320u);
    EXPECT_EQ(c.dwMpegVersion, 1u);
    EXPECT_EQ(c.bOriginal, 1);
    EXPECT_EQ(c.bNoRes, 1);
    EXPECT_EQ(c.bWriteVBRHeader, 0);
    EXPECT_EQ(c.bEnableVBR, 0);
    EXPECT_EQ(c.nQuality, 0);
    EXPECT_TRUE(std::all_of(std::begin(c.btReserved), std::end(c.btReserved), [](uint8_t b) { return b == 0; }));
}

TEST_F(EncoderConfig, VariableBitrateAndModes) {
    engine_testing::command("vbr", 5);
    engine_testing::command("bitrate", 64);
    engine_testing::command("vbrmaxbitrate", 9999);  // passed as given
    engine_testing::command("stereomode", 3);
    BE_CONFIG c;
    ASSERT_EQ(engine::fill_encoder_config(c, 2, 48000), 0);
    EXPECT_EQ(c.bWriteVBRHeader, 1);
    EXPECT_EQ(c.bEnableVBR, 1);
    EXPECT_EQ(c.dwBitrate, 64u);
    EXPECT_EQ(c.dwMaxBitrate, 9999u);
    EXPECT_EQ(c.nMode, 4);                   // "mono" for two channels
    EXPECT_EQ(engine::setting_stereo_mode, 4);  // and kept so
    ASSERT_EQ(engine::fill_encoder_config(c, 1, 48000), 0);
    EXPECT_EQ(c.nMode, 3);  // one channel is always mono
}

TEST_F(EncoderConfig, NegativeMaximumBitrateWithoutVbrEncodes) {
    testing_support::TempDir dir;
    testing_support::DriveMapping drive('C', dir.path());
    testing_support::write_wav(dir / "in.wav", {2, 44100, 16, 1, 0.5});
    engine_testing::command("vbr", 0);
    engine_testing::command("vbrmaxbitrate", -5);
    EXPECT_EQ(engine_testing::run_job(drive.windows("in.wav"), drive.windows("out.mp3")), 0);
}

TEST_F(EncoderConfig, SettingChecksInOrder) {
    BE_CONFIG c;
    engine_testing::command("stereomode", 5);
    engine_testing::command("bitrate", 100);
    engine_testing::command("quality", 3);
    EXPECT_EQ(engine::fill_encoder_config(c, 2, 44100), zubmp3::kJobInvalidStereoMode);
    engine_testing::command("stereomode", -1);
    EXPECT_EQ(engine::fill_encoder_config(c, 1, 44100), zubmp3::kJobInvalidStereoMode);  // checked for one channel too
    engine_testing::command("stereomode", 0);
    EXPECT_EQ(engine::fill_encoder_config(c, 2, 44100), zubmp3::kJobInvalidBitrate);
    engine_testing::command("bitrate", 320);
    EXPECT_EQ(engine::fill_encoder_config(c, 2, 44100), zubmp3::kJobInvalidQuality);
    engine_testing::command("quality", -1);
    EXPECT_EQ(engine::fill_encoder_config(c, 2, 44100), zubmp3::kJobInvalidQuality);
    engine_testing::command("quality", 2);
    EXPECT_EQ(engine::fill_encoder_config(c, 2, 44100), 0);
    EXPECT_EQ(c.nPreset, 2);
}

}  // namespace
