// Tag round trips through the control with the real tag engine, checked
// against mutagen.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "probe_support.h"
#include "real_engine.h"

namespace {

using namespace real_engine;
using testing_support::shell_quote;
using zubmp3::Long;
using zubmp3::Text;
using zubmp3::ZUBEncode;

class TagsThroughTheControl : public ::testing::Test {
protected:
    void SetUp() override {
        ZUBMP3_REQUIRE_TAG_ENGINE();
        ZUBMP3_REQUIRE_TOOL("lame");
        ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
        testing_support::WavSpec spec;
        spec.seconds = 1.0;
        testing_support::write_wav(dir / "in.wav", spec);
        mp3 = dir / "song.mp3";
        const auto made = testing_support::run_command("lame --quiet -b 128 " + shell_quote((dir / "in.wav").string()) +
                                                       " " + shell_quote(mp3.string()));
        ASSERT_EQ(made.status, 0);
        file = windows(mp3);
    }

    // Runs a few lines of Python with mutagen on the MP3 file; returns its output.
    std::string mutagen(const std::string& body) {
        const std::string script = "import sys\nfrom mutagen.id3 import ID3, TIT2, TPE1\np = sys.argv[1]\n" + body;
        const auto result = testing_support::run_command("/usr/bin/python3 -c " + shell_quote(script) + " " +
                                                         shell_quote(mp3.string()));
        EXPECT_EQ(result.status, 0) << result.output;
        return result.output;
    }

    testing_support::TempDir dir;
    fs::path mp3;
    Text file;
    ZUBEncode control;
};

struct V1 {
    Long track = -1, genre = -1;
    Text title = u"-", artist = u"-", album = u"-", year = u"-", comment = u"-";
};

Long read_v1(ZUBEncode& control, const Text& file, V1& v) {
    return control.Read_ID3_v1_tag(file, v.track, v.title, v.artist, v.album, v.year, v.genre, v.comment);
}

TEST_F(TagsThroughTheControl, Id3v1RoundTripsWithAndWithoutATrack) {
    const Text long_comment = u"A comment of thirty characters";  // 30
    ASSERT_EQ(control.Write_ID3_v1_tag(file, 0, u"Caf\u00e9 \u20ac", u"Artist", u"Album", u"2024", 17, long_comment), 0);
    V1 plain;
    ASSERT_EQ(read_v1(control, file, plain), 0);
    EXPECT_EQ(plain.title, u"Caf\u00e9 ?");  // Latin-1 kept, the rest becomes '?'
    EXPECT_EQ(plain.artist, u"Artist");
    EXPECT_EQ(plain.year, u"2024");
    EXPECT_EQ(plain.comment, long_comment);
    EXPECT_EQ(plain.track, 0);
    EXPECT_EQ(plain.genre, 17);
    EXPECT_EQ(mutagen("t = ID3(p); print(t['TIT2'].text[0]); print(t['TCON'].text[0])"), "Caf\u00e9 ?\nRock\n");

    ASSERT_EQ(control.Write_ID3_v1_tag(file, 9, u"T", u"A", u"B", u"1999", 0, long_comment), 0);
    V1 with_track;
    ASSERT_EQ(read_v1(control, file, with_track), 0);
    EXPECT_EQ(with_track.track, 9);
    EXPECT_EQ(with_track.comment, long_comment.substr(0, 28));
    EXPECT_EQ(mutagen("t = ID3(p); print(t['TRCK'].text[0])"), "9\n");

    ASSERT_EQ(control.Remove_ID3V1_tag(file), 0);
    V1 gone;
    EXPECT_EQ(read_v1(control, file, gone), 2);
    EXPECT_EQ(gone.title, u"-");  // outputs as passed
    EXPECT_EQ(gone.track, -1);
}

TEST_F(TagsThroughTheControl, Id3v2RoundTripsAllTwelveFields) {
    ASSERT_EQ(control.Write_ID3_v2_tag(file, u"3/12", u"Titl\u00e9", u"Artist", u"Album", u"2023", u"Jazz",
                                       u"Comment \u20ac", u"EncodedBy", u"https://example.org/a", u"(c) us",
                                       u"Original", u"Composer"),
              0);
    Text f[12] = {u"-", u"-", u"-", u"-", u"-", u"-", u"-", u"-", u"-", u"-", u"-", u"-"};
    ASSERT_EQ(control.Read_ID3_v2_tag(file, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]),
              0);
    const char* expected[12] = {"3/12", "Titl\u00e9", "Artist", "Album", "2023", "Jazz", "Comment ?",
                                "EncodedBy", "https://example.org/a", "(c) us", "Original", "Composer"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(utf8(f[i]), expected[i]) << i;

    EXPECT_EQ(mutagen("t = ID3(p)\nfor k in ['TRCK','TIT2','TPE1','TALB','TCOP','TOPE','TCOM','TENC']: print(t[k].text[0])\n"
                      "print(t.getall('WXXX')[0].url); print(t.getall('COMM')[0].text[0])"),
              "3/12\nTitl\u00e9\nArtist\nAlbum\n(c) us\nOriginal\nComposer\nEncodedBy\n"
              "https://example.org/a\nComment ?\n");

    // Audio intact: the file still decodes.
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    EXPECT_EQ(testing_support::run_command("ffprobe -v error " + shell_quote(mp3.string())).status, 0);

    ASSERT_EQ(control.Remove_ID3V2_tag(file), 0);
    Text after[12] = {u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j", u"k", u"l"};
    EXPECT_NE(control.Read_ID3_v2_tag(file, after[0], after[1], after[2], after[3], after[4], after[5], after[6],
                                      after[7], after[8], after[9], after[10], after[11]),
              0);
    EXPECT_EQ(after[0] + after[11], u"al");  // outputs as passed
}

TEST_F(TagsThroughTheControl, TagsWrittenByMutagenAreRead) {
    mutagen("t = ID3()\nt.add(TIT2(encoding=0, text='Fr\u00e8re'))\n"
            "t.add(TPE1(encoding=0, text='Band'))\nt.save(p, v2_version=3)\n");
    Text f[12];
    ASSERT_EQ(control.Read_ID3_v2_tag(file, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9], f[10], f[11]),
              0);
    EXPECT_EQ(utf8(f[1]), "Fr\u00e8re");
    EXPECT_EQ(utf8(f[2]), "Band");
    EXPECT_EQ(f[0], u"");  // no text in the tag: empty, whatever was passed
}

TEST_F(TagsThroughTheControl, GenreListHasOneClearAndTheNamesInNumberOrder) {
    Recorder events;
    control.set_events(&events);
    control.Generate_ID3v1Genre();
    ASSERT_EQ(events.genres.size(), 150u);
    EXPECT_EQ(events.genres.front(), (std::pair<bool, std::string>{true, ""}));
    EXPECT_EQ(events.genres[1], (std::pair<bool, std::string>{false, "Blues"}));
    EXPECT_EQ(events.genres.back(), (std::pair<bool, std::string>{false, " "}));
}

TEST_F(TagsThroughTheControl, ReadOnlyFilesAreRefusedAndLeftAlone) {
    fs::permissions(mp3, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const auto before = testing_support::read_file(mp3);
    EXPECT_EQ(control.Write_ID3_v1_tag(file, 1, u"T", u"A", u"B", u"2000", 1, u"C"), 4);
    const Text e;
    EXPECT_EQ(control.Write_ID3_v2_tag(file, e, u"T", e, e, e, e, e, e, e, e, e, e), 1);
    EXPECT_EQ(testing_support::read_file(mp3), before);
}

// The new file of an ID3v2 write or removal is built beside the file: a
// control installed in a read-only place writes and removes ID3v2 tags.
TEST_F(TagsThroughTheControl, AControlFolderThatIsNotWritableStillWritesV2Tags) {
    testing_support::ScopedMount mount(dir / "control", 16 << 20, false);
    if (!mount.ok()) GTEST_SKIP() << "mounting needs root";
    probe_support::make_control_folder(dir / "control");
    probe_support::add_library(dir / "control", kLibDir / "libzubmp3enc2.so", "libzubmp3enc2.so");
    probe_support::add_library(dir / "control", kLibDir / "libzubmp3enc1.so", "libzubmp3enc1.so");
    mount.remount(true);
    const auto before = testing_support::read_file(mp3);
    EXPECT_EQ(probe_support::run_probe(dir / "control", "write_v2 " + shell_quote(platform::to_windows_path(mp3.string())) + " T"),
              "0\n");
    EXPECT_NE(testing_support::read_file(mp3), before);
}

// Controls on several threads, each with its own file: the engine's tag
// staging is one per process, so every conversation must hold together.
// Each thread writes its own texts and reads them back; a read that finds
// another thread's text, a failed call or a crash fails the test.
int wrong_round_trips(const fs::path& folder, int threads, int rounds) {
    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const fs::path mp3 = folder / ("song" + std::to_string(t) + ".mp3");
            const Text file = windows(mp3);
            ZUBEncode control;
            for (int round = 0; round < rounds; ++round) {
                const Text title = platform::utf8_to_utf16("thread " + std::to_string(t) + " round " +
                                                           std::to_string(round));
                const Text e;
                if (control.Write_ID3_v2_tag(file, e, title, e, e, e, e, e, e, e, e, e, e) != 0) ++wrong;
                if (control.Write_ID3_v1_tag(file, t, title, e, e, e, 0, e) != 0) ++wrong;
                for (int read = 0; read < 2; ++read) {  // reads alone, too
                    Text f[12];
                    if (control.Read_ID3_v2_tag(file, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8], f[9],
                                                f[10], f[11]) != 0 || f[1] != title)
                        ++wrong;
                    V1 v;
                    if (read_v1(control, file, v) != 0 || v.title != title.substr(0, 30) || v.track != t) ++wrong;
                }
            }
        });
    }
    for (std::thread& worker : workers) worker.join();
    return wrong;
}

TEST_F(TagsThroughTheControl, ConversationsOnSeveralThreadsDoNotMix) {
    for (int t = 0; t < 4; ++t) fs::copy_file(mp3, dir / ("song" + std::to_string(t) + ".mp3"));
    EXPECT_EQ(wrong_round_trips(dir.path(), 2, 60), 0);
    EXPECT_EQ(wrong_round_trips(dir.path(), 4, 30), 0);
}

}  // namespace
