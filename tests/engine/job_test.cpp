// Encoding jobs driven through interface1, as the control drives them, with
// ffmpeg, ffprobe and mpg123 judging the MP3 files.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "engine_state.h"
#include "engine_test_support.h"
#include "interface1.h"
#include "job.h"
#include "test_support.h"

namespace {

using namespace engine_testing;
using testing_support::DriveMapping;
using testing_support::TempDir;
using testing_support::thread_count;
using testing_support::WavSpec;

class Job : public testing::Test {
protected:
    void SetUp() override { reset_settings(); }
    void TearDown() override {
        command("cancel");
        reset_settings();
    }

    // Writes `bytes` as C:\name and answers the Windows path.
    std::string input(const std::string& name, const Bytes& bytes) {
        testing_support::write_file(dir / name, bytes);
        return drive.windows(name);
    }
    std::string input(const std::string& name, const WavSpec& spec) {
        return input(name, testing_support::make_wav(spec));
    }
    std::string out(const std::string& name) const { return drive.windows(name); }

    TempDir dir;
    DriveMapping drive{'C', dir.path()};
};

// Waits until the running job has written `bytes` of MP3 (the progress of a
// new job may still show the last job's figure for a moment).
void wait_for_output(const fs::path& mp3, uintmax_t bytes) {
    std::error_code error;
    while (command("intreturn") == 1000 && (fs::file_size(mp3, error) < bytes || error))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

size_t frames_of(const WavSpec& spec) { return static_cast<size_t>(spec.seconds * spec.sample_rate); }

void expect_clean_decodes(const fs::path& mp3) {
    std::string messages;
    EXPECT_TRUE(mpg123_decodes_cleanly(mp3, messages)) << messages;
}

TEST_F(Job, ConstantBitrateStereoDecodesSampleExact) {
    const WavSpec spec{2, 44100, 16, 1, 2.0, 440.0};
    ASSERT_EQ(run_job(input("in.wav", spec), out("out.mp3")), 0);
    EXPECT_EQ(command("progress"), 99);  // the header is never consumed
    const Decoded decoded = decode_with_ffmpeg(dir / "out.mp3", 2);
    ASSERT_TRUE(decoded.ok) << decoded.errors;
    EXPECT_EQ(decoded.frames(), frames_of(spec));
    const Bytes samples = wav_samples(spec);
    EXPECT_GT(snr_db(decoded, samples, 2, 0), 15.0);
    EXPECT_GT(snr_db(decoded, samples, 2, 1), 15.0);
    expect_clean_decodes(dir / "out.mp3");
    EXPECT_EQ(ffprobe_stream(dir / "out.mp3", "bit_rate"), "128000");
}

TEST_F(Job, VariableBitrateDecodesSampleExactWithItsDuration) {
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    const WavSpec spec{2, 44100, 16, 1, 5.0, 1000.0};
    command("vbr", 1);
    command("bitrate", 32);
    ASSERT_EQ(run_job(input("in.wav", spec), out("vbr.mp3")), 0);
    const Decoded decoded = decode_with_ffmpeg(dir / "vbr.mp3", 2);
    ASSERT_TRUE(decoded.ok) << decoded.errors;
    EXPECT_EQ(decoded.frames(), frames_of(spec));
    EXPECT_GT(snr_db(decoded, wav_samples(spec), 2, 0), 15.0);
    const double duration = std::stod(ffprobe_stream(dir / "vbr.mp3", "duration"));
    EXPECT_NEAR(duration, spec.seconds, spec.seconds * 0.01);
    expect_clean_decodes(dir / "vbr.mp3");
    const Bytes mp3 = testing_support::read_file(dir / "vbr.mp3");
    EXPECT_EQ(std::string(mp3.begin() + 36, mp3.begin() + 40), "Xing");
}

TEST_F(Job, StereoAsMonoDecodesToOneChannel) {
    const WavSpec spec{2, 32000, 16, 1, 1.0};
    command("stereomode", 3);
    ASSERT_EQ(run_job(input("in.wav", spec), out("mono.mp3")), 0);
    EXPECT_EQ(engine::setting_stereo_mode, 4);
    EXPECT_EQ(ffprobe_stream(dir / "mono.mp3", "channels"), "1");
    const Decoded decoded = decode_with_ffmpeg(dir / "mono.mp3", 1);
    ASSERT_TRUE(decoded.ok) << decoded.errors;
    EXPECT_EQ(decoded.frames(), frames_of(spec));
    expect_clean_decodes(dir / "mono.mp3");
}

TEST_F(Job, MonoInputsAtLowRates) {
    command("stereomode", 0);  // one channel is mono whatever the setting
    command("bitrate", 64);    // lower rates make LAME resample 24 kHz
    for (const int rate : {8000, 11025, 24000}) {
        const WavSpec spec{1, rate, 16, 1, 1.0, 300.0};
        std::string name = std::to_string(rate);
        name += ".mp3";
        ASSERT_EQ(run_job(input("in.wav", spec), out(name)), 0) << rate;
        EXPECT_EQ(ffprobe_stream(dir / name, "channels"), "1");
        const Decoded decoded = decode_with_ffmpeg(dir / name, 1);
        ASSERT_TRUE(decoded.ok) << decoded.errors;
        EXPECT_EQ(decoded.frames(), frames_of(spec)) << rate;
        EXPECT_GT(snr_db(decoded, wav_samples(spec), 1, 0), 10.0) << rate;
        expect_clean_decodes(dir / name);
    }
}

TEST_F(Job, TrailingChunksAreNotEncoded) {
    const WavSpec spec{2, 44100, 16, 1, 1.0};
    // Loud bytes after the samples: encoded as sound they would add a burst.
    const Bytes tail = chunk("LIST", 40000, 0x7F);
    ASSERT_EQ(run_job(input("in.wav", wav_with_chunks(spec, {}, tail)), out("out.mp3")), 0);
    const Decoded decoded = decode_with_ffmpeg(dir / "out.mp3", 2);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.frames(), frames_of(spec));
    EXPECT_GT(snr_db(decoded, wav_samples(spec), 2, 0), 15.0);
}

TEST_F(Job, StreamedSizesRunToTheEndOfTheFile) {
    const WavSpec spec{2, 44100, 16, 1, 1.0};
    for (const int64_t size : {int64_t{0}, int64_t{0xFFFFFFFF}}) {
        ASSERT_EQ(run_job(input("in.wav", wav_with_chunks(spec, {}, {}, size)), out("out.mp3")), 0);
        EXPECT_EQ(decode_with_ffmpeg(dir / "out.mp3", 2).frames(), frames_of(spec)) << size;
    }
}

TEST_F(Job, ChunksBeforeTheData) {
    const WavSpec spec{1, 44100, 16, 1, 1.0};
    ASSERT_EQ(run_job(input("list.wav", wav_with_chunks(spec, chunk("LIST", 30), {})), out("a.mp3")), 0);
    EXPECT_EQ(decode_with_ffmpeg(dir / "a.mp3", 1).frames(), frames_of(spec));
    // The data chunk beyond the first 100 bytes is found by walking the chunks.
    const Bytes far = wav_with_chunks(spec, chunk("LIST", 70), {});
    ASSERT_EQ(run_job(input("far.wav", far), out("b.mp3")), 0);
    EXPECT_EQ(decode_with_ffmpeg(dir / "b.mp3", 1).frames(), frames_of(spec));
    // Without any data chunk, everything from byte 60 is samples.
    Bytes none = far;
    std::copy_n("dat!", 4, none.begin() + 36 + 78);
    ASSERT_EQ(run_job(input("none.wav", none), out("c.mp3")), 0);
    EXPECT_EQ(decode_with_ffmpeg(dir / "c.mp3", 1).frames(), (none.size() - 60) / 2);
}

// WAV files as ffmpeg writes them from tagged sources: a LIST chunk (with a
// title holding the word "metadata"), or a broadcast-wave bext chunk, between
// "fmt " and "data". The sound is in the left channel only: it must stay
// there, every input frame must come out, and no metadata byte may become a
// click louder than the sound.
TEST_F(Job, FfmpegMetadataChunksAreNotEncoded) {
    ZUBMP3_REQUIRE_TOOL("ffmpeg");
    const std::pair<const char*, const char*> files[] = {
        {"list.wav", "-metadata title='A title with metadata words' -metadata artist='Someone'"},
        {"bext.wav", "-write_bext 1 -metadata description='Broadcast wave' -metadata originator=zubmp3"},
    };
    for (const auto& [name, options] : files) {
        const fs::path wav = dir / name;
        const auto made = testing_support::run_command(
            std::string("ffmpeg -nostdin -v error -y -f lavfi -i sine=f=440:d=1:sample_rate=44100 ") +
            "-af 'pan=stereo|c0=c0|c1=0*c0' " + options + " -c:a pcm_s16le " + testing_support::shell_quote(wav.string()));
        ASSERT_EQ(made.status, 0) << name;
        const Bytes head = testing_support::read_file(wav);
        ASSERT_NE(std::string(head.begin() + 36, head.begin() + 40), "data") << name << ": no chunk before the data";

        const Decoded in = decode_with_ffmpeg(wav, 2);
        ASSERT_TRUE(in.ok && in.frames() == 44100) << name << in.errors;
        const std::string mp3 = std::string(name) + ".mp3";
        ASSERT_EQ(run_job(drive.windows(name), out(mp3)), 0) << name;
        const Decoded decoded = decode_with_ffmpeg(dir / mp3, 2);
        ASSERT_TRUE(decoded.ok) << name << decoded.errors;
        EXPECT_EQ(decoded.frames(), in.frames()) << name;

        double left = 0, right = 0;
        int peak_in = 0, peak_out = 0;
        for (size_t i = 0; i < decoded.frames(); ++i) {
            left += std::pow(decoded.samples[2 * i], 2.0);
            right += std::pow(decoded.samples[2 * i + 1], 2.0);
            peak_out = std::max({peak_out, std::abs(decoded.samples[2 * i]), std::abs(decoded.samples[2 * i + 1])});
            peak_in = std::max(peak_in, std::abs(in.samples[2 * i]));
        }
        EXPECT_LT(right, left / 1000) << name << ": the sound left the left channel";
        EXPECT_LE(peak_out, peak_in + peak_in / 4) << name << ": louder than the input (peak " << peak_in << ")";
    }
}

TEST_F(Job, OddSampleByteCountDropsTheLastByte) {
    const WavSpec spec{1, 8000, 16, 1, 0.5};
    Bytes wav = testing_support::make_wav(spec);
    wav.push_back(0x40);
    ASSERT_EQ(run_job(input("odd.wav", wav_with_chunks(spec, {}, {0x40}, static_cast<int64_t>(frames_of(spec) * 2 + 1))),
                      out("odd.mp3")),
              0);
    EXPECT_EQ(decode_with_ffmpeg(dir / "odd.mp3", 1).frames(), frames_of(spec));
    ASSERT_EQ(run_job(input("odd2.wav", wav), out("odd2.mp3")), 0);  // size field ignores the extra byte
    EXPECT_EQ(decode_with_ffmpeg(dir / "odd2.mp3", 1).frames(), frames_of(spec));
}

TEST_F(Job, EmptySampleDataSucceedsWithProgressZero) {
    const WavSpec spec{2, 44100, 16, 1, 0.0};
    command("cancel");  // a flag set between jobs is cleared by "passfiles"
    ASSERT_EQ(run_job(input("empty.wav", spec), out("empty.mp3")), 0);
    EXPECT_EQ(command("progress"), 0);
    EXPECT_TRUE(fs::exists(dir / "empty.mp3"));
    expect_clean_decodes(dir / "empty.mp3");
}

// A job refused for a setting leaves the disk as it found it: an existing
// output keeps its contents, a new one is not left behind, and neither are
// the folder levels the job created for it.
TEST_F(Job, RefusedSettingsLeaveTheDiskAsItWas) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 0.2});
    fs::create_directory(dir / "Music");
    struct Row {
        const char* word;
        int value;
        int32_t status;
    };
    const Row rows[] = {{"bitrate", 100, 108}, {"bitrate", 0, 108},   {"quality", 3, 109},
                        {"quality", -1, 109},  {"stereomode", 5, 120}, {"stereomode", -1, 120}};
    for (const Row& row : rows) {
        reset_settings();
        command(row.word, row.value);
        testing_support::write_file(dir / "keep.mp3", std::string("old contents"));
        EXPECT_EQ(run_job(in, out("keep.mp3")), row.status) << row.word << " " << row.value;
        const Bytes kept = testing_support::read_file(dir / "keep.mp3");
        EXPECT_EQ(std::string(kept.begin(), kept.end()), "old contents") << row.word << " " << row.value;

        EXPECT_EQ(run_job(in, out("Music\\New\\Deeper\\song.mp3")), row.status);
        EXPECT_TRUE(fs::is_directory(dir / "Music"));
        EXPECT_FALSE(fs::exists(dir / "Music" / "New")) << row.word << " " << row.value;
        EXPECT_EQ(run_job(in, out("fresh.mp3")), row.status);
        EXPECT_FALSE(fs::exists(dir / "fresh.mp3")) << row.word << " " << row.value;
    }
}

// The output is the input under another name (a hard or a symbolic link):
// writing it would destroy the samples, so the job refuses it as an output
// it cannot create and leaves the input whole.
TEST_F(Job, OutputThatIsTheInputIsRefused) {
    const Bytes wav = testing_support::make_wav(WavSpec{2, 44100, 16, 1, 0.2});
    const std::string in = input("in.wav", wav);
    fs::create_hard_link(dir / "in.wav", dir / "hard.mp3");
    fs::create_symlink(dir / "in.wav", dir / "soft.mp3");
    EXPECT_EQ(run_job(in, out("hard.mp3")), 104);
    EXPECT_EQ(run_job(in, out("soft.mp3")), 104);
    EXPECT_EQ(testing_support::read_file(dir / "in.wav"), wav);
}

TEST_F(Job, FirstFailingCheckDecides) {
    const std::string good = input("in.wav", WavSpec{2, 44100, 16, 1, 0.2});
    const std::string bad_wav = input("bad.wav", WavSpec{2, 44100, 24, 1, 0.2});
    command("bitrate", 100);
    command("quality", 7);
    command("stereomode", 9);
    EXPECT_EQ(run_job(bad_wav, "no folder at all"), 102);
    EXPECT_EQ(run_job(good, out("Music\\")), 110);
    EXPECT_EQ(run_job(good, "Song.mp3"), 111);
    EXPECT_EQ(run_job(good, out("out.mp3")), 120);
    command("stereomode", 1);
    EXPECT_EQ(run_job(good, out("out.mp3")), 108);
    command("bitrate", 128);
    EXPECT_EQ(run_job(good, out("out.mp3")), 109);
    // An output that cannot be created still comes before the settings.
    command("bitrate", 100);
    fs::create_directory(dir / "Taken.mp3");
    EXPECT_EQ(run_job(good, out("Taken.mp3")), 104);
}

TEST_F(Job, InputRefusals) {
    EXPECT_EQ(run_job(drive.windows("missing.wav"), out("a.mp3")), 102);
    EXPECT_EQ(run_job(input("short.wav", Bytes{'R', 'I', 'F', 'F'}), out("a.mp3")), 102);
    EXPECT_EQ(run_job(input("rate.wav", WavSpec{2, 44101}), out("a.mp3")), 102);
    EXPECT_FALSE(fs::exists(dir / "a.mp3"));  // refused before the output is touched
}

TEST_F(Job, InputVanishingAfterItsHeaderCheckCannotBeOpened) {
    // A named pipe serves the header check once and is gone before the input
    // is opened for its samples: the check waits for more than the 100 bytes
    // written, until the writer closes, and the pipe is removed before that.
    const fs::path pipe = dir / "pipe.wav";
    ASSERT_EQ(testing_support::run_command("mkfifo " + testing_support::shell_quote(pipe.string())).status, 0);
    std::thread writer([&] {
        std::ofstream stream(pipe, std::ios::binary);
        const Bytes wav = testing_support::make_wav(WavSpec{2, 44100, 16, 1, 0.01});
        stream.write(reinterpret_cast<const char*>(wav.data()), 100);
        stream.flush();
        fs::remove(pipe);
    });
    EXPECT_EQ(run_job(drive.windows("pipe.wav"), out("a.mp3")), 103);
    writer.join();
    EXPECT_FALSE(fs::exists(dir / "a.mp3"));
}

TEST_F(Job, OutputPathCases) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 0.2});
    fs::create_directory(dir / "Music");
    EXPECT_EQ(run_job(in, out("Music\\New\\Song.mp3")), 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "Music/New/Song.mp3"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "Music/New"), fs::directory_iterator()), 1);

    EXPECT_EQ(run_job(in, out("Other\\")), 110);
    EXPECT_FALSE(fs::exists(dir / "Other"));
    EXPECT_EQ(run_job(in, "C:/Music/Song.mp3"), 111);
    EXPECT_EQ(run_job(in, "Music\\Song.mp3"), 111);
    EXPECT_EQ(run_job(in, out("Bad*Name\\Deeper\\Song.mp3")), 111);
    EXPECT_EQ(run_job(in, out("Bad|Name\\Song.mp3")), 111);
    EXPECT_EQ(run_job(in, "C:\\x:y\\Song.mp3"), 111);
    EXPECT_FALSE(fs::exists(dir / "Bad*Name"));
    EXPECT_FALSE(fs::exists(dir / "Bad|Name"));
    testing_support::write_file(dir / "File", std::string("x"));
    EXPECT_EQ(run_job(in, out("File\\Song.mp3")), 111);
    EXPECT_EQ(run_job(in, "\\\\server\\share\\Song.mp3"), 111);  // unreachable share
    fs::create_directory(dir / "Taken.mp3");
    EXPECT_EQ(run_job(in, out("Taken.mp3")), 104);  // a folder, not a file
}

TEST_F(Job, ReadOnlyFolderAndFullMedium) {
    testing_support::ScopedMount mount(dir / "small", 48 * 1024, false);
    if (!mount.ok()) GTEST_SKIP() << "needs root to mount a tmpfs";
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 5.0});
    EXPECT_EQ(run_job(in, out("small\\big.mp3")), 107);  // 80 kB of MP3 do not fit
    mount.remount(true);
    EXPECT_EQ(run_job(in, out("small\\x.mp3")), 111);
}

TEST_F(Job, OverLongPathsAreRefusedWithoutOverrun) {
    const std::string good = input("in.wav", WavSpec{2, 44100, 16, 1, 0.2});
    // 299 characters fit the input buffer; 300 do not.
    const std::string long_input = "C:\\" + std::string(296 - 4, 'a') + ".wav";
    ASSERT_EQ(long_input.size(), 299u);
    EXPECT_EQ(run_job(long_input, out("a.mp3")), 102);  // fits, but names nothing
    EXPECT_EQ(run_job(long_input + "x", out("a.mp3")), 102);
    EXPECT_EQ(run_job(std::string(5000, 'b'), out("a.mp3")), 102);
    // 255 characters fit the output path; 256 do not.
    std::string folder = "Deep";
    for (int level = 0; level < 5; ++level) folder += "\\" + std::string(40, char('a' + level));
    std::string path = drive.windows(folder + "\\");
    path += std::string(255 - path.size() - 4, 's') + ".mp3";
    ASSERT_EQ(path.size(), 255u);
    EXPECT_EQ(run_job(good, path), 0);
    EXPECT_EQ(run_job(good, path.substr(0, 251) + "x.mp3"), 111);
    EXPECT_EQ(run_job(good, std::string(5000, 'o')), 111);
}

TEST_F(Job, SecondPassfilesWhileRunningIsRefused) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 3.0});
    ASSERT_EQ(pass_files(in, out("first.mp3")), 0);
    command("pause");
    EXPECT_EQ(pass_files(in, out("second.mp3")), 1);
    EXPECT_EQ(command("intreturn"), 1000);
    command("resume");
    EXPECT_EQ(wait_for_job(), 0);
    EXPECT_TRUE(fs::exists(dir / "first.mp3"));
    EXPECT_FALSE(fs::exists(dir / "second.mp3"));
}

// The encoder reads a few segments of seconds ahead of its output: the
// input is long enough to be caught while it is still being read.
TEST_F(Job, PauseHoldsProgressAndResumeFinishes) {
    const WavSpec spec{2, 44100, 16, 1, 30.0};
    const std::string in = input("in.wav", spec);
    command("quality", 2);  // slower, so the job is caught while running
    ASSERT_EQ(pass_files(in, out("p.mp3")), 0);
    wait_for_output(dir / "p.mp3", 8192);
    command("pause");
    // The chunk under way ends first, however long it takes.
    for (int look = 0; look < 6000 && engine::job_held == 0; ++look)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(engine::job_held.load(), 1);
    const int32_t held = command("progress");
    const auto size = fs::file_size(dir / "p.mp3");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // four turns of the pause wait
    EXPECT_EQ(command("progress"), held);
    EXPECT_EQ(fs::file_size(dir / "p.mp3"), size);
    EXPECT_EQ(command("intreturn"), 1000);
    EXPECT_GT(held, 0);
    EXPECT_LT(held, 99);
    command("resume");
    EXPECT_EQ(wait_for_job(), 0);
    EXPECT_EQ(command("progress"), 99);
    EXPECT_EQ(decode_with_ffmpeg(dir / "p.mp3", 2).frames(), frames_of(spec));
}

TEST_F(Job, CancelDuringPauseFlushesAPlayableFile) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 30.0});
    ASSERT_EQ(pass_files(in, out("c.mp3")), 0);
    wait_for_output(dir / "c.mp3", 16384);
    command("pause");
    EXPECT_EQ(command("cancel"), 0);  // returns once the job has ended
    EXPECT_EQ(command("intreturn"), 112);
    const Decoded decoded = decode_with_ffmpeg(dir / "c.mp3", 2);
    EXPECT_TRUE(decoded.ok) << decoded.errors;
    expect_clean_decodes(dir / "c.mp3");
    // The next job runs normally: "passfiles" clears both flags.
    EXPECT_EQ(run_job(in, out("d.mp3")), 0);
}

TEST_F(Job, CancelBeforeTheFirstChunk) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 5.0});
    ASSERT_EQ(pass_files(in, out("c.mp3")), 0);
    EXPECT_EQ(command("cancel"), 0);
    EXPECT_EQ(command("intreturn"), 112);
    EXPECT_LT(fs::file_size(dir / "c.mp3"), 20000u);  // the whole would be about 80 kB
    // Only the flush output: no sample, one frame (too short for ffmpeg's demuxer).
    expect_clean_decodes(dir / "c.mp3");
}

TEST_F(Job, CancelWithoutAJobReturnsAtOnce) {
    EXPECT_EQ(command("cancel"), 0);
    EXPECT_EQ(run_job(input("in.wav", WavSpec{1, 8000, 16, 1, 0.2}), out("a.mp3")), 0);
}

TEST_F(Job, WorkerHasLeftAfterCancelReturns) {
    const std::string in = input("in.wav", WavSpec{2, 44100, 16, 1, 2.0});
    // A first job, joined: helper threads that a runtime (a sanitizer) starts
    // with the first thread exist from now on.
    ASSERT_EQ(run_job(in, out("warm.mp3")), 0);
    command("cancel");
    const size_t before = thread_count();
    ASSERT_EQ(pass_files(in, out("a.mp3")), 0);
    command("cancel");
    EXPECT_EQ(thread_count(), before);
    ASSERT_EQ(pass_files(in, out("b.mp3")), 0);
    wait_for_job();
    ASSERT_EQ(pass_files(in, out("c.mp3")), 0);  // joins the finished worker first
    command("cancel");
    EXPECT_EQ(thread_count(), before);
}

// The output must still be the file the job created when the job ends: the
// encoder's tag frame goes into the file at the output path, and a file put
// there meanwhile must not receive it.
class OutputChangedUnderTheJob : public Job {
protected:
    // One encoder thread: a segmented encoder reads this short input whole
    // before its first MP3 bytes, so there would be no moment to pause in.
    testing_support::ScopedEnv serial_{"ZUBMP3_ENCODER_THREADS", "1"};

    // Starts a 5-second job and pauses it once its output holds MP3 frames.
    void start_paused() {
        ASSERT_EQ(pass_files(input("in.wav", spec), out("out.mp3")), 0);
        wait_for_output(dir / "out.mp3", 8192);
        command("pause");
        ASSERT_EQ(command("intreturn"), 1000);
    }
    int32_t resume() {
        command("resume");
        return wait_for_job();
    }
    const WavSpec spec{2, 44100, 16, 1, 5.0};
};

TEST_F(OutputChangedUnderTheJob, DeletedOutputEndsWith107) {
    start_paused();
    fs::remove(dir / "out.mp3");
    EXPECT_EQ(resume(), 107);
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
}

TEST_F(OutputChangedUnderTheJob, ReplacedOutputEndsWith107AndKeepsTheNewFile) {
    // Another MP3 put in its place, long enough to take the tag frame.
    ASSERT_EQ(run_job(input("other.wav", WavSpec{1, 22050, 16, 1, 1.0}), out("other.mp3")), 0);
    const Bytes other = testing_support::read_file(dir / "other.mp3");
    start_paused();
    fs::remove(dir / "out.mp3");
    fs::copy_file(dir / "other.mp3", dir / "out.mp3");
    EXPECT_EQ(resume(), 107);
    EXPECT_EQ(testing_support::read_file(dir / "out.mp3"), other);
}

TEST_F(OutputChangedUnderTheJob, SecondJobOnTheSameOutputIsRefused) {
    // A job in another process, to the output this paused job is writing.
    start_paused();
    const auto second = testing_support::run_command(
        std::string(ZUBMP3_ENGINE_HOST) + " " + testing_support::shell_quote(ZUBMP3_BUILD_LIB_DIR) + " " +
        testing_support::shell_quote(drive.windows("in.wav")) + " " + testing_support::shell_quote(out("out.mp3")));
    EXPECT_EQ(second.output.substr(0, 11), "status 104 ") << second.output;
    EXPECT_EQ(resume(), 0);
    const Decoded decoded = decode_with_ffmpeg(dir / "out.mp3", 2);
    EXPECT_TRUE(decoded.ok) << decoded.errors;
    EXPECT_EQ(decoded.frames(), frames_of(spec));
}

TEST_F(Job, TraceLogRecordsTheSteps) {
    const fs::path log = dir / "trace.log";
    testing_support::ScopedEnv trace("ZUBMP3_TRACE", log.string());
    command("bitrate", 160);
    ASSERT_EQ(run_job(input("in.wav", WavSpec{1, 8000, 16, 1, 0.2}), out("a.mp3")), 0);
    const Bytes bytes = testing_support::read_file(log);
    const std::string text(bytes.begin(), bytes.end());
    for (const char* line : {"bitrate 160 \n", "channels 1 \n", "samplerate 8000 \n", "posicao 44 \n",
                             "Filename .a.mp3. \n", "fechando fileout \n", "fechando hbeStream \n",
                             "valor de returnvalue 0 \n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(Job, ProgressPercent) {
    EXPECT_EQ(engine::progress_percent(0, 100), 0);
    EXPECT_EQ(engine::progress_percent(100, 0), 0);
    EXPECT_EQ(engine::progress_percent(1000044, 1000000), 99);
    EXPECT_EQ(engine::progress_percent(200, 100), 50);
    // Inputs beyond 2 GiB and up to 4 GiB.
    EXPECT_EQ(engine::progress_percent(int64_t{4} << 30, int64_t{3} << 30), 75);
    EXPECT_EQ(engine::progress_percent(int64_t{0xFFFFFFFF}, int64_t{0xFFFFFFFF} - 44), 99);
}

}  // namespace
