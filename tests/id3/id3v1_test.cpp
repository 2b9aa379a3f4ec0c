// ID3v1: the 128-byte record, its staging words, removal and the genre list.
#include <set>

#include "dispatch.h"
#include "tag_fixture.h"

namespace tag_testing {
namespace {

// A record from its fields; `tail` holds bytes 97..127.
Bytes record(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
             const Bytes& tail) {
    Bytes out = bytes("TAG");
    for (auto [text, width] : {std::pair{title, 30}, {artist, 30}, {album, 30}, {year, 4}}) {
        Bytes field(static_cast<size_t>(width), 0);
        std::copy(text.begin(), text.end(), field.begin());
        append(out, field);
    }
    append(out, tail);
    EXPECT_EQ(out.size(), 128u);
    return out;
}

Bytes comment_tail(const std::string& comment, size_t width, std::initializer_list<uint8_t> end) {
    Bytes out(width, 0);
    std::copy(comment.begin(), comment.end(), out.begin());
    for (const uint8_t b : end) out.push_back(b);
    return out;
}

class Id3v1 : public TagTest {
protected:
    void stage(int track, int genre) {
        call_text("wv1Title", "Title");
        call_text("wv1Artist", "Artist");
        call_text("wv1Album", "Album");
        call_text("wv1Year", "1999");
        call("wv1Track", track);
        call_text("wv1Comment", "A comment");
        call("wv1Genre", genre);
    }
    Bytes last_record(const std::string& name) {
        const Bytes all = read(name);
        return Bytes(all.end() - 128, all.end());
    }
};

TEST_F(Id3v1, AppendsTheExactRecordWithoutTrack) {
    write("a.mp3", audio(1000));
    stage(0, 17);
    ASSERT_EQ(call_text("setid3v1", win("a.mp3")), 0);
    ASSERT_EQ(read("a.mp3").size(), 1128u);
    EXPECT_EQ(last_record("a.mp3"), record("Title", "Artist", "Album", "1999", comment_tail("A comment", 30, {17})));
}

TEST_F(Id3v1, TrackGivesTheV11LayoutAndReplacesInPlace) {
    Bytes file = audio(1000);
    append(file, record("Old", "", "", "", comment_tail("", 30, {1})));
    write("a.mp3", file);
    stage(7, 13);
    ASSERT_EQ(call_text("setid3v1", win("a.mp3")), 0);
    ASSERT_EQ(read("a.mp3").size(), 1128u);
    EXPECT_EQ(last_record("a.mp3"), record("Title", "Artist", "Album", "1999", comment_tail("A comment", 28, {0, 7, 13})));
}

TEST_F(Id3v1, ReadsBothLayoutsAndClampsTheGenre) {
    struct Row {
        Bytes tail;
        std::string comment;
        int track;
        int genre;
    };
    const Row rows[] = {
        {comment_tail("twenty-eight characters long", 28, {0, 7, 255}), "twenty-eight characters long", 7, 148},
        {comment_tail("c", 28, {0, 0, 148}), "c", 0, 148},
        {comment_tail("thirty characters of comment!!", 30, {149}), "thirty characters of comment!!", 0, 148},
        {comment_tail("x", 30, {0}), "x", 0, 0},
    };
    for (const Row& row : rows) {
        write("a.mp3", record("T  ", "Ar", "Al", "2001", row.tail));
        ASSERT_EQ(call_text("getid3v1", win("a.mp3")), 0);  // a file that is only a tag
        EXPECT_EQ(get_text("v1Title"), "T  ");              // padding blanks are kept
        EXPECT_EQ(get_text("v1Artist"), "Ar");
        EXPECT_EQ(get_text("v1Album"), "Al");
        EXPECT_EQ(get_text("v1Year"), "2001");
        EXPECT_EQ(get_text("v1Comment"), row.comment);
        EXPECT_EQ(call("v1Track"), row.track);
        EXPECT_EQ(call("v1Genre"), row.genre);
    }
}

TEST_F(Id3v1, ShortFilesAndMissingTags) {
    write("short.mp3", Bytes(127, 'x'));
    EXPECT_EQ(call_text("getid3v1", win("short.mp3")), 3);
    EXPECT_EQ(call_text("setid3v1", win("short.mp3")), 3);
    EXPECT_EQ(call_text("removeid3v1", win("short.mp3")), 3);
    EXPECT_EQ(read("short.mp3").size(), 127u);
    EXPECT_EQ(call_text("getid3v1", win("missing.mp3")), 1);
    EXPECT_EQ(call_text("setid3v1", win("missing.mp3")), 1);
    EXPECT_EQ(call_text("removeid3v1", win("missing.mp3")), 1);

    call_text("wv1Title", "kept");
    write("plain.mp3", audio(300));
    EXPECT_EQ(call_text("getid3v1", win("plain.mp3")), 2);
    EXPECT_EQ(get_text("v1Title"), "kept");  // staging untouched by a failed read
    EXPECT_EQ(call_text("removeid3v1", win("plain.mp3")), 2);
    EXPECT_EQ(read("plain.mp3"), audio(300));
}

TEST_F(Id3v1, StagingLimits) {
    call_text("wv1Artist", "");
    call_text("wv1Album", "");
    call_text("wv1Title", std::string(40, 'T'));
    call_text("wv1Year", "20245");
    call("wv1Track", 0);
    call_text("wv1Comment", "123456789012345678901234567890");  // 30 with no track
    EXPECT_EQ(get_text("v1Title"), std::string(30, 'T'));
    EXPECT_EQ(get_text("v1Year"), "2024");
    EXPECT_EQ(get_text("v1Comment").size(), 30u);
    call_text("wv1Year", "99");
    call_text("wv1Title", "short");  // a shorter value leaves nothing of the longer one
    EXPECT_EQ(get_text("v1Title"), "short");

    call("wv1Track", 300);  // written as its low byte, 44
    call("wv1Genre", 256);  // written as 0
    write("a.mp3", audio(200));
    ASSERT_EQ(call_text("setid3v1", win("a.mp3")), 0);
    const Bytes tail = comment_tail("1234567890123456789012345678", 28, {0, 44, 0});
    EXPECT_EQ(last_record("a.mp3"), record("short", "", "", "99", tail)) << "28 comment bytes once a track is set";
    call("wv1Track", 5);
    call_text("wv1Comment", "123456789012345678901234567890");
    EXPECT_EQ(get_text("v1Comment").size(), 28u);
}

TEST_F(Id3v1, ReadOnlyFilesAreLeftAlone) {
    write("ro.mp3", audio(500));
    std::filesystem::permissions(host("ro.mp3"), std::filesystem::perms::owner_read);
    EXPECT_EQ(call_text("setid3v1", win("ro.mp3")), 4);
    EXPECT_EQ(call_text("removeid3v1", win("ro.mp3")), 4);
    EXPECT_EQ(read("ro.mp3"), audio(500));
}

TEST_F(Id3v1, RemoveTakesTheRecordOff) {
    Bytes file = audio(700);
    append(file, record("T", "A", "B", "2000", comment_tail("", 30, {3})));
    write("a.mp3", file);
    EXPECT_EQ(call_text("removeid3v1", win("a.mp3")), 0);
    EXPECT_EQ(read("a.mp3"), audio(700));
    write("only.mp3", record("T", "A", "B", "2000", comment_tail("", 30, {3})));
    EXPECT_EQ(call_text("removeid3v1", win("only.mp3")), 0);
    EXPECT_TRUE(read("only.mp3").empty());
}

// A record that cannot be appended whole (disk full) is taken off again.
TEST_F(Id3v1, FailedAppendLeavesTheFileAsItWas) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "needs root for a small tmpfs";
    testing_support::ScopedMount mount(host("full"), 4096, false);
    ASSERT_TRUE(mount.ok());
    const Bytes original = audio(4000);  // one page; 128 more bytes need a second
    testing_support::write_file(host("full/a.mp3"), original);
    stage(1, 1);
    EXPECT_EQ(call_text("setid3v1", win("full\\a.mp3")), 5);
    EXPECT_EQ(testing_support::read_file(host("full/a.mp3")), original);
}

TEST_F(Id3v1, GenreList) {
    EXPECT_EQ(get_text("generategenre", 0), "Blues");
    EXPECT_EQ(get_text("generategenre", 67), "Psychadelic");
    EXPECT_EQ(get_text("generategenre", 140), "Contemporary Christian");
    EXPECT_EQ(get_text("generategenre", 147), "Synthpop");
    EXPECT_EQ(get_text("generategenre", 148), " ");
    EXPECT_EQ(get_text("generategenre", 149), " ");  // outside the list: the unknown genre
    EXPECT_EQ(get_text("generategenre", -1), " ");
    EXPECT_EQ(call("generategenre", 0, 5), 0);
    size_t longest = 0;
    for (int i = 0; i < 149; ++i) longest = std::max(longest, get_text("generategenre", i).size());
    EXPECT_EQ(longest, 22u);
}

TEST(TagWords, AllFiftyNineAreDistinctAndReachable) {
    const auto table = engine::tag_commands();
    EXPECT_EQ(table.size(), 59u);
    std::set<std::string_view> words;
    for (const engine::Command& command : table) {
        EXPECT_TRUE(words.insert(command.word).second) << command.word;
        EXPECT_EQ(engine::find_command(command.word), command.handler) << command.word;
    }
    EXPECT_EQ(engine::find_command("getid3V1"), nullptr);
    // Words given no path name no file.
    EXPECT_EQ(interface1("getid3v1", 0, 0, 0), 1);
    EXPECT_EQ(interface1("setid3v1", 0, 0, 0), 1);
    EXPECT_EQ(interface1("removeid3v1", 0, 0, 0), 1);
    EXPECT_EQ(interface1("getid3v2", 0, 0, 0), 1);
    EXPECT_EQ(interface1("remove_id3v2_tag", 0, 0, 0), 4);
    EXPECT_EQ(interface1("v2cleanup", 0, 0, 0), engine::tag_alloc_count.load());
    EXPECT_EQ(engine::find_command("v2cleanup "), nullptr);
}

}  // namespace
}  // namespace tag_testing
