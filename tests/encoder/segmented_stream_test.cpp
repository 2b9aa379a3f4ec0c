// Streams cut into segments against one encoder: exact length, tag frame,
// seeking, quality, cancel at every phase, and the tag frame's write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "encoder_test_support.h"
#include "mp3_frame.h"

namespace {

using namespace encoder_testing;
using testing_support::ScopedEnv;
using testing_support::TempDir;

// Many short segments on more workers than cores: many seams in a few seconds.
class Segmented : public testing::Test {
protected:
    void SetUp() override {
        ZUBMP3_REQUIRE_TOOL("ffmpeg");
        ZUBMP3_REQUIRE_TOOL("mpg123");
    }
    ScopedEnv threads_{"ZUBMP3_ENCODER_THREADS", "3"};
    ScopedEnv segments_{"ZUBMP3_ENCODER_SEGMENT_FRAMES", "8"};
    TempDir dir_;
};

int channels_out(int32_t mode) { return mode == BE_MP3_MODE_MONO || mode == BE_MP3_MODE_MONO_DOWNMIX ? 1 : 2; }

// The tag frame counts the file's frames and bytes, with delay and padding
// that add up to `samples` per channel.
void expect_tag_counts(const Bytes& bytes, size_t samples) {
    const TagFields tag = tag_fields(bytes);
    ASSERT_TRUE(tag.found);
    const auto frames = frames_of(bytes);
    EXPECT_EQ(tag.frames + 1, frames.size());
    EXPECT_EQ(tag.bytes, bytes.size());
    const uint32_t frame_samples = encoder::parse_frame_header(frames[0])->samples;
    EXPECT_EQ(tag.delay, 576u);
    EXPECT_EQ(uint64_t{tag.frames} * frame_samples, tag.delay + samples + tag.padding);
    EXPECT_TRUE(std::is_sorted(tag.toc.begin(), tag.toc.end()));
}

// The files decode cleanly (mpg123 and ffmpeg), ffmpeg to exactly `samples`
// samples per channel.
void expect_exact(const std::vector<fs::path>& mp3s, size_t samples, int channels) {
    std::string files, messages;
    for (const auto& mp3 : mp3s) files.append(" ").append(testing_support::shell_quote(mp3.string()));
    const auto checked = testing_support::run_command("mpg123 -q -t" + files + " 2>&1");
    EXPECT_TRUE(checked.status == 0 && checked.output.empty()) << checked.output;
    for (const Decoded& decoded : decode_all(mp3s)) {
        EXPECT_TRUE(decoded.ok) << decoded.errors;
        EXPECT_EQ(decoded.samples.size(), samples * static_cast<size_t>(channels));
    }
}

TEST_F(Segmented, ExactLengthAtEveryRateModeAndBitrateKind) {
    for (const uint32_t rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
        for (const int32_t mode : {BE_MP3_MODE_MONO, BE_MP3_MODE_JSTEREO}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, mode " << mode);
            const int channels = channels_out(mode);
            const Samples pcm = demo_music(1.5, static_cast<int>(rate), channels);
            const size_t samples = pcm.size() / static_cast<size_t>(channels);
            std::vector<fs::path> files;
            for (const bool vbr : {false, true}) {
                files.push_back(dir_ / (vbr ? "vbr.mp3" : "cbr.mp3"));
                // Bitrates LAME takes without resampling.
                const BE_CONFIG config = job_config(mode, rate, vbr, rate >= 32000 ? 128 : 64);
                const Encoding encoding = encode_file(config, pcm, files.back());
                ASSERT_EQ(encoding.error, BE_ERR_SUCCESSFUL);
                EXPECT_GT(encoding.buffer_size, 7200u);  // segmented
                EXPECT_LE(encoding.largest_output, encoding.buffer_size);
                expect_tag_counts(encoding.mp3, samples);
            }
            expect_exact(files, samples, channels);
        }
    }
}

// A cancel stops feeding and flushes: the file holds exactly what was fed.
TEST_F(Segmented, CancelAtEveryPhaseLeavesACompleteFile) {
    const Samples pcm = demo_music(3.0, 48000, 2);
    const size_t frame = 2 * 1152;
    const BE_CONFIG config = job_config(BE_MP3_MODE_JSTEREO, 48000, true);
    {
        // Before the first chunk: what one encoder writes for nothing.
        const Encoding none = encode_file(config, pcm, dir_ / "none.mp3", 0);
        ScopedEnv one("ZUBMP3_ENCODER_THREADS", "1");
        EXPECT_EQ(none.mp3, encode_file(config, pcm, dir_ / "serial.mp3", 0).mp3);
    }
    // One chunk; less than the first segment; the first segment just sent;
    // several segments in flight; a part chunk; everything.
    for (const size_t values : {frame, 7 * frame, 9 * frame, 60 * frame, 60 * frame + 1000, pcm.size()}) {
        SCOPED_TRACE(values);
        const fs::path mp3 = dir_ / "cancelled.mp3";
        const Encoding encoding = encode_file(config, pcm, mp3, values);
        ASSERT_EQ(encoding.error, BE_ERR_SUCCESSFUL);
        expect_tag_counts(encoding.mp3, values / 2);
        expect_exact({mp3}, values / 2, 2);
    }
}

struct QualityCase {
    const char* name;
    int32_t mode;
    uint32_t rate;
    bool vbr;
    uint32_t kbps;
    bool music;  // else noise
};

TEST_F(Segmented, SameQualityAsOneEncoderAndNoSeams) {
    const QualityCase cases[] = {
        {"joint stereo 128 CBR", BE_MP3_MODE_JSTEREO, 44100, false, 128, true},
        {"joint stereo VBR 128-320", BE_MP3_MODE_JSTEREO, 44100, true, 128, true},
        {"stereo 320 CBR, noise", BE_MP3_MODE_STEREO, 48000, false, 320, false},
        {"mono from stereo 128 CBR", BE_MP3_MODE_MONO_DOWNMIX, 44100, false, 128, true},
        {"mono 22.05 kHz VBR, noise", BE_MP3_MODE_MONO, 22050, true, 32, false},
    };
    for (const QualityCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int in_channels = c.mode == BE_MP3_MODE_MONO ? 1 : 2;
        const Samples pcm = c.music ? demo_music(4.0, static_cast<int>(c.rate), in_channels)
                                    : noise(4.0, static_cast<int>(c.rate), in_channels);
        const Samples reference = c.mode == BE_MP3_MODE_MONO_DOWNMIX ? mix_down(pcm) : pcm;
        const BE_CONFIG config = job_config(c.mode, c.rate, c.vbr, c.kbps);
        Encoding serial;
        {
            ScopedEnv one("ZUBMP3_ENCODER_THREADS", "1");
            serial = encode_file(config, pcm, dir_ / "serial.mp3");
        }
        const Encoding parallel = encode_file(config, pcm, dir_ / "parallel.mp3");
        ASSERT_EQ(serial.error, BE_ERR_SUCCESSFUL);
        ASSERT_EQ(parallel.error, BE_ERR_SUCCESSFUL);
        EXPECT_GT(parallel.buffer_size, serial.buffer_size);  // really segmented
        EXPECT_EQ(tag_fields(parallel.mp3).frames, tag_fields(serial.mp3).frames);
        const Decoded s = decode(dir_ / "serial.mp3");
        const Decoded p = decode(dir_ / "parallel.mp3");
        ASSERT_TRUE(s.ok && p.ok) << s.errors << p.errors;
        ASSERT_EQ(p.samples.size(), reference.size());
        EXPECT_NEAR(snr_db(p.samples, reference), snr_db(s.samples, reference), 0.1);
        // Wherever the two differ, they differ by no more than two encodings
        // of the same audio do: a click or a lost frame would be far louder.
        EXPECT_LT(worst_difference_to_noise(s.samples, p.samples, reference, 1152), 1.5);
    }
}

TEST_F(Segmented, VariableBitrateSeeksAndLastsAsLong) {
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    ScopedEnv segments("ZUBMP3_ENCODER_SEGMENT_FRAMES", std::nullopt);  // the default length
    const double seconds = 20;
    const Samples pcm = demo_music(seconds, 44100, 2);
    const fs::path mp3 = dir_ / "vbr.mp3";
    const BE_CONFIG config = job_config(BE_MP3_MODE_JSTEREO, 44100, true);
    ASSERT_EQ(encode_file(config, pcm, mp3).error, BE_ERR_SUCCESSFUL);
    {
        ScopedEnv one("ZUBMP3_ENCODER_THREADS", "1");
        ASSERT_EQ(encode_file(config, pcm, dir_ / "serial.mp3").error, BE_ERR_SUCCESSFUL);
    }
    // ffprobe counts the encoder delay in: its start time.
    const auto probe = [](const fs::path& file) {
        const auto probed = testing_support::run_command(
            "ffprobe -v error -show_entries format=duration:stream=start_time -of default=nokey=1:noprint_wrappers=1 " +
            testing_support::shell_quote(file.string()));
        char* rest = nullptr;
        const double start = std::strtod(probed.output.c_str(), &rest);
        return std::pair{std::strtod(rest, nullptr), start};
    };
    const auto [duration, start] = probe(mp3);
    EXPECT_EQ(duration, probe(dir_ / "serial.mp3").first);
    EXPECT_NEAR(duration - start, seconds, seconds * 0.001);

    // Decode a moment from the middle through a seek and find it in the whole.
    const Decoded whole = decode(mp3);
    const fs::path part = dir_ / "part.raw";
    testing_support::run_command("ffmpeg -nostdin -v error -y -ss " + std::to_string(seconds / 2) + " -i " +
                                 testing_support::shell_quote(mp3.string()) + " -t 0.05 -f s16le " +
                                 testing_support::shell_quote(part.string()));
    const Bytes raw = testing_support::read_file(part);
    ASSERT_GE(raw.size(), 4000u);
    const auto* moment = reinterpret_cast<const int16_t*>(raw.data());
    const size_t middle = static_cast<size_t>(seconds / 2 * 44100);
    size_t best = 0;
    double best_distance = INFINITY;
    for (size_t at = middle - 44100; at <= middle + 44100; ++at) {
        double distance = 0;
        for (size_t i = 0; i < 2000 && distance < best_distance; ++i)
            distance += std::abs(static_cast<double>(whole.samples[2 * at + i]) - moment[i]);
        if (distance < best_distance) best_distance = distance, best = at;
    }
    EXPECT_NEAR(static_cast<double>(best), static_cast<double>(middle), seconds * 44100 * 0.01);
}

TEST_F(Segmented, InfoTagWritesOnlyOverTheFrameTheStreamReserved) {
    const Samples pcm = noise(1.0, 44100, 2);
    BE_CONFIG config = job_config(BE_MP3_MODE_JSTEREO, 44100, false);
    uint32_t chunk = 0, buffer_size = 0;
    HBE_STREAM stream = 0;
    ASSERT_EQ(beInitStream(&config, &chunk, &buffer_size, &stream), BE_ERR_SUCCESSFUL);
    Bytes file, out(2 * size_t{buffer_size});
    std::vector<int16_t> buffer(pcm.begin(), pcm.end());
    uint32_t bytes = 0;
    for (size_t at = 0; at + chunk <= buffer.size(); at += chunk) {
        ASSERT_EQ(beEncodeChunk(stream, chunk, buffer.data() + at, out.data(), &bytes), BE_ERR_SUCCESSFUL);
        file.insert(file.end(), out.begin(), out.begin() + bytes);
    }
    ASSERT_EQ(beDeinitStream(stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    file.insert(file.end(), out.begin(), out.begin() + bytes);

    const std::string name = "Z:" + (dir_ / "x.mp3").string();
    std::string windows = name;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    // Another stream's finished file of the same shape is not overwritten.
    const Encoding other = encode_file(config, noise(1.0, 44100, 2), dir_ / "x.mp3");
    EXPECT_NE(beWriteInfoTag(stream, windows.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir_ / "x.mp3"), other.mp3);
    // Its own file: written once; a second call finds it written.
    testing_support::write_file(dir_ / "x.mp3", file);
    EXPECT_EQ(beWriteInfoTag(stream, windows.c_str()), BE_ERR_SUCCESSFUL);
    const Bytes tagged = testing_support::read_file(dir_ / "x.mp3");
    EXPECT_NE(tagged, file);
    EXPECT_EQ(beWriteInfoTag(stream, windows.c_str()), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(testing_support::read_file(dir_ / "x.mp3"), tagged);
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
}

}  // namespace
