// What an ID3v2 write carries over: every frame of the old tag other than the
// twelve fields, in ID3v2.3 form, or the write is refused and the file left as
// it was. Each write is checked with mutagen (every old frame present and
// equal) and the audio byte for byte. Also: no word lets an exception out, and
// the size words answer what the getters copy.
#include <nlohmann/json.hpp>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <map>
#include <set>

#include "tag_fixture.h"

namespace tag_testing {
namespace {

using nlohmann::json;
using testing_support::run_command;
using testing_support::shell_quote;
using namespace std::string_literals;

const char* const kFieldNames[] = {"Composer", "OriginalArtist", "Copyright", "URL", "EncodedBy", "Comment",
                                   "Genre",    "Year",           "Album",     "Artist", "Title",   "Track"};

// A frame of an ID3v2.3 tag as it is stored.
struct StoredFrame {
    std::string id;
    std::array<uint8_t, 2> flags;
    Bytes content;
    bool operator==(const StoredFrame&) const = default;
};

uint32_t synchsafe_at(const Bytes& b, size_t at) {
    return (b[at] << 21) | (b[at + 1] << 14) | (b[at + 2] << 7) | b[at + 3];
}

// The frames of the ID3v2.3 tag at the start of `file`.
std::vector<StoredFrame> stored_frames(const Bytes& file) {
    std::vector<StoredFrame> frames;
    if (file.size() < 10 || file[3] != 3) return frames;
    const size_t end = 10 + synchsafe_at(file, 6);
    for (size_t pos = 10; pos + 10 <= end && file[pos] != 0;) {
        const size_t size = (file[pos + 4] << 24) | (file[pos + 5] << 16) | (file[pos + 6] << 8) | file[pos + 7];
        if (pos + 10 + size > end) {
            ADD_FAILURE() << "frame past the end of the tag";
            break;
        }
        const auto at = file.begin() + static_cast<std::ptrdiff_t>(pos);
        frames.push_back({std::string(at, at + 4), {file[pos + 8], file[pos + 9]}, Bytes(at + 10, at + 10 + size)});
        pos += 10 + size;
    }
    return frames;
}

StoredFrame frame_of(const std::string& id, const Bytes& content, std::array<uint8_t, 2> flags = {0, 0}) {
    return {id, flags, content};
}

const StoredFrame* find_frame(const std::vector<StoredFrame>& frames, const std::string& id, size_t nth = 0) {
    for (const StoredFrame& frame : frames)
        if (frame.id == id && nth-- == 0) return &frame;
    return nullptr;
}

// The file after its ID3v2 tag.
Bytes after_tag(const Bytes& file) {
    if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return file;
    size_t size = 10 + synchsafe_at(file, 6);
    if (file[3] == 4 && (file[5] & 0x10)) size += 10;
    return Bytes(file.begin() + static_cast<std::ptrdiff_t>(std::min(size, file.size())), file.end());
}

// `data` as a zlib stream of one stored deflate block: what a compressed
// frame holds, without needing a compressor.
Bytes zlib_stored(const Bytes& data) {
    const auto n = static_cast<uint16_t>(data.size());
    Bytes out{0x78, 0x01, 0x01, static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),  // header, final stored block
              static_cast<uint8_t>(~n), static_cast<uint8_t>(~n >> 8)};                  // length and its complement
    append(out, data);
    uint32_t a = 1, b = 0;
    for (uint8_t c : data) a = (a + c) % 65521, b = (b + a) % 65521;
    put_u32_be(out, (b << 16) | a);  // Adler-32
    return out;
}

Bytes text_frame_content(uint8_t encoding, const std::string& text) {
    Bytes out{encoding};
    append(out, text);
    return out;
}

class FramesKept : public TagTest {
protected:
    // A file of `tag_bytes` and stand-in audio.
    Bytes make(const std::string& name, const Bytes& tag_bytes) {
        Bytes file = tag_bytes;
        append(file, audio());
        write(name, file);
        return file;
    }
    // One field through its size word into a buffer of exactly that size plus
    // its terminator (a getter copying more overruns it).
    std::string field(const std::string& name) {
        const int32_t size = call(("v2" + name + "size").c_str());
        std::vector<char> buffer(static_cast<size_t>(size) + 1, 'x');
        call(("v2" + name).c_str(), reinterpret_cast<intptr_t>(buffer.data()));
        return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
    }
    // The twelve fields as the control reads them.
    std::map<std::string, std::string> read_fields(const std::string& name) {
        std::map<std::string, std::string> fields;
        EXPECT_EQ(call_text("getid3v2", win(name)), 0);
        for (const char* field_name : kFieldNames) fields[field_name] = field(field_name);
        call("v2cleanup");
        return fields;
    }
    // An application's edit: all twelve fields read, `changes` made, all
    // twelve written back.
    int32_t edit(const std::string& name, const std::map<std::string, std::string>& changes) {
        auto fields = read_fields(name);
        for (const auto& [field_name, value] : changes) fields[field_name] = value;
        for (const auto& [field_name, value] : fields) call_text(("wv2" + field_name).c_str(), value);
        const int32_t result = call_text("setid3v2", win(name));
        call("v2cleanup");
        return result;
    }

    json client(const std::string& arguments) {
        const auto result = run_command("/usr/bin/python3 " + shell_quote(ZUBMP3_TAG_CLIENTS) + " " + arguments + " 2>&1");
        EXPECT_EQ(result.status, 0) << result.output;
        return result.status == 0 ? json::parse(result.output, nullptr, false) : json();
    }
    json mutagen_frames(const std::string& name) { return client("frames-mutagen " + shell_quote(host(name))); }
    void mutagen_write(const std::string& name, int version, int encoding, const json& fields) {
        client("write-mutagen " + shell_quote(host(name)) + " " + std::to_string(version) + " " +
               std::to_string(encoding) + " " + shell_quote(fields.dump()));
    }
    // Every frame mutagen saw in `before` is in the file with the same
    // content, but for the keys in `changed` (a key ending in '*' names every
    // key it begins).
    void expect_kept(const json& before, const std::string& name, const std::set<std::string>& changed) {
        const json after = mutagen_frames(name);
        EXPECT_EQ(after["version"], "2.3.0");
        for (const auto& [key, value] : before["frames"].items()) {
            const bool skip = std::any_of(changed.begin(), changed.end(), [&](const std::string& c) {
                return c == key || (c.ends_with('*') && key.starts_with(c.substr(0, c.size() - 1)));
            });
            if (skip) continue;
            ASSERT_TRUE(after["frames"].contains(key)) << key << " lost; now " << after["frames"].dump();
            EXPECT_EQ(after["frames"][key], value) << key;
        }
    }
    void skip_without_mutagen() {
        if (run_command("/usr/bin/python3 -c 'import mutagen' 2>/dev/null").status == 0) return;
        if (testing_support::in_ci()) FAIL() << "python module missing in CI: mutagen";
        GTEST_SKIP() << "python module not installed: mutagen";
    }
};

// Old tags the writer cannot walk to their end: reading keeps what it can,
// a write is refused and leaves the file as it was.
TEST_F(FramesKept, DamagedOldTagIsNeverOverwritten) {
    Bytes junk_between = frame("TIT2", latin1_text("before"));
    append(junk_between, bytes("junk"));  // no frame identifier
    append(junk_between, frame("TXXX", bytes({0, 'k', 0, 'v'})));
    Bytes plain_size_nowhere = frame("TIT2", latin1_text("x"), 4);
    append(plain_size_nowhere, bytes({'T', 'P', 'E', '1', 0x00, 0x00, 0x80, 0x10, 0, 0, 0, 'a'}));  // neither reading fits
    const struct {
        const char* name;
        Bytes tag;
        int32_t read_result;
    } rows[] = {
        // the extended-header flag without an extended header
        {"no_extended_header", tag(3, 0x40, frame("TIT2", latin1_text("title"))), 3},
        {"v22_compressed", tag(2, 0x40, frame22("TT2", latin1_text("title"))), 3},
        {"junk_between_frames", tag(3, 0, junk_between, 20), 0},
        {"v24_size_fits_no_reading", tag(4, 0, plain_size_nowhere), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes old = make(row.name, row.tag);
        EXPECT_EQ(call_text("getid3v2", win(row.name)), row.read_result);
        call("v2cleanup");
        call_text("wv2Title", "new");
        EXPECT_EQ(call_text("setid3v2", win(row.name)), 3);
        EXPECT_EQ(read(row.name), old);
        call("v2cleanup");
    }
}

// Version 2.4 tags whose frame sizes are plain numbers, as one widespread
// player writes them: a synchsafe reading that ends nowhere gives way to the
// plain one.
TEST_F(FramesKept, Version24PlainFrameSizesAreReadAndCarried) {
    skip_without_mutagen();
    Bytes picture{0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 3, 0};
    picture.resize(38000, 0xA5);  // size 0x9470: not a synchsafe number
    Bytes user_text{3, 'k', 0};
    user_text.resize(256, 'v');  // size 0x100: synchsafe 128, inside the text
    Bytes body = frame("TIT2", latin1_text("Plain"), 3);  // plain sizes, as version 2.3 writes them
    append(body, frame("APIC", picture, 3));
    append(body, frame("TXXX", user_text, 3));
    append(body, frame("TPE1", text_frame_content(3, "\xc3\x84rtist"), 3));
    const Bytes old = make("a.mp3", tag(4, 0, body, 50));

    const auto fields = read_fields("a.mp3");
    EXPECT_EQ(fields.at("Title"), "Plain");
    EXPECT_EQ(fields.at("Artist"), "\xc4rtist");
    const json before = mutagen_frames("a.mp3");
    ASSERT_TRUE(before["frames"].contains("APIC:")) << before.dump();
    ASSERT_EQ(edit("a.mp3", {{"Title", "New"}}), 0);
    expect_kept(before, "a.mp3", {"TIT2"});
    EXPECT_EQ(after_tag(read("a.mp3")), audio());
}

// Players keep technical values in COMM frames with a description and shop
// links in WXXX frames with one: the fields are the frames without a
// description, and every other COMM and WXXX stays as it was.
TEST_F(FramesKept, EveryCommentAndUrlFrameIsKept) {
    skip_without_mutagen();
    auto comm = [](const std::string& language, const std::string& description, const std::string& text) {
        Bytes content{0};
        append(content, language);
        append(content, description);
        content.push_back(0);
        append(content, text);
        return frame("COMM", content);
    };
    Bytes body = comm("eng", "iTunNORM", " 0000021A 00000230");
    append(body, frame("WXXX", bytes({0, 's', 'h', 'o', 'p', 0, 'h', 't', 't', 'p', ':', '/', '/', 's'})));
    append(body, comm("eng", "", "First comment"));
    append(body, comm("fra", "", "Deuxi\xe8me"));
    append(body, frame("WXXX", bytes({0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'h'})));
    make("a.mp3", tag(3, 0, body, 10));
    const auto old_frames = stored_frames(read("a.mp3"));

    const auto fields = read_fields("a.mp3");
    EXPECT_EQ(fields.at("Comment"), "First comment");
    EXPECT_EQ(fields.at("URL"), "http://h");
    const json before = mutagen_frames("a.mp3");
    ASSERT_EQ(edit("a.mp3", {{"Comment", "Changed"}, {"URL", "http://n"}}), 0);
    expect_kept(before, "a.mp3", {"COMM::eng", "WXXX:"});
    const auto frames = stored_frames(read("a.mp3"));
    // The field frames are rewritten where they were; the comment keeps its language.
    ASSERT_GE(frames.size(), 5u);
    EXPECT_EQ(frames[0], old_frames[0]);
    EXPECT_EQ(frames[1], old_frames[1]);
    EXPECT_EQ(frames[2], frame_of("COMM", bytes({0, 'e', 'n', 'g', 0, 'C', 'h', 'a', 'n', 'g', 'e', 'd'})));
    EXPECT_EQ(frames[3], old_frames[3]);
    EXPECT_EQ(frames[4], frame_of("WXXX", bytes({0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'n'})));

    // Without a COMM of empty description the comment field is empty; the new
    // comment comes as a frame of its own.
    make("b.mp3", tag(3, 0, comm("eng", "iTunNORM", " 0000021A"), 10));
    EXPECT_EQ(read_fields("b.mp3").at("Comment"), "");
    const json before_b = mutagen_frames("b.mp3");
    ASSERT_EQ(edit("b.mp3", {{"Comment", "Mine"}}), 0);
    expect_kept(before_b, "b.mp3", {});
    EXPECT_EQ(read_fields("b.mp3").at("Comment"), "Mine");
}

// Version 2.2 frames with a 2.3 equivalent outside the standard's table
// (compilation, sort orders, volume, described comments) are converted; a
// frame without any equivalent refuses the write.
TEST_F(FramesKept, Version22FramesBecomeTheirVersion23Equivalents) {
    skip_without_mutagen();
    Bytes body = frame22("TT2", latin1_text("Old"));
    for (const char* id : {"TCP", "TST", "TSA", "TSP", "TS2", "TSC", "GP1"}) append(body, frame22(id, latin1_text(id)));
    append(body, frame22("RVA", bytes({0x03, 0x10, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00})));
    append(body, frame22("COM", text_frame_content(0, "engiTunNORM\0 0000021A"s)));
    append(body, frame22("COM", text_frame_content(0, "eng\0comment"s)));
    append(body, frame22("LNK", bytes("TT2http://l\0id"s)));  // a link to the title frame
    make("a.mp3", tag(2, 0, body, 10));
    const json before = mutagen_frames("a.mp3");
    ASSERT_EQ(edit("a.mp3", {{"Title", "New"}}), 0);
    expect_kept(before, "a.mp3", {"TIT2", "COMM::eng", "LINK*"});
    const auto frames = stored_frames(read("a.mp3"));
    for (const auto& [v22, v23] : std::map<std::string, std::string>{
             {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSA", "TSOA"}, {"TSP", "TSOP"}, {"TS2", "TSO2"}, {"TSC", "TSOC"}, {"GP1", "GRP1"}}) {
        const StoredFrame* converted = find_frame(frames, v23);
        ASSERT_NE(converted, nullptr) << v23;
        EXPECT_EQ(converted->content, latin1_text(v22)) << v23;
    }
    ASSERT_NE(find_frame(frames, "LINK"), nullptr);
    EXPECT_EQ(find_frame(frames, "LINK")->content, bytes("TIT2http://l\0id"s));
    EXPECT_EQ(after_tag(read("a.mp3")), audio());

    // CRM (encrypted meta frame) has no 2.3 form.
    Bytes with_crm = frame22("TT2", latin1_text("Old"));
    append(with_crm, frame22("CRM", bytes({'o', 'w', 'n', 'e', 'r', 0, 'x', 'y'})));
    const Bytes old = make("b.mp3", tag(2, 0, with_crm, 10));
    EXPECT_EQ(edit("b.mp3", {{"Title", "New"}}), 3);
    EXPECT_EQ(read("b.mp3"), old);
}

// Compressed and encrypted 2.4 frames are carried as they are, their extras
// laid out as 2.3 has them: decompressed size, encryption method, group.
TEST_F(FramesKept, CompressedAndEncryptedVersion24FramesAreCarried) {
    skip_without_mutagen();
    const Bytes user_text{0, 'Z', 0, 'z', 'i', 'p', 'p', 'e', 'd'};
    const Bytes zipped = zlib_stored(user_text);
    Bytes compressed_content;
    put_synchsafe(compressed_content, static_cast<uint32_t>(user_text.size()));  // data length indicator
    append(compressed_content, zipped);
    Bytes encrypted_content{0x80};  // encryption method
    put_synchsafe(encrypted_content, 6);
    append(encrypted_content, bytes("secret"));
    Bytes grouped_content{0x07};  // group, then the data length indicator
    put_synchsafe(grouped_content, static_cast<uint32_t>(user_text.size()));
    append(grouped_content, zipped);

    Bytes body = frame("TIT2", latin1_text("Old"), 4);
    append(body, frame("TXXX", compressed_content, 4, 0x00, 0x09));  // compression, length indicator
    append(body, frame("TIT3", encrypted_content, 4, 0x00, 0x05));   // encryption, length indicator
    append(body, frame("TPE2", grouped_content, 4, 0x00, 0x49));     // group, compression, length indicator
    make("a.mp3", tag(4, 0, body, 10));
    const json before = mutagen_frames("a.mp3");
    ASSERT_EQ(edit("a.mp3", {{"Title", "New"}}), 0);
    expect_kept(before, "a.mp3", {"TIT2", "?TIT3", "TPE2"});

    const auto frames = stored_frames(read("a.mp3"));
    Bytes compressed23;
    put_u32_be(compressed23, static_cast<uint32_t>(user_text.size()));  // decompressed size
    append(compressed23, zipped);
    Bytes grouped23;
    put_u32_be(grouped23, static_cast<uint32_t>(user_text.size()));
    grouped23.push_back(0x07);
    append(grouped23, zipped);
    ASSERT_NE(find_frame(frames, "TXXX"), nullptr);
    EXPECT_EQ(*find_frame(frames, "TXXX"), frame_of("TXXX", compressed23, {0x00, 0x80}));
    ASSERT_NE(find_frame(frames, "TIT3"), nullptr);
    EXPECT_EQ(*find_frame(frames, "TIT3"), frame_of("TIT3", bytes({0x80, 's', 'e', 'c', 'r', 'e', 't'}), {0x00, 0x40}));
    ASSERT_NE(find_frame(frames, "TPE2"), nullptr);
    EXPECT_EQ(*find_frame(frames, "TPE2"), frame_of("TPE2", grouped23, {0x00, 0xA0}));
    EXPECT_EQ(after_tag(read("a.mp3")), audio());

    // Compression without the data length indicator: 2.3 could not state the
    // decompressed size.
    const Bytes old = make("b.mp3", tag(4, 0, frame("TXXX", zipped, 4, 0x00, 0x08), 10));
    EXPECT_EQ(edit("b.mp3", {{"Title", "New"}}), 3);
    EXPECT_EQ(read("b.mp3"), old);
}

// Chapters hold frames of their own: they are converted with the tag, so a
// 2.3 reader finds the chapter titles.
TEST_F(FramesKept, FramesInsideChaptersAreConverted) {
    skip_without_mutagen();
    make("a.mp3", {});
    const std::string long_title = "Chapter \xe7\xab\xa0 " + std::string(200, 'c');  // 章; more than 127 bytes
    mutagen_write("a.mp3", 4, 3,
                  {{"TIT2", "Book"},
                   {"CHAP:ch0", {{"start", 0}, {"end", 5000}, {"title", long_title}, {"subtitle", "Sub"}}},
                   {"CHAP:ch1", {{"start", 5000}, {"end", 9000}, {"title", "Zwei \xe2\x9c\x93"}}},
                   {"CTOC:toc", {{"children", json::array({"ch0", "ch1"})}, {"title", "Contents"}}}});
    const json before = mutagen_frames("a.mp3");
    ASSERT_TRUE(before["frames"].contains("CHAP:ch0")) << before.dump();
    ASSERT_EQ(edit("a.mp3", {{"Title", "New"}}), 0);
    expect_kept(before, "a.mp3", {"TIT2", "TDRC"});
    EXPECT_EQ(after_tag(read("a.mp3")), audio());
}

// A field the caller did not change is written back as it was read: when
// that reading lost characters, the old frame stays (in 2.3 form) instead.
TEST_F(FramesKept, UnchangedFieldsKeepWhatLatin1CannotHold) {
    skip_without_mutagen();
    make("a.mp3", {});
    mutagen_write("a.mp3", 4, 3,
                  {{"TPE1", "\xe5\x9d\x82\xe6\x9c\xac\xe9\xbe\x8d\xe4\xb8\x80"},  // 坂本龍一
                   {"TALB", "\xe6\x97\xa5\xe6\x9c\xac"},                              // 日本
                   {"COMM", "\xe2\x9c\x93 ok"},                                            // ✓ ok
                   {"TCON", "J-Pop \xe2\x9c\x93"},
                   {"TCOM", "Caf\xc3\xa9"},
                   {"TIT2", "Old"}});
    const auto fields = read_fields("a.mp3");
    EXPECT_EQ(fields.at("Artist"), "????");
    EXPECT_EQ(fields.at("Comment"), "? ok");
    const json before = mutagen_frames("a.mp3");
    ASSERT_EQ(edit("a.mp3", {{"Title", "New"}, {"Album", "New album"}}), 0);
    expect_kept(before, "a.mp3", {"TIT2", "TALB", "TCOM"});
    const json after = mutagen_frames("a.mp3")["frames"];
    EXPECT_EQ(after["TIT2"]["text"], json::array({"New"}));
    EXPECT_EQ(after["TALB"]["text"], json::array({"New album"}));
    EXPECT_EQ(after["TCOM"]["text"], json::array({"Caf\xc3\xa9"}));
    const auto frames = stored_frames(read("a.mp3"));
    ASSERT_NE(find_frame(frames, "TPE1"), nullptr);
    EXPECT_EQ(find_frame(frames, "TPE1")->content[0], 1);  // UTF-16 with a byte order mark
    ASSERT_NE(find_frame(frames, "TCOM"), nullptr);
    EXPECT_EQ(find_frame(frames, "TCOM")->content, latin1_text("Caf\xe9"));  // fits: written as the fields are
}

// The same through the application, which writes all twelve fields back.
TEST_F(FramesKept, TheApplicationsTitleEditKeepsEveryOtherFrame) {
    skip_without_mutagen();
    make("a.mp3", {});
    mutagen_write("a.mp3", 4, 3,
                  {{"TPE1", "\xe5\x9d\x82\xe6\x9c\xac\xe9\xbe\x8d\xe4\xb8\x80"},
                   {"TIT2", "Old"},
                   {"TXXX:MOOD", "calm"},
                   {"TSOP", "Sakamoto"}});
    const json before = mutagen_frames("a.mp3");
    // --force: the stand-in audio holds no MPEG frames, which the application looks for.
    const auto result = run_command(shell_quote(ZUBMP3_BUILD_BIN_DIR "/zubmp3") + " tag-v2 --force " +
                                    shell_quote(host("a.mp3").string()) + " --title New 2>&1");
    ASSERT_EQ(result.status, 0) << result.output;
    expect_kept(before, "a.mp3", {"TIT2"});
    EXPECT_EQ(mutagen_frames("a.mp3")["frames"]["TIT2"]["text"], json::array({"New"}));
}

// A frame above 64000 bytes, new or converted, refuses the write before
// anything is written, so that every later write still works.
TEST_F(FramesKept, FramesAboveTheLimitAreRefusedBeforeWriting) {
    const Bytes old = make("a.mp3", tag(3, 0, frame("TIT2", latin1_text("t")), 10));
    call_text("wv2Comment", std::string(63996, 'c'));  // 64001 bytes with encoding, language and description
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 8);
    EXPECT_EQ(read("a.mp3"), old);
    call_text("wv2Comment", std::string(63995, 'c'));
    EXPECT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    call("v2cleanup");
    EXPECT_EQ(edit("a.mp3", {{"Title", "again"}}), 0);

    // A UTF-8 text that fits 64000 bytes, but not once it is UTF-16.
    Bytes wide = text_frame_content(3, std::string(50000, 'a') + "\xe2\x82\xac");
    const Bytes old_b = make("b.mp3", tag(4, 0, frame("TPE2", wide, 4), 10));
    EXPECT_EQ(edit("b.mp3", {{"Title", "x"}}), 8);
    EXPECT_EQ(read("b.mp3"), old_b);
}

// After staging, a size word answers the length of what its getter copies.
TEST_F(FramesKept, SizeWordAnswersTheStagedText) {
    make("a.mp3", tag(3, 0, frame("TIT2", latin1_text("Hi")), 10));
    ASSERT_EQ(call_text("getid3v2", win("a.mp3")), 0);
    EXPECT_EQ(call("v2Titlesize"), 2);
    call_text("wv2Title", "A much longer title");
    EXPECT_EQ(call("v2Titlesize"), 19);
    EXPECT_EQ(field("Title"), "A much longer title");
    call_text("wv2Artist", "");
    EXPECT_EQ(call("v2Artistsize"), 0);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZUBMP3_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZUBMP3_SANITIZED 1
#endif
#endif
#ifdef ZUBMP3_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Runs `word` on `name` in a child process whose address space may grow by
// `headroom` bytes only; its exit status is the word's result (a signal: the
// word let an exception out and the process was aborted).
int32_t result_with_memory_limit(const std::string& word, const std::string& path, size_t headroom) {
    const pid_t child = fork();
    if (child == 0) {
        std::ifstream statm("/proc/self/statm");
        size_t pages = 0;
        statm >> pages;
        const rlimit limit{pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + headroom, RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        _exit(interface1(word.c_str(), reinterpret_cast<intptr_t>(path.c_str()), 0, 0));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// A file whose tag holds a small title and then `size` bytes of a frame
// that is not one of the fields (sparse: nothing is written for it).
void write_large_tag(const std::filesystem::path& path, uint32_t size) {
    Bytes body = frame("TIT2", latin1_text("Large"));
    const Bytes picture_header = frame("APIC", {});
    append(body, Bytes(picture_header.begin(), picture_header.begin() + 4));
    put_u32_be(body, size);
    body.insert(body.end(), {0, 0});
    Bytes head = bytes("ID3");
    head.insert(head.end(), {3, 0, 0});
    put_synchsafe(head, static_cast<uint32_t>(body.size()) + size);
    append(head, body);
    testing_support::write_file(path, head);
    std::filesystem::resize_file(path, head.size() + size + 4096);
}

// Without memory for a tag, "getid3v2" answers "damaged" and "setid3v2"
// "old tag unreadable": no exception reaches the caller. The reader holds the
// tag once and copies no frame it does not need.
TEST_F(FramesKept, NoExceptionLeavesTheEngine) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers' allocators do not work under an address-space limit";
    write_large_tag(host("huge.mp3"), 180u << 20);
    EXPECT_EQ(result_with_memory_limit("getid3v2", win("huge.mp3"), 64u << 20), 3);
    EXPECT_EQ(result_with_memory_limit("setid3v2", win("huge.mp3"), 64u << 20), 3);
    write_large_tag(host("large.mp3"), 100u << 20);
    EXPECT_EQ(result_with_memory_limit("getid3v2", win("large.mp3"), 140u << 20), 0);
}

}  // namespace
}  // namespace tag_testing
