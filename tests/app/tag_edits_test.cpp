// The tag options that encode shares with tag-v1 and tag-v2, parsed as CLI11
// parses them and written through the control into MP3 files that lame made.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>

#include "tag_commands.h"
#include "test_support.h"

using zubmp3::app::apply_tag_edits;
using zubmp3::app::TagChoice;
using zubmp3::app::TagEdits;
using namespace testing_support;

namespace {

// Parses `args` as a command with the tag options of encode (both tags).
TagEdits parse(std::vector<std::string> args, TagChoice offered = TagChoice::both) {
    CLI::App command{"test", "test"};
    TagEdits edits;
    zubmp3::app::add_tag_edit_options(command, edits, offered);
    std::reverse(args.begin(), args.end());
    command.parse(args);
    return edits;
}

TEST(TagEditOptions, FieldsAndChoice) {
    TagEdits edits = parse({"--title", "T", "--composer", "C", "--track", "3/12", "--year", ""});
    EXPECT_EQ(edits.tag, TagChoice::both);
    EXPECT_EQ(edits.values, (std::map<std::string, std::string>{
                                {"title", "T"}, {"composer", "C"}, {"track", "3/12"}, {"year", ""}}));
    EXPECT_EQ(parse({"--tag", "V2", "--album", "A"}).tag, TagChoice::v2);  // any letter case
    EXPECT_EQ(parse({"--title", "T"}, TagChoice::v1).tag, TagChoice::v1);
}

TEST(TagEditOptions, RefusedValuesAreUsageErrors) {
    const std::vector<std::vector<std::string>> refused = {
        {"--year", "99"},        {"--year", "20245"},      {"--year", "MMXX"},
        {"--track", "x"},        {"--track", "3/"},        {"--track", "-1"},
        {"--tag", "v3"},         {"--tag", "v1", "--composer", "C"},  // ID3v1 has no composer
        {"--track", "256"},      {"--tag", "v1", "--genre", "NoSuchGenre"},
        {"--genre", "256"},
    };
    for (const auto& args : refused) EXPECT_THROW(parse(args), CLI::ParseError) << args[0] << " " << args[1];
    EXPECT_NO_THROW(parse({"--tag", "v2", "--track", "256"}));  // only ID3v1 stops at 255
    EXPECT_NO_THROW(parse({"--genre", "NoSuchGenre"}));        // ID3v2 takes it (with a warning)
    EXPECT_THROW(parse({"--composer", "C"}, TagChoice::v1), CLI::ParseError);  // not offered by tag-v1
}

class ApplyTagEdits : public ::testing::Test {
protected:
    void SetUp() override {
        ZUBMP3_REQUIRE_TOOL("lame");
        ZUBMP3_REQUIRE_TOOL("/usr/bin/python3");
        write_wav(dir / "in.wav", WavSpec{});
        ASSERT_EQ(run_command("lame --quiet " + q(dir / "in.wav") + " " + q(mp3)).status, 0);
    }
    static std::string q(const fs::path& path) { return shell_quote(path.string()); }

    // The tags as mutagen reads them: ID3v1 and ID3v2 frames, "|"-separated.
    std::string mutagen(const std::string& v1_frames, const std::string& v2_frames) {
        const std::string script =
            "import sys, mutagen.id3 as m\n"
            "d = open(sys.argv[1], 'rb').read()\n"
            "v1 = m.ParseID3v1(d[-128:]) or {}\n"
            "try: v2 = m.ID3(sys.argv[1], load_v1=False)\n"
            "except m.ID3NoHeaderError: v2 = {}\n"
            "print('|'.join([str(v1.get(k, '-')) for k in sys.argv[2].split()] + "
            "[str(v2.get(k, '-')) for k in sys.argv[3].split()]))\n";
        return run_command("/usr/bin/python3 -c " + shell_quote(script) + " " + q(mp3) + " " + shell_quote(v1_frames) +
                           " " + shell_quote(v2_frames))
            .output;
    }

    TempDir dir;
    fs::path mp3 = dir / "out.mp3";
};

TEST_F(ApplyTagEdits, SharedFieldsGoToBothTagsAndTheRestToId3v2) {
    const TagEdits edits = parse({"--title", "Title", "--artist", "Artist", "--track", "3/12", "--genre", "17",
                                  "--year", "2024", "--composer", "Composer"});
    ASSERT_EQ(apply_tag_edits(mp3.string(), edits), 0);
    // mutagen gives the ID3v1 genre as its number and the year of either tag as TDRC.
    EXPECT_EQ(mutagen("TIT2 TPE1 TRCK TCON TDRC", "TIT2 TPE1 TRCK TCON TDRC TCOM"),
              "Title|Artist|3|17|2024|Title|Artist|3/12|Rock|2024|Composer\n");

    // Fields not given keep their values; --tag v1 leaves ID3v2 alone.
    ASSERT_EQ(apply_tag_edits(mp3.string(), parse({"--tag", "v1", "--title", "New", "--genre", "none"})), 0);
    EXPECT_EQ(mutagen("TIT2 TPE1 TCON", "TIT2 TCOM"), "New|Artist|-|Title|Composer\n");
}

TEST_F(ApplyTagEdits, AGenreOnlyId3v2TakesLeavesId3v1Alone) {
    ASSERT_EQ(apply_tag_edits(mp3.string(), parse({"--genre", "Chiptune"})), 0);
    EXPECT_EQ(mutagen("TCON", "TCON"), "-|Chiptune\n");
}

TEST_F(ApplyTagEdits, FilesThatAreNotMp3sAreRefusedUnlessForced) {
    const fs::path wav = dir / "in.wav";
    const Bytes before = read_file(wav);
    TagEdits edits = parse({"--title", "T"});
    EXPECT_EQ(apply_tag_edits(wav.string(), edits), 1);
    EXPECT_EQ(read_file(wav), before);
    EXPECT_EQ(apply_tag_edits((dir / "missing.mp3").string(), edits), 1);
    EXPECT_FALSE(fs::exists(dir / "missing.mp3"));
    edits.force = true;
    EXPECT_EQ(apply_tag_edits(wav.string(), edits), 0);
    EXPECT_NE(read_file(wav), before);
}

}  // namespace
