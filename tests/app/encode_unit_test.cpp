// The encode command's decisions that need no encoding: option words, the
// bitrate rules, which inputs go to the control as they are, the rate of a
// converted copy, output names, and the batch's figures.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "audio_input.h"
#include "batch.h"
#include "child_process.h"
#include "control_text.h"
#include "encode_cli.h"
#include "encode_options.h"
#include "progress_bar.h"
#include "test_support.h"

using namespace zubmp3::app;
using namespace testing_support;

TEST(EncodeOptions, ModeAndQualityWordsBecomeTheControlsOwn) {
    const std::pair<const char*, const char*> modes[] = {
        {"stereo", "stereo"}, {"JOINT", "joint"}, {"Dual", "dual"}, {"mono", "mono"},
        {"s", "stereo"},      {"J", "joint"},     {"d", "dual"},    {"M", "mono"},
    };
    for (const auto& [given, word] : modes) EXPECT_EQ(mode_word(given), word) << given;
    for (const char* refused : {"", "mono ", " joint", "jo", "x", "stereoo", "ms"})
        EXPECT_EQ(mode_word(refused), std::nullopt) << refused;
    EXPECT_EQ(quality_word("HIGH"), "high");
    EXPECT_EQ(quality_word("Low"), "low");
    for (const char* refused : {"", "h", "best", "normal "}) EXPECT_EQ(quality_word(refused), std::nullopt) << refused;
}

TEST(EncodeOptions, BitratesGoTogether) {
    EncodeSettings s;
    EXPECT_EQ(bitrate_problem(s, false), "");
    s.bitrate = 100;
    EXPECT_NE(bitrate_problem(s, false).find("--bitrate: 100 is not one of 32, 40,"), std::string::npos);
    s.bitrate = 128;
    s.vbr_max = 256;
    EXPECT_EQ(bitrate_problem(s, true), "--vbr-max needs --vbr");
    s.vbr = true;
    EXPECT_EQ(bitrate_problem(s, true), "");
    s.vbr_max = 128;  // equal is fine
    EXPECT_EQ(bitrate_problem(s, true), "");
    s.vbr_max = 112;
    EXPECT_EQ(bitrate_problem(s, true), "--vbr-max 112 is below --bitrate 128");
    s.vbr_max = 300;
    EXPECT_NE(bitrate_problem(s, true).find("--vbr-max: 300 is not one of"), std::string::npos);
}

TEST(AudioInput, ConvertedRateIsTheLowestTakenNotBelowTheInputs) {
    const std::pair<int, int> rates[] = {
        {1, 8000},      {8000, 8000},   {8001, 11025},  {11025, 11025}, {37800, 44100},
        {44100, 44100}, {44101, 48000}, {88200, 48000}, {96000, 48000}, {384000, 48000},
    };
    for (const auto& [rate, converted] : rates) EXPECT_EQ(encoder_rate_for(rate), converted) << rate;
    EXPECT_TRUE(is_encoder_rate(12000));
    EXPECT_FALSE(is_encoder_rate(44099));
}

namespace {

// A WAV image with the given format chunk fields, samples after it.
std::vector<uint8_t> wav_head(int tag, int channels, int rate, int bits) {
    WavSpec spec;
    spec.format_tag = tag;
    spec.channels = channels;
    spec.sample_rate = rate;
    spec.bits = bits;
    spec.seconds = 0.01;
    return make_wav(spec);
}

}  // namespace

TEST(AudioInput, HeaderTellsWhatTheControlRefuses) {
    bool riff = false;
    EXPECT_EQ(header_refusals(wav_head(1, 2, 44100, 16), riff), "");
    EXPECT_TRUE(riff);
    EXPECT_EQ(header_refusals(wav_head(1, 1, 8000, 16), riff), "");
    EXPECT_EQ(header_refusals(wav_head(1, 2, 44100, 24), riff), "24-bit samples");
    EXPECT_EQ(header_refusals(wav_head(1, 2, 96000, 24), riff), "24-bit samples, 96000 Hz");
    EXPECT_EQ(header_refusals(wav_head(3, 2, 44100, 32), riff), "floating-point samples");
    EXPECT_EQ(header_refusals(wav_head(0xFFFE, 2, 44100, 16), riff), "extensible format");
    EXPECT_EQ(header_refusals(wav_head(1, 6, 44100, 16), riff), "6 channels");
    EXPECT_EQ(header_refusals(wav_head(1, 2, 44101, 16), riff), "44101 Hz");

    // A chunk before "fmt ": the control would read the wrong bytes.
    std::vector<uint8_t> junk = wav_head(1, 2, 44100, 16);
    const uint8_t chunk[] = {'J', 'U', 'N', 'K', 4, 0, 0, 0, 0, 0, 0, 0};
    junk.insert(junk.begin() + 12, std::begin(chunk), std::end(chunk));
    EXPECT_EQ(header_refusals(junk, riff), "chunks before the format chunk");

    // No data chunk within reach, or a chunk size beyond the image.
    std::vector<uint8_t> no_data = wav_head(1, 2, 44100, 16);
    std::memcpy(no_data.data() + 36, "LIST", 4);
    EXPECT_EQ(header_refusals(no_data, riff), "no data chunk found");

    EXPECT_EQ(header_refusals({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, riff), "cut short in its header");
    EXPECT_EQ(header_refusals({'f', 'L', 'a', 'C'}, riff), "not a WAV file");
    EXPECT_FALSE(riff);
}

TEST(EncodePlan, TheOneFileFormAndOutputNames) {
    TempDir dir;
    write_file(dir / "b.wav", std::string("x"));
    const std::string a = (dir / "a.wav").string(), b = (dir / "b.wav").string();
    bool single = false;

    auto pairs = plan_outputs({a, (dir / "out.MP3").string()}, "", single);  // an MP3 name: the output
    EXPECT_TRUE(single);
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].output, (dir / "out.MP3").string());
    plan_outputs({a, (dir / "new").string()}, "", single);  // not an existing file: the output
    EXPECT_TRUE(single);

    pairs = plan_outputs({a, b}, "", single);  // an existing file: a second input
    EXPECT_FALSE(single);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].output, (dir / "a.mp3").string());
    EXPECT_EQ(pairs[1].output, (dir / "b.mp3").string());

    pairs = plan_outputs({a, (dir / "x.mp3").string()}, "out", single);  // a folder: every path an input
    EXPECT_FALSE(single);
    EXPECT_EQ(pairs[0].output, "out/a.mp3");
    pairs = plan_outputs({"song"}, "", single);  // no extension
    EXPECT_EQ(pairs[0].output, "song.mp3");
    pairs = plan_outputs({"a.b/song", ".hidden", "x"}, "", single);  // dots that are not an extension
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].output, "a.b/song.mp3");
    EXPECT_EQ(pairs[1].output, ".hidden.mp3");
    pairs = plan_outputs({"C:\\my.music\\a.wav", "C:\\my.music\\b"}, "out", single);  // Windows-form inputs
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].output, "out/a.mp3");
    EXPECT_EQ(pairs[1].output, "out/b.mp3");
    pairs = plan_outputs({"C:\\my.music\\a.wav", "C:\\my.music\\b", "x"}, "", single);
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].output, "C:\\my.music\\a.mp3");
    EXPECT_EQ(pairs[1].output, "C:\\my.music\\b.mp3");

    write_file(dir / "a.flac", std::string("x"));
    EXPECT_THROW(plan_outputs({a, (dir / "a.flac").string()}, "", single), UsageError);
    EXPECT_THROW(plan_outputs({a, (dir / "sub" / "a.wav").string()}, "out", single), UsageError);
}

TEST(Batch, PercentWeighsFilesByLengthAndStatusCountsFailures) {
    EXPECT_EQ(batch_percent({{60, 1}, {180, 0}}), 25);
    EXPECT_EQ(batch_percent({{60, 0.5}, {60, 0.5}}), 50);
    EXPECT_EQ(batch_percent({{0, 1}, {180, 0}}), 50);  // a length unknown: each file counts once
    EXPECT_EQ(batch_percent({}), 0);
    EXPECT_EQ(batch_status(0), 0);
    EXPECT_EQ(batch_status(1), 11);
    EXPECT_EQ(batch_status(100), 110);
    EXPECT_EQ(batch_status(5000), 110);
}

TEST(ProgressBar, BatchLineShowsFilesAndPhase) {
    ProgressView view;
    view.percent = 30;
    view.files_done = 3;
    view.files_total = 20;
    view.phase = "converting";
    const std::string line = render_progress(view, 120);
    EXPECT_NE(line.find(" 30%"), std::string::npos) << line;
    EXPECT_NE(line.find("3/20 files"), std::string::npos) << line;
    EXPECT_NE(line.find("converting"), std::string::npos) << line;
    EXPECT_LT(render_progress(view, 30).size(), 30u);
}

// A batch's children get their encoder thread count through the environment:
// the entry given replaces the variable of its name, the rest is inherited.
TEST(ChildProcess, EnvironmentEntriesReplaceTheirVariableAndTheRestIsKept) {
    ScopedEnv inherited("ZUBMP3_CHILD_TEST_KEPT", "kept");
    ScopedEnv replaced("ZUBMP3_ENCODER_THREADS", "7");
    ChildProcess child({"/bin/sh", "-c", "echo \"$ZUBMP3_ENCODER_THREADS $ZUBMP3_CHILD_TEST_KEPT\""},
                       {"ZUBMP3_ENCODER_THREADS=1"});
    std::optional<int> status;
    std::vector<std::string> lines;
    while (!(status = child.finished())) {  // ends once both its outputs are read to their end
        wait_for_input({child.output_descriptor(), child.error_descriptor()}, 100);
        for (auto& line : child.take_output_lines()) lines.push_back(line);
        child.take_error_lines();
    }
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(lines, std::vector<std::string>{"1 kept"});
}

// Output and its end read in one go: an ended last line is not followed by an
// empty one, an unended last line still counts.
TEST(ChildProcess, LinesReadTogetherWithTheEndOfOutput) {
    ChildProcess child({"/bin/sh", "-c", "printf 'one\\ntwo\\n'; printf 'three\\nfour' >&2"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it write and exit
    std::vector<std::string> out, err;
    std::optional<int> status;
    while (!(status = child.finished())) {
        wait_for_input({child.output_descriptor(), child.error_descriptor()}, 100);
        for (auto& line : child.take_output_lines()) out.push_back(line);
        for (auto& line : child.take_error_lines()) err.push_back(line);
    }
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(out, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(err, (std::vector<std::string>{"three", "four"}));
}
