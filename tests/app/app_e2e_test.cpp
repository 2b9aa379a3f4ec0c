// build/bin/zubmp3 run as a user runs it, on generated inputs; its results
// checked with decoders and tag tools that no one here wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app_fixture.h"

namespace {

using namespace app_testing;

// Tag commands on MP3 files that lame made.
class Tags : public App {
protected:
    void SetUp() override { ZUBMP3_REQUIRE_TOOL("lame"); }
};

// ---- encode ----

TEST_F(App, EncodeReportsEventsInOrderAndWritesADecodableMp3) {
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    wav("in.wav", 3);
    const Outcome r = zubmp3("encode in.wav out.mp3 --events");  // relative paths
    ASSERT_EQ(r.status, 0) << r.err;
    const auto events = lines(r.out);
    ASSERT_GE(events.size(), 3u) << r.out;
    EXPECT_EQ(events[events.size() - 3], "ErrorCode 0 No error ");
    EXPECT_EQ(events[events.size() - 2], "Finished");
    EXPECT_EQ(events[events.size() - 1], "Progress 100");
    int last = -1;
    for (size_t i = 0; i + 3 < events.size(); ++i) {
        ASSERT_EQ(events[i].rfind("Progress ", 0), 0u) << events[i];
        const int percent = std::stoi(events[i].substr(9));
        EXPECT_GT(percent, last);
        EXPECT_LE(percent, 100);
        last = percent;
    }
    const auto probe = run_command("ffprobe -v error -show_entries format=duration -of csv=p=0 " + q(dir / "out.mp3"));
    ASSERT_EQ(probe.status, 0);
    EXPECT_NEAR(std::stod(probe.output), 3.0, 0.2);
}

TEST_F(App, EncodeOptionsReachTheEncoder) {
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    const fs::path input = wav("in.wav");
    const fs::path output = dir / "deeper" / "new folder" / "out.mp3";  // absolute, spaces, missing folders
    const Outcome r = zubmp3("encode " + q(input) + " " + q(output) + " --bitrate 64 --mode mono --quality high");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");  // quiet without a terminal
    const auto probe = run_command("ffprobe -v error -select_streams a -show_entries stream=channels,bit_rate -of csv=p=0 " +
                                   q(output));
    EXPECT_EQ(probe.output, "1,64000\n");
}

TEST_F(App, RefusedBitrateIsAUsageErrorListingTheChoices) {
    wav("in.wav");
    const Outcome r = zubmp3("encode in.wav out.mp3 --bitrate 100 --events");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("100 not in {32,40,48,56,64,80,96,112,128,160,192,224,256,320}"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
}

TEST_F(App, CancelFromStandardInputWithEvents) {
    wav("in.wav", 30);  // long: the encoder reads a few seconds ahead
    // "p" pauses the job as soon as it starts, "c" cancels it.
    const Outcome r = zubmp3("encode in.wav out.mp3 --events --stdin-keys", "pc");
    EXPECT_EQ(r.status, 1);
    const auto events = lines(r.out);
    ASSERT_GE(events.size(), 3u) << r.out;
    EXPECT_EQ(events[events.size() - 3], "ErrorCode 112 User abort");
    EXPECT_EQ(events[events.size() - 2], "Finished");
    EXPECT_EQ(events[events.size() - 1], "Progress 100");
    EXPECT_EQ(r.err, "zubmp3: in.wav: cancelled; out.mp3 holds the part encoded\n");
    EXPECT_TRUE(fs::exists(dir / "out.mp3"));  // the partial output is closed and left
}

TEST_F(App, EventsLeaveStandardInputAloneWithoutStdinKeys) {
    wav("in.wav", 1);
    // A shell loop's list on standard input is not taken for keys.
    const Outcome r = run("printf 'c\\nsecond\\n' | { " + shell_quote(kZubmp3) +
                          " encode in.wav out.mp3 --events >/dev/null; echo \"exit $?\"; cat; }");
    EXPECT_EQ(r.out, "exit 0\nc\nsecond\n") << r.err;
}

TEST_F(App, CtrlCAndSigtermCancelCleanlyAndExitWith130And143) {
    wav("in.wav", 30);  // long: the encoder reads a few seconds ahead
    for (const auto& [signal, status] : {std::pair{"INT", "130"}, std::pair{"TERM", "143"}}) {
        // Paused from the start, so the job is still running when the signal
        // comes; the output file shows that the job (and so the handler) is there.
        fs::remove(dir / "out.mp3");
        const Outcome r = run("{ printf p; sleep 5; } | " + shell_quote(kZubmp3) +
                              " encode in.wav out.mp3 --events --stdin-keys & pid=$!; "
                              "for i in $(seq 600); do [ -e out.mp3 ] && break; sleep 0.1; done; sleep 0.2; "
                              "kill -" + std::string(signal) + " $pid; wait $pid; echo \"exit $?\"");
        const auto events = lines(r.out);
        ASSERT_GE(events.size(), 4u) << r.out << r.err;
        EXPECT_EQ(events[events.size() - 4], "ErrorCode 112 User abort") << signal;
        EXPECT_EQ(events[events.size() - 3], "Finished") << signal;
        EXPECT_EQ(events[events.size() - 1], std::string("exit ") + status) << signal;
    }
}

TEST_F(App, AnOutputThatNamesAFolderHasNoFileName) {
    wav("in.wav");
    for (const char* output : {"newdir/", "newdir/.", "./"}) {
        const Outcome r = zubmp3(std::string("encode in.wav ") + output + " --events");
        EXPECT_EQ(r.status, 1) << output;
        EXPECT_EQ(r.out, "ErrorCode 110 Destination filename is missing\nFinished\nProgress 100\n") << output;
        EXPECT_FALSE(fs::exists(dir / "newdir")) << output;
    }
}

TEST_F(App, ControlChecksRefuseBeforeAnyJob) {
    wav("in.wav");
    Outcome r = zubmp3("encode missing.wav out.mp3 --events");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "ErrorCode 5 The input file or path is invalid\n");  // no Finished: no job ran
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));

    r = zubmp3("encode in.wav IN.WAV");  // the same file to the control
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zubmp3: in.wav: is also the output file\n");

    // The same file under another name: a symbolic link, a hard link, a
    // longer spelling of the path. The input stays whole.
    const std::string before = slurp(dir / "in.wav");
    fs::create_symlink("in.wav", dir / "soft.mp3");
    fs::create_hard_link(dir / "in.wav", dir / "hard.mp3");
    fs::create_directory(dir / "sub");
    for (const char* args : {"in.wav soft.mp3", "in.wav hard.mp3", "sub/../hard.mp3 hard.mp3"}) {
        r = zubmp3(std::string("encode ") + args + " --events");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(r.out, "ErrorCode 2 The input file is the same as the output\n") << args;
    }
    EXPECT_EQ(slurp(dir / "in.wav"), before);

    r = zubmp3("encode in.wav out.mp3 --priority 4");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--priority: Value 4 not in range 1 to 3"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
}

TEST_F(App, ProgressBarAndKeysOnATerminal) {
    ZUBMP3_REQUIRE_TOOL("script");
    wav("in.wav", 2);
    // script(1) runs the command on a pseudo-terminal.
    Outcome r = run("script -qfec " + shell_quote(shell_quote(kZubmp3) + " encode in.wav out.mp3") + " /dev/null");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("p pause  c cancel"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("] 100%"), std::string::npos) << r.out;

    // "c" typed on the terminal cancels ("p" first holds the job). Typed
    // ahead, the keys wait in the terminal until the job runs. The input is
    // long: the encoder reads a few seconds ahead, and the keys must find it
    // still reading.
    wav("long.wav", 30);
    r = run("{ printf pc; sleep 1; } | script -qfec " +
            shell_quote(shell_quote(kZubmp3) + " encode long.wav out.mp3; echo \"exit $?\"") + " /dev/null");
    EXPECT_NE(r.out.find("zubmp3: long.wav: cancelled"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("exit 1"), std::string::npos) << r.out;
}

// ---- usage ----

TEST_F(App, UsageErrorsExitWithTwoAndAHint) {
    const char* cases[] = {
        "",                                      // no command
        "transcode a b",                         // unknown command
        "encode",                                // missing argument
        "encode a.wav b.mp3 --bitrate fast",     // not a number
        "tags",                                  // missing file
        "tag-v1 a.mp3 --track 256",              // out of range
        "tag-v1 a.mp3 --genre NoSuchGenre",      // unknown genre name
        "tag-v1 a.mp3 --genre 300",              // genre number out of range
        "untag a.mp3 --v3",                      // unknown option
        "encode /tmp/日本.wav out.mp3",          // path the control cannot name
    };
    for (const char* args : cases) {
        const Outcome r = zubmp3(args);
        EXPECT_EQ(r.status, 2) << args << "\n" << r.err;
        EXPECT_NE(r.err.find("zubmp3: "), std::string::npos) << args;
    }
    EXPECT_NE(zubmp3("encode").err.find("Run 'zubmp3 encode --help' for usage."), std::string::npos);
}

TEST_F(App, HelpAndVersion) {
    Outcome r = zubmp3("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"encode", "tags", "tag-v1", "tag-v2", "untag", "genres", "about"})
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
    r = zubmp3("encode --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--vbr-max"), std::string::npos);
    r = zubmp3("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
}

// ---- tags ----

TEST_F(Tags, UntaggedAndMissingFiles) {
    const fs::path file = mp3("plain.mp3");
    Outcome r = zubmp3("tags --json " + q(file));
    EXPECT_EQ(r.status, 0) << r.err;  // no tag is an answer
    auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["id3v1"]["result"], 2);
    EXPECT_TRUE(json["id3v1"]["title"].is_null());
    EXPECT_EQ(json["id3v2"]["result"], 2);
    EXPECT_TRUE(json["id3v2"]["title"].is_null());

    std::string windows = "Z:" + file.string();  // a Windows form goes to the control as it is
    std::replace(windows.begin(), windows.end(), '/', '\\');
    r = zubmp3("tags --json " + shell_quote(windows));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["id3v1"]["result"], 2);

    r = zubmp3("tags --json missing.mp3");
    EXPECT_EQ(r.status, 1);
    json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["id3v1"]["result"], 1);
    EXPECT_EQ(json["error"], "not found");
    EXPECT_EQ(r.err, "zubmp3: missing.mp3: not found\n");  // once, not once per tag

    for (const char* command : {"tag-v1", "tag-v2", "untag"}) {
        r = zubmp3(std::string(command) + " missing.mp3 --json" + (command[0] == 't' ? " --title T" : ""));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "zubmp3: missing.mp3: not found\n") << command;
        EXPECT_EQ(nlohmann::json::parse(r.out)["error"], "not found") << command;
    }
    EXPECT_FALSE(fs::exists(dir / "missing.mp3"));
}

TEST_F(Tags, TagV1WritesAndMergesWithWhatTheFileHas) {
    ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
    const fs::path file = mp3("song.mp3");
    Outcome r = zubmp3("tag-v1 " + q(file) + " --title 'First title' --artist Someone --track 3 --genre rock --year 1999");
    ASSERT_EQ(r.status, 0) << r.err;
    r = zubmp3("tag-v1 " + q(file) + " --album 'An album' --comment 'Said so'");
    ASSERT_EQ(r.status, 0) << r.err;

    const auto v1 = tags(file)["id3v1"];
    EXPECT_EQ(v1["result"], 0);
    EXPECT_EQ(v1["title"], "First title");
    EXPECT_EQ(v1["artist"], "Someone");
    EXPECT_EQ(v1["album"], "An album");
    EXPECT_EQ(v1["year"], "1999");
    EXPECT_EQ(v1["comment"], "Said so");
    EXPECT_EQ(v1["track"], 3);
    EXPECT_EQ(v1["genre"], 17);
    EXPECT_EQ(v1["genre_name"], "Rock");

    // Another reader agrees.
    const auto other = run_command(
        "/usr/bin/python3 -c 'import sys, mutagen.id3 as m; f = m.ParseID3v1(open(sys.argv[1], \"rb\").read()[-128:]); "
        "print(f[\"TIT2\"], f[\"TPE1\"], f[\"TALB\"], f[\"TRCK\"], f[\"TCON\"].genres[0], sep=\"|\")' " + q(file));
    EXPECT_EQ(other.output, "First title|Someone|An album|3|Rock\n");
}

TEST_F(Tags, TagV1WithoutGenreOnANewTagWritesNoGenre) {
    ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
    const fs::path file = mp3("song.mp3");
    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title T").status, 0);
    const auto other = run_command(
        "/usr/bin/python3 -c 'import sys, mutagen.id3 as m; f = m.ParseID3v1(open(sys.argv[1], \"rb\").read()[-128:]); "
        "print(\"TCON\" in f)' " + q(file));
    EXPECT_EQ(other.output, "False\n");  // byte 255, no genre for other readers
    EXPECT_TRUE(tags(file)["id3v1"]["genre"].is_null());
    EXPECT_EQ(tags(file)["id3v1"]["genre_name"], "none");
    EXPECT_NE(zubmp3("tags " + q(file)).out.find("  Genre            none\n"), std::string::npos);
}

TEST_F(Tags, TagV1KeepsAGenreByteBeyondTheControlsList) {
    const fs::path file = mp3("song.mp3");
    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title T").status, 0);
    auto bytes = read_file(file);
    bytes.back() = 200;  // a genre that other programs list
    write_file(file, bytes);
    EXPECT_EQ(tags(file)["id3v1"]["genre"], 200);
    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title Other").status, 0);
    EXPECT_EQ(read_file(file).back(), 200);  // not turned into "no genre"
    EXPECT_EQ(tags(file)["id3v1"]["title"], "Other");
}

TEST_F(Tags, TagV2WritesAndMergesWithWhatTheFileHas) {
    ZUBMP3_REQUIRE_TOOL("eyeD3");
    const fs::path file = mp3("song.mp3");
    Outcome r = zubmp3("tag-v2 " + q(file) +
                   " --title 'Long title beyond thirty characters, kept whole' --artist A --composer C --url http://x.example/"
                   " --track 4 --genre Jazz --encoded-by zubmp3 --copyright 'Nobody' --original-artist O --year 2001");
    ASSERT_EQ(r.status, 0) << r.err;
    r = zubmp3("tag-v2 " + q(file) + " --album B --comment 'Note'");
    ASSERT_EQ(r.status, 0) << r.err;

    const auto v2 = tags(file)["id3v2"];
    EXPECT_EQ(v2["result"], 0);
    EXPECT_EQ(v2["title"], "Long title beyond thirty characters, kept whole");
    EXPECT_EQ(v2["artist"], "A");
    EXPECT_EQ(v2["album"], "B");
    EXPECT_EQ(v2["comment"], "Note");
    EXPECT_EQ(v2["composer"], "C");
    EXPECT_EQ(v2["url"], "http://x.example/");
    EXPECT_EQ(v2["track"], "4");
    EXPECT_EQ(v2["encoded_by"], "zubmp3");
    EXPECT_EQ(v2["copyright"], "Nobody");
    EXPECT_EQ(v2["original_artist"], "O");
    EXPECT_EQ(v2["year"], "2001");

    const auto other = run_command("eyeD3 --no-color " + q(file) + " 2>&1");
    EXPECT_NE(other.output.find("title: Long title beyond thirty characters, kept whole"), std::string::npos)
        << other.output;
    EXPECT_NE(other.output.find("album: B"), std::string::npos) << other.output;
}

TEST_F(App, NonAsciiTextsRoundTrip) {
    ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
    // A Latin-1 name with a space, in a folder with a space.
    const fs::path input = wav("Ünïcode folder/Café song.wav", 1);
    const fs::path file = dir / "Ünïcode folder" / "Café song.mp3";
    ASSERT_EQ(zubmp3("encode " + q(input) + " " + q(file)).status, 0);

    Outcome r = zubmp3("tag-v1 " + q(file) + " --title 'Café Ørsted' --artist 'Ça ira'");
    EXPECT_EQ(r.status, 0) << r.err;
    r = zubmp3("tag-v2 " + q(file) + " --title 'Café Ørsted' --artist '日本 band'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("warning: --artist has characters outside Latin-1"), std::string::npos) << r.err;

    const auto json = tags(file);
    EXPECT_EQ(json["id3v1"]["title"], "Café Ørsted");
    EXPECT_EQ(json["id3v1"]["artist"], "Ça ira");
    EXPECT_EQ(json["id3v2"]["title"], "Café Ørsted");
    EXPECT_EQ(json["id3v2"]["artist"], "?? band");

    const auto other = run_command("/usr/bin/python3 -c 'import sys, mutagen.id3 as m; print(m.ID3(sys.argv[1], "
                                   "load_v1=False)[\"TIT2\"])' " + q(file));
    EXPECT_EQ(other.output, "Café Ørsted\n");
}

TEST_F(Tags, TagsTableIsReadable) {
    const fs::path file = mp3("song.mp3");
    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title V1title").status, 0);
    const Outcome r = zubmp3("tags " + q(file));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("ID3v1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  Title            V1title"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ID3v2: none (no tag)"), std::string::npos) << r.out;
}

TEST_F(Tags, TagWriteOnAReadOnlyFileFails) {
    const fs::path file = mp3("song.mp3");
    fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto before = read_file(file);
    Outcome r = zubmp3("tag-v1 " + q(file) + " --title T");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zubmp3: " + file.string() + ": ID3v1 tag not written: the file is read-only\n");
    r = zubmp3("tag-v2 " + q(file) + " --title T");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zubmp3: " + file.string() + ": ID3v2 tag not written: the file is read-only\n");
    EXPECT_EQ(read_file(file), before);
}

TEST_F(Tags, UntagRemovesWhatIsAsked) {
    const fs::path file = mp3("song.mp3");
    const auto untagged_size = fs::file_size(file);
    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title One").status, 0);
    ASSERT_EQ(zubmp3("tag-v2 " + q(file) + " --title Two").status, 0);

    Outcome r = zubmp3("untag --v1 " + q(file));
    EXPECT_EQ(r.status, 0) << r.err;
    auto json = tags(file);
    EXPECT_NE(json["id3v1"]["result"], 0);
    EXPECT_EQ(json["id3v2"]["title"], "Two");

    ASSERT_EQ(zubmp3("tag-v1 " + q(file) + " --title One").status, 0);
    r = zubmp3("untag " + q(file));  // both
    EXPECT_EQ(r.status, 0) << r.err;
    json = tags(file);
    EXPECT_NE(json["id3v1"]["result"], 0);
    EXPECT_NE(json["id3v2"]["result"], 0);
    EXPECT_EQ(fs::file_size(file), untagged_size);

    r = zubmp3("untag " + q(file));  // nothing left to remove
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(file.string() + ": no ID3v1 tag to remove"), std::string::npos) << r.err;
    r = zubmp3("untag missing.mp3");
    EXPECT_EQ(r.status, 1);
}

TEST_F(Tags, SeveralFilesWithJsonLines) {
    ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
    const fs::path a = mp3("a.mp3"), b = mp3("b.mp3");
    // A file that fails does not stop the others; the status says one failed.
    Outcome r = zubmp3("tag-v2 a.mp3 missing.mp3 b.mp3 --album 'One album' --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zubmp3: missing.mp3: not found\n");
    auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    EXPECT_EQ(nlohmann::json::parse(out[0])["id3v2"]["result"], 0);
    EXPECT_TRUE(nlohmann::json::parse(out[0])["error"].is_null());
    EXPECT_EQ(nlohmann::json::parse(out[1])["file"], "missing.mp3");
    EXPECT_EQ(nlohmann::json::parse(out[2])["file"], "b.mp3");
    const auto other = run_command("/usr/bin/python3 -c 'import sys, mutagen.id3 as m; "
                                   "print(*(m.ID3(f)[\"TALB\"] for f in sys.argv[1:]))' " + q(a) + " " + q(b));
    EXPECT_EQ(other.output, "One album One album\n");

    ASSERT_EQ(zubmp3("tag-v1 a.mp3 b.mp3 --title V1").status, 0);
    r = zubmp3("tags --v1 --json a.mp3 b.mp3");
    EXPECT_EQ(r.status, 0) << r.err;
    out = lines(r.out);
    ASSERT_EQ(out.size(), 2u) << r.out;
    for (const auto& line : out) {
        const auto json = nlohmann::json::parse(line);
        EXPECT_EQ(json["id3v1"]["title"], "V1");
        EXPECT_FALSE(json.contains("id3v2")) << line;
    }
    r = zubmp3("tags --v2 a.mp3 b.mp3");  // a table per file, headed by its path
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("a.mp3:\nID3v2\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nb.mp3:\nID3v2\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ID3v1"), std::string::npos) << r.out;

    r = zubmp3("untag --v2 --json a.mp3 b.mp3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(lines(r.out).at(1))["id3v2"]["result"], 0);
    r = zubmp3("untag --v2 --json a.mp3");  // nothing to remove: an answer, not an error
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["id3v2"]["result"], 2);
}

TEST_F(Tags, FieldValuesAreChecked) {
    const fs::path file = mp3("song.mp3");
    const auto before = read_file(file);
    for (const char* args : {"tag-v1 song.mp3 --year 99", "tag-v2 song.mp3 --year 2024-05", "tag-v2 song.mp3 --track A1",
                             "tag-v2 song.mp3 --track 3/", "tag-v1 song.mp3 --track 256/300"}) {
        const Outcome r = zubmp3(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("Run 'zubmp3 tag-v"), std::string::npos) << args << r.err;
    }
    EXPECT_EQ(read_file(file), before);

    ASSERT_EQ(zubmp3("tag-v1 song.mp3 --track 7/12 --year 1999").status, 0);
    ASSERT_EQ(zubmp3("tag-v2 song.mp3 --track 7/12 --genre 17 --year 1999").status, 0);
    auto json = tags(file);
    EXPECT_EQ(json["id3v1"]["track"], 7);
    EXPECT_EQ(json["id3v2"]["track"], "7/12");
    EXPECT_EQ(json["id3v2"]["genre"], "Rock");  // a number of the list becomes its name
    ASSERT_EQ(zubmp3("tag-v2 song.mp3 --year ''").status, 0);  // an empty value empties the field
    EXPECT_EQ(tags(file)["id3v2"]["year"], "");
}

TEST_F(Tags, FilesWithoutMpegAudioAreNotTaggedUnlessForced) {
    const fs::path input = wav("song.wav", 1);
    const auto before = read_file(input);
    for (const char* command : {"tag-v1", "tag-v2"}) {
        const Outcome r = zubmp3(std::string(command) + " song.wav --title T");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err, "zubmp3: song.wav: not an MP3 file (no MPEG audio frame after its tags); "
                         "--force writes the tag anyway\n");
    }
    EXPECT_EQ(read_file(input), before);
    ASSERT_EQ(zubmp3("tag-v2 song.wav --title T --force").status, 0);
    EXPECT_EQ(tags(input)["id3v2"]["title"], "T");
}

// ---- genres, about ----

TEST_F(App, GenresListNumberAndName) {
    const Outcome r = zubmp3("genres");
    EXPECT_EQ(r.status, 0);
    const auto list = lines(r.out);
    ASSERT_EQ(list.size(), 149u);
    EXPECT_EQ(list[0], "0 Blues");
    EXPECT_EQ(list[17], "17 Rock");
    EXPECT_EQ(list[148], "148  ");

    const auto json = nlohmann::json::parse(zubmp3("genres --json").out);
    ASSERT_EQ(json.size(), 148u);  // the blank entry for "no genre" is not a genre
    EXPECT_EQ(json[17], (nlohmann::json{{"number", 17}, {"name", "Rock"}}));
}

TEST_F(App, AboutShowsTheControlName) {
    const std::string name = zubmp3("--version").out;
    const Outcome r = zubmp3("about");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE((r.out + r.err).find(name.substr(0, name.size() - 1)), std::string::npos) << r.out << r.err;
}

// ---- automation errors ----

TEST_F(App, MissingLibrariesAreAutomationErrorsThatNameTheFileAndFolder) {
    // The application and the control alone, as a copied tree, then with the engine.
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "lib");
    fs::copy_file(kZubmp3, dir / "bin" / "zubmp3");
    fs::copy_file(std::string(ZUBMP3_BUILD_LIB_DIR) + "/libzubmp3ctl.so", dir / "lib" / ZUBMP3_CONTROL_SONAME);
    const std::string lib = fs::canonical(dir / "lib").string();
    wav("in.wav");
    Outcome r = run("bin/zubmp3 encode in.wav out.mp3");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("zubmp3: automation error 5007: Error loading a required dll , "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nzubmp3: libzubmp3enc2.so not found in " + lib + "\n"), std::string::npos) << r.err;

    fs::copy_file(std::string(ZUBMP3_BUILD_LIB_DIR) + "/libzubmp3enc2.so", dir / "lib" / "libzubmp3enc2.so");
    r = run("bin/zubmp3 encode in.wav out.mp3");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("zubmp3: automation error 5008: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\nzubmp3: libzubmp3enc1.so not found in " + lib + "\n"), std::string::npos) << r.err;
}

// ---- demo and README ----

TEST_F(App, DemoGeneratorWritesMusicLikeWav) {
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    const Outcome r = run(shell_quote(kBin + "/zubmp3-demo-wav") + " demo.wav --seconds 3");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto probe = run_command("ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration "
                                   "-of csv=p=0 " + q(dir / "demo.wav"));
    EXPECT_EQ(probe.output, "pcm_s16le,44100,2\n3.000000\n");
    const auto bytes = read_file(dir / "demo.wav");
    // Not silence, and not a single steady tone: the two channels differ.
    bool differ = false;
    for (size_t i = 44; i + 3 < bytes.size() && !differ; i += 4) differ = bytes[i] != bytes[i + 2];
    EXPECT_TRUE(differ);
}

TEST_F(App, ReadmeExampleIsTheBuiltOneAndWorks) {
    const std::string example = slurp(std::string(ZUBMP3_SOURCE_DIR) + "/app/examples/encode_example.cpp");
    const std::string readme = slurp(std::string(ZUBMP3_SOURCE_DIR) + "/README.md");
    ASSERT_FALSE(example.empty());
    EXPECT_NE(readme.find(example), std::string::npos) << "README.md must hold app/examples/encode_example.cpp verbatim";
    const std::string build = slurp(std::string(ZUBMP3_SOURCE_DIR) + "/app/examples/CMakeLists.txt");
    EXPECT_NE(readme.find("```cmake\n" + build + "```"), std::string::npos)
        << "README.md must hold app/examples/CMakeLists.txt verbatim";

    const fs::path input = wav("in.wav", 1);
    const Outcome r = run(shell_quote(kBin + "/zubmp3-example") + " " + q(input) + " " + q(dir / "out.mp3"));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(tags(dir / "out.mp3")["id3v2"]["genre"], "Electronic");
}

}  // namespace
