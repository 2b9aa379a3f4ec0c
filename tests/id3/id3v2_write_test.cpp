// ID3v2 writing and removal: the exact tag, frame order, the old tag's other
// frames, limits, attributes, and failures that must leave the file alone.
#include "id3/id3v2_writer.h"
#include "platform/win32.h"
#include "tag_fixture.h"

namespace tag_testing {
namespace {

namespace fs = std::filesystem;

const char* const kFixedOrder[] = {"TENC", "WXXX", "TCOP", "TOPE", "TCOM", "TCON",
                                   "TRCK", "COMM", "TYER", "TALB", "TPE1", "TIT2"};

// Identifiers of the frames of a written 2.3 tag, in order.
std::vector<std::string> frame_ids(const Bytes& file) {
    std::vector<std::string> ids;
    const size_t end = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
    size_t pos = 10;
    while (pos + 10 <= end && file[pos] != 0) {
        ids.emplace_back(file.begin() + pos, file.begin() + pos + 4);
        pos += 10 + ((file[pos + 4] << 24) | (file[pos + 5] << 16) | (file[pos + 6] << 8) | file[pos + 7]);
    }
    return ids;
}

bool contains(const Bytes& haystack, const Bytes& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

class Id3v2Write : public TagTest {
protected:
    void stage_all(const std::string& prefix) {
        for (const char* name : {"Track", "Title", "Artist", "Album", "Year", "Genre", "Comment", "EncodedBy", "URL",
                                 "Copyright", "OriginalArtist", "Composer"})
            call_text(("wv2" + std::string(name)).c_str(), prefix.empty() ? "" : prefix + name);
    }
    // Writes `name` with `tag_bytes` before the stand-in audio.
    Bytes make(const std::string& name, const Bytes& tag_bytes, size_t audio_size = 5000) {
        Bytes file = tag_bytes;
        append(file, audio(audio_size));
        write(name, file);
        return file;
    }
    bool temp_folder_empty() const { return fs::is_empty(host("tmp")); }
};

TEST_F(Id3v2Write, EmptyValuesGiveTheSmallestTag) {
    make("a.mp3", {});
    stage_all("");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const Bytes file = read("a.mp3");
    Bytes expected = bytes({'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x01, 0x13});  // size 147
    append(expected, frame("TENC", {0}, 3, 0x40, 0x00));
    append(expected, frame("WXXX", {0, 0}));
    for (const char* id : {"TCOP", "TOPE", "TCOM", "TCON", "TRCK"}) append(expected, frame(id, {0}));
    append(expected, frame("COMM", {0, 0, 0, 0, 0}));
    for (const char* id : {"TYER", "TALB", "TPE1", "TIT2"}) append(expected, frame(id, {0}));
    expected.insert(expected.end(), 10, 0);
    ASSERT_EQ(expected.size(), 157u);
    append(expected, audio());
    EXPECT_EQ(file, expected);
}

TEST_F(Id3v2Write, ValuesAndFixedOrder) {
    make("a.mp3", {});
    stage_all("");
    call_text("wv2Title", "Hello");
    call_text("wv2URL", "http://u");
    call_text("wv2Comment", "Note");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const Bytes file = read("a.mp3");
    EXPECT_EQ(frame_ids(file), std::vector<std::string>(std::begin(kFixedOrder), std::end(kFixedOrder)));
    EXPECT_TRUE(contains(file, bytes({'T', 'I', 'T', '2', 0, 0, 0, 6, 0, 0, 0, 'H', 'e', 'l', 'l', 'o'})));
    EXPECT_TRUE(contains(file, bytes({'W', 'X', 'X', 'X', 0, 0, 0, 10, 0, 0, 0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'u'})));
    EXPECT_TRUE(contains(file, bytes({'C', 'O', 'M', 'M', 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 'N', 'o', 't', 'e'})));
    EXPECT_TRUE(contains(file, bytes({'T', 'E', 'N', 'C', 0, 0, 0, 1, 0x40, 0x00})));
}

// The content of the first frame `id` of a written 2.3 tag (empty: none).
Bytes frame_content(const Bytes& file, const std::string& id) {
    const size_t end = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
    size_t pos = 10;
    while (pos + 10 <= end && file[pos] != 0) {
        const size_t size = (file[pos + 4] << 24) | (file[pos + 5] << 16) | (file[pos + 6] << 8) | file[pos + 7];
        if (std::string(file.begin() + pos, file.begin() + pos + 4) == id)
            return Bytes(file.begin() + pos + 10, file.begin() + pos + 10 + size);
        pos += 10 + size;
    }
    return {};
}

// Each field's staging word puts its value in the field's own frame, and the
// field's getter and size word give it back after a read.
TEST_F(Id3v2Write, EachFieldHasItsOwnFrameAndWords) {
    const std::pair<std::string, std::string> fields[] = {
        {"Track", "TRCK"}, {"Title", "TIT2"},          {"Artist", "TPE1"},         {"Album", "TALB"},
        {"Year", "TYER"},  {"Genre", "TCON"},          {"Comment", "COMM"},        {"EncodedBy", "TENC"},
        {"URL", "WXXX"},   {"Copyright", "TCOP"},      {"OriginalArtist", "TOPE"}, {"Composer", "TCOM"},
    };
    make("a.mp3", {});
    for (const auto& [name, id] : fields) call_text(("wv2" + name).c_str(), "value of " + name);
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    call("v2cleanup");
    const Bytes file = read("a.mp3");
    ASSERT_EQ(call_text("getid3v2", win("a.mp3")), 0);
    for (const auto& [name, id] : fields) {
        const std::string value = "value of " + name;
        const Bytes content = frame_content(file, id);
        EXPECT_TRUE(content.size() >= value.size() &&
                    std::equal(value.begin(), value.end(), content.end() - static_cast<ptrdiff_t>(value.size())))
            << name << " in " << id;
        EXPECT_EQ(get_text(("v2" + name).c_str()), value) << name;
        EXPECT_EQ(call(("v2" + name + "size").c_str()), static_cast<int32_t>(value.size())) << name;
    }
}

TEST_F(Id3v2Write, SizeFieldIsSynchsafe) {
    const Bytes tag_bytes = engine::render_id3v2_tag(Bytes(190, 'x'));  // S = 200
    EXPECT_EQ(Bytes(tag_bytes.begin() + 6, tag_bytes.begin() + 10), bytes({0x00, 0x00, 0x01, 0x48}));
    const Bytes big = engine::render_id3v2_tag(Bytes(300000, 'x'));  // S = 300010 = 0x493EA
    EXPECT_EQ(Bytes(big.begin() + 6, big.begin() + 10), bytes({0x00, 0x12, 0x27, 0x6A}));
}

TEST_F(Id3v2Write, OldOrderIsKeptDuplicatesDroppedOtherFramesCarried) {
    Bytes body = frame("TALB", latin1_text("old album"));
    append(body, frame("TIT2", latin1_text("old title")));
    append(body, frame("TIT2", latin1_text("duplicate")));
    const Bytes apic = frame("APIC", bytes({0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 3, 0, 0x89, 'P', 'N', 'G'}));
    const Bytes txxx = frame("TXXX", bytes({0, 'R', 'G', 0, '-', '6', ' ', 'd', 'B'}), 3, 0x00, 0x00);
    append(body, apic);
    append(body, txxx);
    append(body, frame("PRIV", bytes("gone"), 3, 0x80, 0x00));  // discard when the tag changes
    const Bytes old = make("a.mp3", tag(3, 0, body, 64));
    stage_all("new ");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const Bytes file = read("a.mp3");
    std::vector<std::string> expected{"TALB", "TIT2", "APIC", "TXXX"};
    for (const char* id : kFixedOrder)
        if (std::string(id) != "TALB" && std::string(id) != "TIT2") expected.push_back(id);
    EXPECT_EQ(frame_ids(file), expected);
    EXPECT_TRUE(contains(file, apic));
    EXPECT_TRUE(contains(file, txxx));
    EXPECT_TRUE(contains(file, latin1_text("new Album")));
    EXPECT_FALSE(contains(file, bytes("old title")));
    EXPECT_FALSE(contains(file, bytes("duplicate")));
    // The audio follows the new tag unchanged.
    EXPECT_TRUE(std::equal(file.end() - 5000, file.end(), old.end() - 5000));
}

TEST_F(Id3v2Write, Version24FramesBecomeVersion23Frames) {
    Bytes body = frame("TDRC", latin1_text("2004-01-02"), 4);
    append(body, frame("TIT2", latin1_text("t"), 4));
    append(body, frame("TXXX", bytes({3, 'k', 0, 0xC3, 0xA9}), 4));            // UTF-8, fits Latin-1
    append(body, frame("TPE2", bytes({3, 0xE2, 0x82, 0xAC}), 4));              // UTF-8, needs UTF-16
    append(body, frame("TSSE", bytes({0, 0, 0, 3, 0, 'a', 'b'}), 4, 0, 0x01)); // data length indicator
    make("a.mp3", tag(4, 0, body, 20));
    stage_all("");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const Bytes file = read("a.mp3");
    EXPECT_EQ(file[3], 3);
    const auto ids = frame_ids(file);
    ASSERT_GE(ids.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(ids.begin(), ids.begin() + 5),
              (std::vector<std::string>{"TYER", "TIT2", "TXXX", "TPE2", "TSSE"}));
    EXPECT_TRUE(contains(file, frame("TXXX", bytes({0, 'k', 0, 0xE9}))));
    EXPECT_TRUE(contains(file, frame("TPE2", bytes({1, 0xFF, 0xFE, 0xAC, 0x20}))));
    EXPECT_TRUE(contains(file, frame("TSSE", bytes({0, 'a', 'b'}))));
}

TEST_F(Id3v2Write, Version22TagIsReplaced) {
    Bytes body = frame22("TT2", latin1_text("old"));
    append(body, frame22("TP2", latin1_text("band")));
    make("a.mp3", tag(2, 0, body, 10));
    stage_all("x");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const auto ids = frame_ids(read("a.mp3"));
    ASSERT_GE(ids.size(), 2u);
    EXPECT_EQ(ids[0], "TIT2");
    EXPECT_EQ(ids[1], "TPE2");
    EXPECT_EQ(ids.size(), 13u);
}

TEST_F(Id3v2Write, FrameAboveTheLimitIsRefused) {
    Bytes body = frame("TIT2", latin1_text("t"));
    append(body, frame("APIC", Bytes(64001, 1)));
    const Bytes old = make("a.mp3", tag(3, 0, body), 70000);
    stage_all("new");
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 8);
    EXPECT_EQ(read("a.mp3"), old);

    Bytes at_limit = frame("APIC", Bytes(64000, 1));
    make("b.mp3", tag(3, 0, at_limit), 70000);
    EXPECT_EQ(call_text("setid3v2", win("b.mp3")), 0);
    EXPECT_TRUE(contains(read("b.mp3"), at_limit));
}

// A frame whose size runs past the tag hides the frames after it: the write
// is refused rather than drop them.
TEST_F(Id3v2Write, ImplausibleSizeRefusesTheWrite) {
    Bytes body = frame("TPE2", latin1_text("kept"));
    Bytes bad = frame("TXXX", latin1_text("x"));
    bad[5] = 0x10;  // about a megabyte, more than the file holds
    append(body, bad);
    append(body, frame("TPE3", latin1_text("after")));
    const Bytes old = make("a.mp3", tag(3, 0, body, 10), 3000);
    stage_all("");
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 3);
    EXPECT_EQ(read("a.mp3"), old);
}

TEST_F(Id3v2Write, Id3v1RecordStaysAtTheEndAndAudioIsUnchanged) {
    Bytes rest = audio(2000);
    append(rest, bytes("TAG"));
    rest.resize(2128, 'v');
    write("a.mp3", rest);
    stage_all("v");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    Bytes file = read("a.mp3");
    EXPECT_TRUE(std::equal(file.end() - 2128, file.end(), rest.begin()));
    // Writing again replaces the tag; the rest stays the same.
    call_text("wv2Title", "again");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    file = read("a.mp3");
    EXPECT_TRUE(std::equal(file.end() - 2128, file.end(), rest.begin()));
    // Header and padding, twelve frame headers, the encoding and description
    // bytes, 92 value bytes of which "again" takes one less than "vTitle".
    EXPECT_EQ(file.size(), 2128u + 20 + 12 * 10 + 17 + 92 - 1);
}

TEST_F(Id3v2Write, ReadOnlyAndHiddenFiles) {
    const Bytes old = make("ro.mp3", {});
    fs::permissions(host("ro.mp3"), fs::perms::owner_read | fs::perms::group_read);
    stage_all("");
    EXPECT_EQ(call_text("setid3v2", win("ro.mp3")), 1);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("ro.mp3")), 1);
    EXPECT_EQ(read("ro.mp3"), old);

    make(".hidden.mp3", {});
    fs::permissions(host(".hidden.mp3"), fs::perms(0640));
    ASSERT_EQ(call_text("setid3v2", win(".hidden.mp3")), 0);
    EXPECT_TRUE(GetFileAttributesA(win(".hidden.mp3").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(fs::status(host(".hidden.mp3")).permissions(), fs::perms(0640));
}

TEST_F(Id3v2Write, TemporaryFolder) {
    make("a.mp3", {});
    stage_all("");
    call_text("definetempfolder", win("no such folder"));
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 2);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("a.mp3")), 2);  // no tag comes first
    call_text("definetempfolder", std::string(400, 'C'));  // too long for the buffer
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 2);
    EXPECT_EQ(read("a.mp3"), [] { Bytes b; append(b, audio()); return b; }());
    call_text("definetempfolder", win("tmp") + "\\   ");  // trailing blanks and backslash
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    call_text("definetempfolder", "");  // none: beside the target
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);  // a.mp3 and tmp
}

TEST_F(Id3v2Write, RemoveTakesTheTagOff) {
    make("a.mp3", tag(3, 0, frame("TIT2", latin1_text("x")), 100));
    EXPECT_EQ(call_text("remove_id3v2_tag", win("a.mp3")), 0);
    EXPECT_EQ(read("a.mp3"), audio());
    EXPECT_EQ(call_text("remove_id3v2_tag", win("a.mp3")), 2);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("missing.mp3")), 4);

    Bytes with_footer = tag(4, 0x10, frame("TIT2", latin1_text("x"), 4));
    append(with_footer, bytes({'3', 'D', 'I', 4, 0, 0x10}));
    with_footer.insert(with_footer.end(), {0, 0, 0, 11});
    make("b.mp3", with_footer);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("b.mp3")), 0);
    EXPECT_EQ(read("b.mp3"), audio());

    Bytes cut = tag(3, 0, frame("TIT2", latin1_text("x")), 100000);
    cut.resize(200);
    write("c.mp3", cut);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("c.mp3")), 4);
    EXPECT_EQ(call_text("setid3v2", win("c.mp3")), 3);
    EXPECT_EQ(read("c.mp3"), cut);
}

// The final copy over the user's file fails (its disk is full): the file is
// unchanged and no temporary file is left anywhere.
TEST_F(Id3v2Write, FailedCopyLeavesTheFileUnchanged) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "needs root for a small tmpfs";
    testing_support::ScopedMount mount(host("full"), 8192, false);
    ASSERT_TRUE(mount.ok());
    Bytes old = tag(3, 0, frame("TIT2", latin1_text("old")), 10);
    append(old, audio(5000));  // two pages: no room for a copy beside it
    testing_support::write_file(host("full/a.mp3"), old);
    stage_all("new");
    EXPECT_EQ(call_text("setid3v2", win("full\\a.mp3")), 7);
    EXPECT_EQ(testing_support::read_file(host("full/a.mp3")), old);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("full\\a.mp3")), 5);
    EXPECT_EQ(testing_support::read_file(host("full/a.mp3")), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(host("full")), fs::directory_iterator()), 1);
}

// The temporary file cannot be written whole (its disk is full): the user's
// file is not replaced by a short copy.
TEST_F(Id3v2Write, IncompleteTemporaryFileIsNotCopied) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "needs root for a small tmpfs";
    testing_support::ScopedMount mount(host("small"), 4096, false);
    ASSERT_TRUE(mount.ok());
    const Bytes old = make("a.mp3", tag(3, 0, frame("TIT2", latin1_text("old")), 10), 9000);
    call_text("definetempfolder", win("small"));
    stage_all("new");
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 9);
    EXPECT_EQ(call_text("remove_id3v2_tag", win("a.mp3")), 6);
    EXPECT_EQ(read("a.mp3"), old);
    EXPECT_TRUE(fs::is_empty(host("small")));
}

}  // namespace
}  // namespace tag_testing
