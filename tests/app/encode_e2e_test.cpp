// zubmp3 encode on inputs the control does not take as they are (converted
// first), on several files at once, with tags, and with its strict options;
// the MP3s checked with ffmpeg, the tags with mutagen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "app_fixture.h"

namespace {

using namespace app_testing;

constexpr double kSeconds = 2.5;
constexpr long kMp3Frame = 1152;

// Decoded PCM of an MP3, as ffmpeg gives it.
struct Decoded {
    int channels = 0, rate = 0;
    std::vector<int16_t> samples;  // interleaved
    long frames() const { return channels > 0 ? static_cast<long>(samples.size()) / channels : 0; }
    double rms(int channel) const {
        double sum = 0;
        for (size_t i = static_cast<size_t>(channel); i < samples.size(); i += static_cast<size_t>(channels))
            sum += static_cast<double>(samples[i]) * samples[i];
        return frames() > 0 ? std::sqrt(sum / frames()) : 0;
    }
};

Decoded decode(const fs::path& mp3) {
    Decoded d;
    const auto info = run_command("ffprobe -v error -select_streams a -show_entries stream=channels,sample_rate -of csv=p=0 " +
                                  shell_quote(mp3.string()));
    if (std::sscanf(info.output.c_str(), "%d,%d", &d.rate, &d.channels) != 2) return d;
    const auto pcm = run_command("ffmpeg -v error -i " + shell_quote(mp3.string()) + " -f s16le -acodec pcm_s16le -");
    d.samples.resize(pcm.output.size() / 2);
    std::memcpy(d.samples.data(), pcm.output.data(), d.samples.size() * 2);
    return d;
}

// Signal to noise of a sine of `frequency` in one channel: the best fit of a
// sine and cosine against what is left over, in dB.
double sine_snr(const Decoded& d, int channel, double frequency) {
    const long skip = d.rate / 10;  // leave the edges out
    double ss = 0, sc = 0, cc = 0, xs = 0, xc = 0;
    std::vector<double> x;
    for (long i = skip; i < d.frames() - skip; ++i) {
        const double v = d.samples[static_cast<size_t>(i * d.channels + channel)];
        const double s = std::sin(2 * M_PI * frequency * i / d.rate), c = std::cos(2 * M_PI * frequency * i / d.rate);
        ss += s * s, sc += s * c, cc += c * c, xs += v * s, xc += v * c;
        x.push_back(v);
    }
    const double det = ss * cc - sc * sc;
    const double a = (xs * cc - xc * sc) / det, b = (xc * ss - xs * sc) / det;
    double signal = 0, noise = 0;
    for (size_t k = 0; k < x.size(); ++k) {
        const long i = skip + static_cast<long>(k);
        const double fit = a * std::sin(2 * M_PI * frequency * i / d.rate) + b * std::cos(2 * M_PI * frequency * i / d.rate);
        signal += fit * fit;
        noise += (x[k] - fit) * (x[k] - fit);
    }
    return 10 * std::log10(signal / noise);
}

class Encode : public App {
protected:
    void SetUp() override {
        ZUBMP3_REQUIRE_TOOL("sox");
        ZUBMP3_REQUIRE_TOOL("ffmpeg");
        fs::create_directories(tmp);
    }

    // The encoder's converted copies go to a temporary folder of the test's own.
    Outcome encode(const std::string& args, const std::string& input = "") {
        return run("TMPDIR=" + q(tmp) + " " + shell_quote(kZubmp3) + " encode " + args, input);
    }

    // Runs a shell command in the test folder that makes an input.
    void make(const std::string& command) {
        const auto r = run_command("cd " + q(dir.path()) + " && " + command + " 2>/dev/null");
        ASSERT_EQ(r.status, 0) << command;
    }

    // A stereo sine, left only (the right channel silent), by sox.
    void sox_input(const std::string& name, const std::string& format, int rate = 44100, double seconds = kSeconds) {
        make("sox -n -r " + std::to_string(rate) + " -c 2 " + format + " " + shell_quote(name) + " synth " +
             std::to_string(seconds) + " sine 440 gain -6 remix 1 0");
    }

    bool tmp_is_empty() const { return fs::is_empty(tmp); }

    fs::path tmp = dir / "tmp";
};

// A canonical 16-bit WAV rewritten by Python with WAVE_FORMAT_EXTENSIBLE, or
// with a JUNK chunk before its format chunk.
const char* kRewriteWav = R"(python3 -c '
import struct, sys
data = open(sys.argv[1], "rb").read()
fmt, body = data[20:36], data[36:]
if sys.argv[3] == "extensible":
    guid = bytes.fromhex("0100000000001000800000aa00389b71")
    fmt = struct.pack("<HHIIHH", 0xFFFE, *struct.unpack("<HIIHH", fmt[2:])) + struct.pack("<HHI", 22, 16, 3) + guid
    chunks = b"fmt " + struct.pack("<I", len(fmt)) + fmt + body
else:
    chunks = b"JUNK" + struct.pack("<I", 28) + bytes(28) + b"fmt " + struct.pack("<I", 16) + fmt + body
open(sys.argv[2], "wb").write(b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks)
')";

struct Variant {
    const char* name;
    const char* file;
    int rate;
};

// Each kind of input a user may have, made by sox, ffmpeg or Python; each is
// converted and encoded: the length is kept within one MP3 frame, the left
// channel stays left, and no temporary file is left.
TEST_F(Encode, EveryInputKindKeepsItsLengthAndChannels) {
    ZUBMP3_REQUIRE_TOOL("python3");
    sox_input("base.wav", "-b 16");
    const std::vector<std::pair<Variant, std::string>> variants = {
        {{"8-bit", "u8.wav", 44100}, "sox base.wav -D -b 8 -e unsigned u8.wav"},
        {{"24-bit (extensible)", "s24.wav", 44100}, "sox base.wav -b 24 s24.wav"},
        {{"32-bit integer", "s32.wav", 44100}, "sox base.wav -b 32 -e signed s32.wav"},
        {{"32-bit float", "f32.wav", 44100}, "sox base.wav -b 32 -e floating-point f32.wav"},
        {{"16-bit extensible", "ext16.wav", 44100}, std::string(kRewriteWav) + " base.wav ext16.wav extensible"},
        {{"JUNK before fmt", "junk.wav", 44100}, std::string(kRewriteWav) + " base.wav junk.wav junk"},
        {{"RF64", "rf64.wav", 44100}, "ffmpeg -v error -i base.wav -rf64 always rf64.wav"},
        {{"88.2 kHz", "r88.wav", 88200}, "sox base.wav -b 24 -r 88200 r88.wav"},
        {{"96 kHz", "r96.wav", 96000}, "sox base.wav -b 24 -r 96000 r96.wav"},
        {{"11.025 kHz 16-bit (taken as it is)", "r11.wav", 11025}, "sox base.wav -r 11025 r11.wav"},
        {{"37.8 kHz", "r378.wav", 37800}, "sox base.wav -r 37800 r378.wav"},
        {{"AIFF", "in.aiff", 44100}, "sox base.wav in.aiff"},
        {{"FLAC", "in.flac", 44100}, "sox base.wav in.flac"},
        {{"Ogg Vorbis", "in.ogg", 44100}, "sox base.wav in.ogg"},
        {{"W64", "in.w64", 44100}, "sox base.wav in.w64"},
    };
    for (const auto& [variant, command] : variants) {
        SCOPED_TRACE(variant.name);
        make(command);
        const Outcome r = encode(std::string(variant.file) + " out.mp3");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        const Decoded d = decode(dir / "out.mp3");
        ASSERT_EQ(d.channels, 2);
        const int expected_rate = variant.rate > 48000 ? 48000 : variant.rate == 37800 ? 44100 : variant.rate;
        EXPECT_EQ(d.rate, expected_rate);
        EXPECT_NEAR(d.frames(), std::lround(kSeconds * d.rate), kMp3Frame);
        EXPECT_GT(d.rms(0), 1000);              // -6 dBFS sine: about 11600
        EXPECT_LT(d.rms(1), d.rms(0) / 100);    // the right channel stays silent
        EXPECT_TRUE(tmp_is_empty());
    }
}

TEST_F(Encode, TwentyFourBitSineIsAtLeastAsCleanAsItsSixteenBitOne) {
    make("sox -n -r 44100 -c 2 -b 24 s24.wav synth 3 sine 1000 gain -3");
    make("sox -n -r 44100 -c 2 -b 16 s16.wav synth 3 sine 1000 gain -3");
    ASSERT_EQ(encode("s24.wav s24.mp3 --bitrate 320").status, 0);
    ASSERT_EQ(encode("s16.wav s16.mp3 --bitrate 320").status, 0);
    const double snr24 = sine_snr(decode(dir / "s24.mp3"), 0, 1000);
    const double snr16 = sine_snr(decode(dir / "s16.mp3"), 0, 1000);
    EXPECT_GT(snr16, 40);  // the measure works
    EXPECT_GE(snr24, snr16 - 0.5) << "24-bit " << snr24 << " dB, 16-bit " << snr16 << " dB";
}

TEST_F(Encode, MoreThanTwoChannelsAreRefusedAndNothingIsWritten) {
    make("sox -n -r 44100 -c 6 -b 24 six.wav synth 1 sine 440");
    const Outcome r = encode("six.wav out.mp3 --events");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zubmp3: six.wav: 6 channels; only mono and stereo can be encoded\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
    EXPECT_TRUE(tmp_is_empty());
}

TEST_F(Encode, MessagesNameTheFileAndTheReasonOnce) {
    fs::create_directory(dir / "folder.wav");
    write_file(dir / "text.wav", std::string("not audio at all\n"));
    sox_input("ok.wav", "-b 16", 44100, 0.5);
    // A 24-bit header whose file ends before its data chunk: nothing can convert it.
    write_file(dir / "cut24.wav", std::string("RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0"
                                              "\x18\x0a\x04\0\x06\0\x18\0", 36));
    const std::pair<std::string, std::string> cases[] = {
        {"cut24.wav out.mp3", "zubmp3: cut24.wav: a WAV file that cannot be read (24-bit samples)\n"},
        {"missing.wav out.mp3", "zubmp3: missing.wav: not found\n"},
        {"folder.wav out.mp3", "zubmp3: folder.wav: is a folder\n"},
        {"text.wav out.mp3", "zubmp3: text.wav: not a WAV file\n"},
        {"ok.wav text.wav/out.mp3", "zubmp3: text.wav/out.mp3: its folder cannot be created or written to "
                                    "(its folder " + (dir / "text.wav").string() + " is a file)\n"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome r = encode(args + " --events");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.err, message) << args;
        EXPECT_NE(r.out.find("ErrorCode "), std::string::npos) << args;  // the number stays in the events
    }
    // A FIFO is not waited on.
    make("mkfifo fifo.wav");
    const Outcome fifo = run("timeout 60 " + shell_quote(kZubmp3) + " encode fifo.wav out.mp3");
    EXPECT_EQ(fifo.status, 1);
    EXPECT_EQ(fifo.err, "zubmp3: fifo.wav: is not a regular file\n");

    if (!running_as_root()) {
        sox_input("locked.wav", "-b 16", 44100, 0.5);
        fs::permissions(dir / "locked.wav", fs::perms::none);
        const Outcome r = encode("locked.wav out.mp3");
        EXPECT_EQ(r.err, "zubmp3: locked.wav: no permission to read it\n");
    }
}

// The converted copy lives in a private folder that goes on every path.
TEST_F(Encode, TemporaryCopyGoesOnEveryPath) {
    sox_input("in.wav", "-b 24", 96000, 30);
    // Failure: the output's folder is a file.
    write_file(dir / "file", std::string("x"));
    Outcome r = encode("in.wav file/out.mp3");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp_is_empty());
    // Cancel: paused at once, then cancelled by a key.
    r = encode("in.wav out.mp3 --events --stdin-keys", "pc");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(tmp_is_empty());
    // SIGINT and SIGTERM while paused; the job has started once a copy exists.
    for (const char* signal : {"INT", "TERM"}) {
        r = run("printf p | TMPDIR=" + q(tmp) + " " + shell_quote(kZubmp3) +
                " encode in.wav out.mp3 --events --stdin-keys >/dev/null & pid=$!; "
                "for i in $(seq 600); do [ -n \"$(ls " + q(tmp) + ")\" ] && break; sleep 0.1; done; "
                "kill -" + std::string(signal) + " $pid; wait $pid; echo $?");
        EXPECT_EQ(r.out, std::string(signal) == "INT" ? "130\n" : "143\n") << r.err;
        EXPECT_TRUE(tmp_is_empty()) << signal;
    }
}

// ---- several files ----

TEST_F(Encode, SeveralFilesOnTwoJobsWithTagsAndEventsThatNameTheirFile) {
    ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
    sox_input("a.wav", "-b 16", 44100, 1);
    sox_input("b.wav", "-b 24", 96000, 1);
    sox_input("c.flac", "-b 16", 44100, 1);
    sox_input("d e.aiff", "-b 16", 22050, 1);
    const Outcome r = encode("a.wav b.wav c.flac 'd e.aiff' -o out -j 2 --events --artist 'Some One' --tag v2");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* input : {"a.wav", "b.wav", "c.flac", "d e.aiff"}) {
        EXPECT_NE(r.out.find(std::string(input) + "\tErrorCode 0 No error \n" + input + "\tFinished\n"), std::string::npos)
            << input << "\n" << r.out;
    }
    for (const auto& line : lines(r.out)) EXPECT_NE(line.find('\t'), std::string::npos) << line;
    for (const char* output : {"a.mp3", "b.mp3", "c.mp3", "d e.mp3"}) {
        EXPECT_NEAR(decode(dir / "out" / output).frames(), decode(dir / "out" / output).rate, kMp3Frame) << output;
        const auto artist = run_command("/usr/bin/python3 -c 'import sys, mutagen.id3 as m; t = m.ID3(sys.argv[1]); "
                                        "print(t[\"TPE1\"])' " + q(dir / "out" / output));
        EXPECT_EQ(artist.output, "Some One\n") << output;
    }
    EXPECT_TRUE(tmp_is_empty());
}

TEST_F(Encode, OneProgressLineForSeveralFilesOnATerminal) {
    ZUBMP3_REQUIRE_TOOL("script");
    sox_input("a.wav", "-b 16", 44100, 1);
    sox_input("b.wav", "-b 24", 96000, 1);
    // script(1) runs the command on a pseudo-terminal.
    const Outcome r = run("TMPDIR=" + q(tmp) + " script -qfec " +
                          shell_quote(shell_quote(kZubmp3) + " encode a.wav b.wav -o out -j 2") + " /dev/null");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("] 100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2/2 files"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("p pause  c cancel"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Progress"), std::string::npos) << r.out;  // the children's events stay inside
}

TEST_F(Encode, NoClobberKeepsExistingOutputsAndFailuresAreCounted) {
    sox_input("a.wav", "-b 16", 44100, 0.5);
    sox_input("b.wav", "-b 16", 44100, 0.5);
    write_file(dir / "a.mp3", std::string("keep me"));
    Outcome r = encode("a.wav b.wav -n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir / "a.mp3"), "keep me");
    EXPECT_EQ(decode(dir / "b.mp3").channels, 2);
    EXPECT_EQ(encode("a.wav a.mp3 --no-clobber").status, 0);  // the one-file form too
    EXPECT_EQ(slurp(dir / "a.mp3"), "keep me");

    // Two of three fail: 10 + 2.
    r = encode("missing.wav b.wav gone.flac -j 1");
    EXPECT_EQ(r.status, 12);
    EXPECT_EQ(r.err, "zubmp3: missing.wav: not found\nzubmp3: gone.flac: not found\n"
                     "zubmp3: 1 of 3 files encoded; 2 not\n");

    // Two inputs for one MP3 are refused before anything runs.
    fs::create_directory(dir / "sub");
    sox_input("sub/a.wav", "-b 16", 44100, 0.5);
    r = encode("a.wav sub/a.wav -o out");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("a.wav and sub/a.wav would both be encoded to out/a.mp3"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST_F(Encode, JsonReportsEachFileWithTheControlsNumberAndTheReason) {
    sox_input("a.wav", "-b 16", 44100, 0.5);
    make("sox -n -r 44100 -c 4 -b 16 four.wav synth 0.5 sine 440");
    Outcome r = encode("a.wav a.mp3 --json");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(R"({"file":"a.wav","output":"a.mp3","result":0,"error":null,"kept":false})"));

    r = encode("a.wav missing.wav four.wav -o out -j 2 --json");
    EXPECT_EQ(r.status, 12);
    std::map<std::string, nlohmann::json> reports;
    for (const auto& line : lines(r.out)) {
        const auto report = nlohmann::json::parse(line);
        reports[report["file"]] = report;
    }
    ASSERT_EQ(reports.size(), 3u) << r.out;
    EXPECT_EQ(reports["a.wav"]["result"], 0);
    EXPECT_EQ(reports["missing.wav"]["result"], 5);  // the control's check
    EXPECT_EQ(reports["missing.wav"]["error"], "not found");
    EXPECT_TRUE(reports["four.wav"]["result"].is_null());  // refused before the control was asked
    EXPECT_EQ(reports["four.wav"]["error"], "4 channels; only mono and stereo can be encoded");

    r = encode("a.wav -o out -n --json");
    EXPECT_EQ(nlohmann::json::parse(r.out)["kept"], true);
    EXPECT_EQ(encode("a.wav a.mp3 --json --events").status, 2);
}

TEST_F(Encode, CtrlCDuringABatchCancelsEveryJobAndStartsNoMore) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) sox_input(name, "-b 16", 44100, 30);
    // Paused from the start (the parent passes "p" on); SIGINT to the parent
    // alone, once both running jobs have made their MP3s.
    const Outcome r = run("printf p | TMPDIR=" + q(tmp) + " " + shell_quote(kZubmp3) +
                          " encode a.wav b.wav c.wav d.wav -o out -j 2 --events --stdin-keys > events.txt & pid=$!; "
                          "for i in $(seq 600); do [ -e out/a.mp3 ] && [ -e out/b.mp3 ] && break; sleep 0.1; done; "
                          "sleep 0.5; kill -INT $pid; wait $pid; echo $?");
    EXPECT_EQ(r.out, "130\n") << r.err;
    const std::string events = slurp(dir / "events.txt");
    EXPECT_NE(events.find("a.wav\tErrorCode 112 User abort"), std::string::npos) << events;
    EXPECT_NE(events.find("b.wav\tErrorCode 112 User abort"), std::string::npos) << events;
    EXPECT_FALSE(fs::exists(dir / "out" / "c.mp3"));
    EXPECT_FALSE(fs::exists(dir / "out" / "d.mp3"));
    for (const char* output : {"a.mp3", "b.mp3"}) {
        const auto check = run_command("ffmpeg -v error -xerror -i " + q(dir / "out" / output) + " -f null - 2>&1");
        EXPECT_EQ(check.status, 0) << output << check.output;  // the part encoded decodes
    }
    EXPECT_TRUE(tmp_is_empty());
}

// ---- options ----

TEST_F(Encode, StrictOptionsTakeTheirWordsInAnyCaseAndListTheChoices) {
    sox_input("in.wav", "-b 16", 44100, 0.5);
    for (const char* mode : {"MONO", "m", "M"}) {
        ASSERT_EQ(encode(std::string("in.wav out.mp3 --mode ") + mode + " --quality HIGH").status, 0) << mode;
        EXPECT_EQ(decode(dir / "out.mp3").channels, 1) << mode;
    }
    for (const char* mode : {"Joint", "j", "stereo", "S", "dual", "D"})
        EXPECT_EQ(encode(std::string("in.wav out.mp3 --mode ") + mode).status, 0) << mode;
    for (const char* quality : {"low", "Normal", "high"})
        EXPECT_EQ(encode(std::string("in.wav out.mp3 --quality ") + quality).status, 0) << quality;

    const std::pair<const char*, const char*> refused[] = {
        {"--mode 'mono '", "is not one of stereo, joint, dual, mono (or s, j, d, m)"},
        {"--mode x", "is not one of stereo, joint, dual, mono (or s, j, d, m)"},
        {"--quality best", "is not one of normal, low, high"},
        {"--vbr-max 256", "--vbr-max requires --vbr"},
        {"--vbr --vbr-max 100", "100 not in {32,40,48,56,64,80,96,112,128,160,192,224,256,320}"},
        {"--vbr --bitrate 192 --vbr-max 128", "--vbr-max 128 is below --bitrate 192"},
        {"-j 0", "--jobs"},
    };
    for (const auto& [args, message] : refused) {
        fs::remove(dir / "out.mp3");
        const Outcome r = encode(std::string("in.wav out.mp3 ") + args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find(message), std::string::npos) << args << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.mp3")) << args;
    }
    EXPECT_EQ(encode("in.wav out.mp3 --vbr --bitrate 64 --vbr-max 192").status, 0);
}

}  // namespace
