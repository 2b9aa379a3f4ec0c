// ID3v2 reading: versions, encodings, unsynchronisation, the store and its
// words, and damaged tags.
#include "id3/id3v2_fields.h"
#include "id3/id3v2_reader.h"
#include "tag_fixture.h"

namespace tag_testing {
namespace {

class Id3v2Read : public TagTest {
protected:
    int32_t read_tag(const Bytes& tag_bytes) {
        Bytes file = tag_bytes;
        append(file, audio(400));
        write("a.mp3", file);
        return call_text("getid3v2", win("a.mp3"));
    }
    // Size word and getter word of one field, as the control asks them.
    std::string field(const std::string& name) {
        const int32_t size = call(("v2" + name + "size").c_str());
        const std::string text = get_text(("v2" + name).c_str());
        EXPECT_GE(size, static_cast<int32_t>(text.size())) << name;
        return text;
    }
};

std::string extract(const Bytes& content, int kind) {
    char* text = engine::extract_frame_value(content.data(), content.size(), kind);
    std::string out = text;
    engine::tag_free(text);
    return out;
}

TEST(ExtractFrameValue, ThreeKinds) {
    EXPECT_EQ(extract({0}, 1), "");
    EXPECT_EQ(extract({0, 'a', 'b', 0, 'c'}, 1), "ab");
    EXPECT_EQ(extract({0, 'a', 'b'}, 1), "ab");
    EXPECT_EQ(extract({0, 0, 'h', 't', 't', 'p'}, 2), "http");
    EXPECT_EQ(extract({0, 'd', 0, 'u'}, 2), "u");
    EXPECT_EQ(extract({0, 'd', 'e', 's', 'c'}, 2), "");  // description never ends
    EXPECT_EQ(extract({0, 0}, 2), "");
    EXPECT_EQ(extract({0, 'e', 'n', 'g', 0, 'h', 'i'}, 5), "hi");
    EXPECT_EQ(extract({0, 'e', 'n', 'g', 'd', 0, 'h', 'i'}, 5), "hi");
    EXPECT_EQ(extract({0, 'e', 'n', 'g', 0}, 5), "");  // exactly five bytes
    EXPECT_EQ(extract({0, 'e', 'n', 'g', 'd', 'd', 'd'}, 5), "");
}

TEST_F(Id3v2Read, Version23AllTwelveFields) {
    Bytes body;
    append(body, frame("TCOM", latin1_text("Composer")));
    append(body, frame("TOPE", latin1_text("Orig")));
    append(body, frame("TCOP", latin1_text("(c) 2001")));
    append(body, frame("WXXX", bytes({0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'x'})));
    append(body, frame("TENC", latin1_text("Enc")));
    append(body, frame("COMM", bytes({0, 'e', 'n', 'g', 0, 'N', 'i', 'c', 'e'})));
    append(body, frame("TCON", latin1_text("(17)")));
    append(body, frame("TYER", latin1_text("2001")));
    append(body, frame("TALB", latin1_text("Album")));
    append(body, frame("TPE1", latin1_text("Artist")));
    append(body, frame("TIT2", latin1_text("Caf\xe9")));
    append(body, frame("TRCK", latin1_text("3/12")));
    ASSERT_EQ(read_tag(tag(3, 0, body, 100)), 0);
    EXPECT_EQ(field("Composer"), "Composer");
    EXPECT_EQ(field("OriginalArtist"), "Orig");
    EXPECT_EQ(field("Copyright"), "(c) 2001");
    EXPECT_EQ(field("URL"), "http://x");
    EXPECT_EQ(field("EncodedBy"), "Enc");
    EXPECT_EQ(field("Comment"), "Nice");
    EXPECT_EQ(field("Genre"), "Rock");
    EXPECT_EQ(field("Year"), "2001");
    EXPECT_EQ(field("Album"), "Album");
    EXPECT_EQ(field("Artist"), "Artist");
    EXPECT_EQ(field("Title"), "Caf\xe9");
    EXPECT_EQ(field("Track"), "3/12");
}

TEST_F(Id3v2Read, UnsetFieldsAreEmptyWithSizeZero) {
    call_text("wv2Album", "staged earlier");
    ASSERT_EQ(read_tag(tag(3, 0, frame("TIT2", latin1_text("Only")), 10)), 0);
    EXPECT_EQ(call("v2Albumsize"), 0);
    EXPECT_EQ(get_text("v2Album"), "");  // the earlier text was given back
    EXPECT_EQ(call("v2Album", reinterpret_cast<intptr_t>(static_cast<char*>(nullptr))), 0);
    EXPECT_EQ(field("Title"), "Only");
}

TEST_F(Id3v2Read, TextEncodings) {
    // é (U+00E9) fits Latin-1; € (U+20AC) does not.
    Bytes body;
    append(body, frame("TIT2", bytes({1, 0xFF, 0xFE, 'L', 0, 0xE9, 0, 0xAC, 0x20, 0, 0})));     // UTF-16 LE BOM
    append(body, frame("TPE1", bytes({1, 0xFE, 0xFF, 0, 'B', 0, 0xE9})));                       // UTF-16 BE BOM
    append(body, frame("TALB", bytes({2, 0, 'X', 0x20, 0xAC}), 4));                             // UTF-16BE
    append(body, frame("TCOM", bytes({3, 'U', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}), 4));              // UTF-8
    append(body, frame("COMM", bytes({1, 'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'c', 0, 0xE9, 0}), 4));
    append(body, frame("TPE2", bytes({3, 'A', 0, 'B', 0}), 4));
    append(body, frame("TCON", bytes({3, '1', '7', 0, 'P', 'o', 'p'}), 4));  // two values
    ASSERT_EQ(read_tag(tag(4, 0, body)), 0);
    EXPECT_EQ(field("Title"), "L\xe9?");
    EXPECT_EQ(field("Artist"), "B\xe9");
    EXPECT_EQ(field("Album"), "X?");
    EXPECT_EQ(field("Composer"), "U\xe9?");
    EXPECT_EQ(field("Comment"), "c\xe9");
    EXPECT_EQ(field("Genre"), "17/Pop");
}

// A field frame of a hundred thousand strings (more than a frame of the
// 64000 bytes a write accepts can hold) is not split into them: it reads as
// empty, and the frames around it as they are.
TEST_F(Id3v2Read, FrameOfMoreStringsThanAWritableFrameReadsAsEmpty) {
    Bytes values{3};
    for (int i = 0; i < 100000; ++i) values.insert(values.end(), {'A', 0});
    Bytes body;
    append(body, frame("TIT2", latin1_text("Before"), 4));
    append(body, frame("TPE1", values, 4));
    append(body, frame("TALB", latin1_text("After"), 4));
    ASSERT_EQ(read_tag(tag(4, 0, body)), 0);
    EXPECT_EQ(field("Title"), "Before");
    EXPECT_EQ(field("Artist"), "");
    EXPECT_EQ(field("Album"), "After");
}

TEST_F(Id3v2Read, Version22IdentifiersMapToTheirFields) {
    Bytes body;
    append(body, frame22("TT2", latin1_text("Title22")));
    append(body, frame22("TP1", latin1_text("Artist22")));
    append(body, frame22("TAL", latin1_text("Album22")));
    append(body, frame22("TYE", latin1_text("1987")));
    append(body, frame22("TRK", latin1_text("4")));
    append(body, frame22("TCO", latin1_text("(8)")));
    append(body, frame22("COM", bytes({0, 'e', 'n', 'g', 0, 'c', '2', '2'})));
    append(body, frame22("WXX", bytes({0, 0, 'w', 'w', 'w'})));
    append(body, frame22("TEN", latin1_text("Enc22")));
    append(body, frame22("TCR", latin1_text("Cop22")));
    append(body, frame22("TOA", latin1_text("Ori22")));
    append(body, frame22("TCM", latin1_text("Com22")));
    ASSERT_EQ(read_tag(tag(2, 0, body, 20)), 0);
    EXPECT_EQ(field("Title"), "Title22");
    EXPECT_EQ(field("Artist"), "Artist22");
    EXPECT_EQ(field("Album"), "Album22");
    EXPECT_EQ(field("Year"), "1987");
    EXPECT_EQ(field("Track"), "4");
    EXPECT_EQ(field("Genre"), "Jazz");
    EXPECT_EQ(field("Comment"), "c22");
    EXPECT_EQ(field("URL"), "www");
    EXPECT_EQ(field("EncodedBy"), "Enc22");
    EXPECT_EQ(field("Copyright"), "Cop22");
    EXPECT_EQ(field("OriginalArtist"), "Ori22");
    EXPECT_EQ(field("Composer"), "Com22");
}

TEST_F(Id3v2Read, UnsynchronisationAndExtendedHeaders) {
    // 2.3, whole tag unsynchronised, with an extended header of 6 bytes.
    Bytes plain = bytes({0, 0, 0, 6, 0, 0, 0, 0, 0, 0});
    append(plain, frame("TIT2", bytes({0, 'a', 0xFF, 'b'})));
    Bytes unsynced;
    for (uint8_t b : plain) {
        unsynced.push_back(b);
        if (b == 0xFF) unsynced.push_back(0);
    }
    ASSERT_EQ(read_tag(tag(3, 0xC0, unsynced)), 0);
    EXPECT_EQ(field("Title"), "a\xff" "b");

    // 2.4: extended header of 6 bytes (size counted with itself), a frame
    // unsynchronised on its own with a data length indicator.
    Bytes body = bytes({0, 0, 0, 6, 1, 0});
    append(body, frame("TALB", bytes({0, 0, 0, 4, 0, 'x', 0xFF, 0, 'y'}), 4, 0, 0x03));
    append(body, frame("TDRC", latin1_text("2004-05-06"), 4));
    ASSERT_EQ(read_tag(tag(4, 0x40, body)), 0);
    EXPECT_EQ(field("Album"), "x\xffy");
    EXPECT_EQ(field("Year"), "2004-05-06");
}

TEST_F(Id3v2Read, Results) {
    EXPECT_EQ(call_text("getid3v2", win("missing.mp3")), 1);
    write("plain.mp3", audio(100));
    EXPECT_EQ(call_text("getid3v2", win("plain.mp3")), 2);
    write("tiny.mp3", bytes("ID"));
    EXPECT_EQ(call_text("getid3v2", win("tiny.mp3")), 2);
    Bytes bad_version = tag(5, 0, frame("TIT2", latin1_text("x")));
    EXPECT_EQ(read_tag(bad_version), 3);
    Bytes bad_size = tag(3, 0, frame("TIT2", latin1_text("x")));
    bad_size[8] = 0x80;  // not synchsafe
    EXPECT_EQ(read_tag(bad_size), 3);
    Bytes truncated = tag(3, 0, frame("TIT2", latin1_text("x")), 1000);
    truncated.resize(30);
    write("cut.mp3", truncated);
    EXPECT_EQ(call_text("getid3v2", win("cut.mp3")), 3);  // the tag runs past the end of the file
    EXPECT_EQ(read_tag(tag(3, 0x40, bytes({0, 0, 0, 0x7F}))), 3);  // extended header past the tag
}

TEST_F(Id3v2Read, DamagedFramesEndTheWalkButKeepWhatWasRead) {
    Bytes body = frame("TIT2", latin1_text("first"));
    append(body, frame("TIT2", latin1_text("second")));  // a duplicate: the first wins
    Bytes hostile = frame("TALB", latin1_text("x"));
    hostile[4] = 0x7F;  // declares far more than the tag holds
    append(body, hostile);
    append(body, frame("TPE1", latin1_text("never reached")));
    ASSERT_EQ(read_tag(tag(3, 0, body)), 0);
    EXPECT_EQ(field("Title"), "first");
    EXPECT_EQ(field("Album"), "");
    EXPECT_EQ(field("Artist"), "");

    Bytes negative = frame("TIT2", latin1_text("y"));
    negative[4] = 0xFF;
    ASSERT_EQ(read_tag(tag(3, 0, negative)), 0);
    EXPECT_EQ(field("Title"), "");
    ASSERT_EQ(read_tag(tag(3, 0, frame("TIT2", bytes({7, 'z'})))), 0);  // unknown encoding
    EXPECT_EQ(field("Title"), "");
}

TEST(GenreFromTcon, References) {
    const std::pair<const char*, const char*> rows[] = {
        {"(17)", "Rock"},      {"17", "Rock"},         {"(17)Indie Rock", "Indie Rock"},
        {"Jazz", "Jazz"},      {"(RX)", "Remix"},      {"(CR)", "Cover"},
        {"((odd)", "(odd)"},   {"(200)", "(200)"},     {"148", "148"},
        {"(0)(13)", "Blues"},  {"", ""},               {"(abc)", "(abc)"},
    };
    for (const auto& [value, name] : rows) EXPECT_EQ(engine::genre_from_tcon(value), name) << value;
}

TEST_F(Id3v2Read, StagingTwiceAndCleanupGiveEveryBlockBack) {
    const int32_t before = engine::tag_alloc_count.load();
    call_text("wv2Title", "one");
    call_text("wv2Title", "two");
    EXPECT_EQ(get_text("v2Title"), "two");
    EXPECT_EQ(engine::tag_alloc_count.load(), before + 1);
    EXPECT_EQ(call("v2cleanup"), before);
    EXPECT_EQ(get_text("v2Title"), "");
}

}  // namespace
}  // namespace tag_testing
