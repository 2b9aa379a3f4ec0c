// Tags against real clients: what we write, mutagen and eyeD3 read; what
// mutagen, eyeD3 and id3v2 write, we read; and nothing of theirs is lost when
// we rewrite the tag.
#include <nlohmann/json.hpp>

#include <map>

#include "platform/text.h"
#include "tag_fixture.h"

namespace tag_testing {
namespace {

using nlohmann::json;
using testing_support::run_command;
using testing_support::shell_quote;

const char* const kPython = "/usr/bin/python3";

// The twelve fields as the getter words name them, with their frames.
const std::pair<const char*, const char*> kFields[] = {
    {"Composer", "TCOM"}, {"OriginalArtist", "TOPE"}, {"Copyright", "TCOP"}, {"URL", "WXXX"},
    {"EncodedBy", "TENC"}, {"Comment", "COMM"},       {"Genre", "TCON"},     {"Year", "TYER"},
    {"Album", "TALB"},     {"Artist", "TPE1"},        {"Title", "TIT2"},     {"Track", "TRCK"},
};

#define REQUIRE_PYTHON_MODULE(module)                                                                  \
    do {                                                                                               \
        if (run_command(std::string(kPython) + " -c 'import " module "' 2>/dev/null").status != 0) {   \
            if (testing_support::in_ci()) FAIL() << "python module missing in CI: " module;           \
            GTEST_SKIP() << "python module not installed: " module;                                    \
        }                                                                                              \
    } while (0)

class RealClients : public TagTest {
protected:
    // A real MP3 of one second, made by lame.
    void make_mp3(const std::string& name) {
        testing_support::WavSpec spec;
        spec.seconds = 1.0;
        testing_support::write_wav(host("in.wav"), spec);
        const auto result = run_command("lame --quiet -b 128 " + shell_quote(host("in.wav")) + " " +
                                        shell_quote(host(name)) + " 2>&1");
        ASSERT_EQ(result.status, 0) << result.output;
    }
    json client(const std::string& arguments) {
        const auto result =
            run_command(std::string(kPython) + " " + shell_quote(ZUBMP3_TAG_CLIENTS) + " " + arguments + " 2>&1");
        EXPECT_EQ(result.status, 0) << result.output;
        return result.status == 0 ? json::parse(result.output, nullptr, false) : json();
    }
    json mutagen_read(const std::string& name) { return client("read-mutagen " + shell_quote(host(name))); }
    json eyed3_read(const std::string& name, int version) {
        return client("read-eyed3 " + shell_quote(host(name)) + " " + std::to_string(version));
    }
    void mutagen_write(const std::string& name, int version, int encoding, const json& fields,
                       const std::string& image = "") {
        client("write-mutagen " + shell_quote(host(name)) + " " + std::to_string(version) + " " +
               std::to_string(encoding) + " " + shell_quote(fields.dump()) +
               (image.empty() ? "" : " " + shell_quote(host(image))));
    }
    void run_tool(const std::string& command) {
        const auto result = run_command(command + " 2>&1");
        ASSERT_EQ(result.status, 0) << command << "\n" << result.output;
    }
    // The twelve fields through "getid3v2", in UTF-8.
    std::map<std::string, std::string> read_v2(const std::string& name) {
        std::map<std::string, std::string> fields;
        EXPECT_EQ(call_text("getid3v2", win(name)), 0);
        for (const auto& [field, frame_id] : kFields)
            fields[field] = platform::latin1_to_utf8(get_text(("v2" + std::string(field)).c_str()));
        call("v2cleanup");
        return fields;
    }
    // The file without the ID3v2 tag at its start.
    Bytes after_tag(const std::string& name) {
        const Bytes file = read(name);
        if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return file;
        size_t size = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
        if (file[3] == 4 && (file[5] & 0x10)) size += 10;
        return Bytes(file.begin() + static_cast<std::ptrdiff_t>(size), file.end());
    }
    void expect_decodes(const std::string& name) {
        ZUBMP3_REQUIRE_TOOL("mpg123");
        const auto result = run_command("mpg123 -q -t " + shell_quote(host(name)) + " 2>&1");
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, "");
    }
};

TEST_F(RealClients, OurId3v1IsReadByMutagenAndEyeD3) {
    ZUBMP3_REQUIRE_TOOL("lame");
    REQUIRE_PYTHON_MODULE("mutagen");
    REQUIRE_PYTHON_MODULE("eyed3");
    make_mp3("a.mp3");
    call_text("wv1Title", "Caf\xe9 title");
    call_text("wv1Artist", "The Artist");
    call_text("wv1Album", "An Album");
    call_text("wv1Year", "1999");
    call("wv1Track", 5);
    call_text("wv1Comment", "A comment");
    call("wv1Genre", 17);
    ASSERT_EQ(call_text("setid3v1", win("a.mp3")), 0);

    const json mutagen = mutagen_read("a.mp3")["frames"];
    EXPECT_EQ(mutagen["TIT2"], "Café title");
    EXPECT_EQ(mutagen["TPE1"], "The Artist");
    EXPECT_EQ(mutagen["TALB"], "An Album");
    EXPECT_EQ(mutagen["TDRC"], "1999");
    EXPECT_EQ(mutagen["COMM"], "A comment");
    EXPECT_EQ(mutagen["TRCK"], "5");
    EXPECT_EQ(mutagen["TCON"], "Rock");

    const json eyed3 = eyed3_read("a.mp3", 1)["frames"];
    EXPECT_EQ(eyed3["title"], "Café title");
    EXPECT_EQ(eyed3["artist"], "The Artist");
    EXPECT_EQ(eyed3["album"], "An Album");
    EXPECT_EQ(eyed3["year"], "1999");
    EXPECT_EQ(eyed3["comment"], "A comment");
    EXPECT_EQ(eyed3["track"], 5);
    EXPECT_EQ(eyed3["genre"], "Rock");
    expect_decodes("a.mp3");
}

TEST_F(RealClients, OurId3v2IsReadByMutagenAndEyeD3) {
    ZUBMP3_REQUIRE_TOOL("lame");
    REQUIRE_PYTHON_MODULE("mutagen");
    REQUIRE_PYTHON_MODULE("eyed3");
    make_mp3("a.mp3");
    const Bytes audio_before = read("a.mp3");
    std::map<std::string, std::string> values;
    for (const auto& [field, frame_id] : kFields) {
        values[field] = std::string(field) + " \xe9";  // Latin-1 é
        call_text(("wv2" + std::string(field)).c_str(), values[field]);
    }
    call_text("wv2URL", "http://example.org/x");
    call_text("wv2Year", "2004");
    call_text("wv2Track", "3/12");
    call_text("wv2Genre", "Rock");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    EXPECT_EQ(after_tag("a.mp3"), audio_before);

    const json mutagen = mutagen_read("a.mp3");
    EXPECT_EQ(mutagen["version"], "2.3.0");
    const json& frames = mutagen["frames"];
    for (const auto& [field, frame_id] : kFields) {
        std::string expected = std::string(field) + " é";
        if (frame_id == std::string("WXXX")) expected = "http://example.org/x";
        if (frame_id == std::string("TYER")) expected = "2004";
        if (frame_id == std::string("TRCK")) expected = "3/12";
        if (frame_id == std::string("TCON")) expected = "Rock";
        EXPECT_EQ(frames[frame_id], expected) << frame_id;
    }

    const json eyed3 = eyed3_read("a.mp3", 2);
    EXPECT_EQ(eyed3["version"], "2.3.0");
    EXPECT_EQ(eyed3["frames"]["TIT2"], "Title é");
    EXPECT_EQ(eyed3["frames"]["TPE1"], "Artist é");
    EXPECT_EQ(eyed3["frames"]["TALB"], "Album é");
    EXPECT_EQ(eyed3["frames"]["TCOM"], "Composer é");
    EXPECT_EQ(eyed3["frames"]["COMM"], "Comment é");
    EXPECT_EQ(eyed3["frames"]["WXXX"], "http://example.org/x");
    EXPECT_EQ(eyed3["frames"]["TENC"], "EncodedBy é");
    expect_decodes("a.mp3");

    // Our own reader gives the same values back.
    values["URL"] = "http://example.org/x";
    values["Year"] = "2004";
    values["Track"] = "3/12";
    values["Genre"] = "Rock";
    const auto back = read_v2("a.mp3");
    for (const auto& [field, value] : values) EXPECT_EQ(back.at(field), platform::latin1_to_utf8(value)) << field;
}

struct MutagenCase {
    int version;
    int encoding;
};

class MutagenTags : public RealClients, public ::testing::WithParamInterface<MutagenCase> {};

TEST_P(MutagenTags, AreReadFieldForField) {
    ZUBMP3_REQUIRE_TOOL("lame");
    REQUIRE_PYTHON_MODULE("mutagen");
    const auto [version, encoding] = GetParam();
    make_mp3("a.mp3");
    // € does not fit ISO-8859-1: it reads as '?', and only where the encoding can hold it.
    const std::string euro = encoding == 0 ? "" : " €";
    json fields = {{"TCOM", "Compös" + euro}, {"TOPE", "Orig"},       {"TCOP", "2001 Someone"},
                   {"WXXX", "http://w.example/"}, {"TENC", "Encoder"}, {"COMM", "Long comment é"},
                   {"TCON", "Jazz"},          {"TDRC", "2003"},       {"TALB", "Albüm"},
                   {"TPE1", "Ärtist"},        {"TIT2", "Títle" + euro}, {"TRCK", "7/9"},
                   {"TXXX:REPLAYGAIN_TRACK_GAIN", "-6.5 dB"}};
    testing_support::write_file(host("cover.png"), audio(3000));
    mutagen_write("a.mp3", version, encoding, fields, "cover.png");
    const std::string q = encoding == 0 ? "" : " ?";
    const auto back = read_v2("a.mp3");
    EXPECT_EQ(back.at("Composer"), "Compös" + q);
    EXPECT_EQ(back.at("OriginalArtist"), "Orig");
    EXPECT_EQ(back.at("Copyright"), "2001 Someone");
    EXPECT_EQ(back.at("URL"), "http://w.example/");
    EXPECT_EQ(back.at("EncodedBy"), "Encoder");
    EXPECT_EQ(back.at("Comment"), "Long comment é");
    EXPECT_EQ(back.at("Genre"), "Jazz");
    EXPECT_EQ(back.at("Year"), "2003");
    EXPECT_EQ(back.at("Album"), "Albüm");
    EXPECT_EQ(back.at("Artist"), "Ärtist");
    EXPECT_EQ(back.at("Title"), "Títle" + q);
    EXPECT_EQ(back.at("Track"), "7/9");
}

INSTANTIATE_TEST_SUITE_P(Versions, MutagenTags,
                         ::testing::Values(MutagenCase{3, 0}, MutagenCase{3, 1}, MutagenCase{4, 0},
                                           MutagenCase{4, 1}, MutagenCase{4, 2}, MutagenCase{4, 3}),
                         [](const auto& info) {
                             return "v2" + std::to_string(info.param.version) + "_encoding" +
                                    std::to_string(info.param.encoding);
                         });

// A user who edits the title must not lose the cover, the user texts or the
// audio that another program left in the file.
TEST_F(RealClients, RewritingKeepsMutagensCoverAndUserTexts) {
    ZUBMP3_REQUIRE_TOOL("lame");
    REQUIRE_PYTHON_MODULE("mutagen");
    make_mp3("a.mp3");
    const Bytes audio_only = read("a.mp3");
    testing_support::write_file(host("cover.png"), audio(20000));
    mutagen_write("a.mp3", 4, 3, {{"TIT2", "Old title"}, {"TPE2", "Band ✓"}, {"TXXX:MOOD", "calm"}}, "cover.png");
    const json before = mutagen_read("a.mp3")["frames"];

    call_text("wv2Title", "New title");
    call_text("wv2Artist", "New artist");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    EXPECT_EQ(after_tag("a.mp3"), audio_only);
    const json after = mutagen_read("a.mp3");
    EXPECT_EQ(after["version"], "2.3.0");
    EXPECT_EQ(after["frames"]["APIC"], before["APIC"]);
    EXPECT_EQ(after["frames"]["TXXX:MOOD"], "calm");
    EXPECT_EQ(after["frames"]["TPE2"], "Band ✓");
    EXPECT_EQ(after["frames"]["TIT2"], "New title");
    EXPECT_EQ(after["frames"]["TPE1"], "New artist");
    expect_decodes("a.mp3");

    ASSERT_EQ(call_text("remove_id3v2_tag", win("a.mp3")), 0);
    EXPECT_EQ(read("a.mp3"), audio_only);
}

TEST_F(RealClients, EyeD3TagsAreRead) {
    ZUBMP3_REQUIRE_TOOL("lame");
    ZUBMP3_REQUIRE_TOOL("eyeD3");
    for (const char* options : {"--to-v2.3 --encoding utf16", "--to-v2.4 --encoding utf8", "--to-v2.3 --encoding latin1"}) {
        SCOPED_TRACE(options);
        make_mp3("a.mp3");
        Bytes jpeg = bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00});
        append(jpeg, audio(2000));
        testing_support::write_file(host("cover.jpg"), jpeg);
        run_tool("eyeD3 --quiet --no-config " + std::string(options) +
                 " -t 'Tïtle' -a 'Ärtist' -A 'Album' --recording-date 2005 -n 4 -G 'Hip-Hop' -c 'Nice one'"
                 " --composer 'Cömposer' --orig-artist 'Original' --text-frame 'TENC:Enc'"
                 " --text-frame 'TCOP:Copy' --user-url-frame ':http://e.example/'"
                 " --user-text-frame 'KEY:value' --add-image " +
                 shell_quote(host("cover.jpg").string() + ":FRONT_COVER") + " " + shell_quote(host("a.mp3")));
        const auto back = read_v2("a.mp3");
        EXPECT_EQ(back.at("Title"), "Tïtle");
        EXPECT_EQ(back.at("Artist"), "Ärtist");
        EXPECT_EQ(back.at("Album"), "Album");
        EXPECT_EQ(back.at("Year"), "2005");
        EXPECT_EQ(back.at("Track"), "04");
        EXPECT_EQ(back.at("Genre"), "Hip-Hop");
        EXPECT_EQ(back.at("Comment"), "Nice one");
        EXPECT_EQ(back.at("Composer"), "Cömposer");
        EXPECT_EQ(back.at("OriginalArtist"), "Original");
        EXPECT_EQ(back.at("EncodedBy"), "Enc");
        EXPECT_EQ(back.at("Copyright"), "Copy");
        EXPECT_EQ(back.at("URL"), "http://e.example/");
    }
}

TEST_F(RealClients, Id3v2ToolTagsAreRead) {
    ZUBMP3_REQUIRE_TOOL("lame");
    ZUBMP3_REQUIRE_TOOL("id3v2");
    make_mp3("a.mp3");
    run_tool("id3v2 -2 -t 'Song' -a 'Singer' -A 'Record' -y 1994 -T 2/10 -g 17 -c ':Comment text:eng'"
             " --TCOM 'Writer' --TOPE 'First' --TCOP 'Label' --TENC 'Ripper' " +
             shell_quote(host("a.mp3")));
    const auto back = read_v2("a.mp3");
    EXPECT_EQ(back.at("Title"), "Song");
    EXPECT_EQ(back.at("Artist"), "Singer");
    EXPECT_EQ(back.at("Album"), "Record");
    EXPECT_EQ(back.at("Year"), "1994");
    EXPECT_EQ(back.at("Track"), "2/10");
    EXPECT_EQ(back.at("Genre"), "Rock");  // written as "(17)"
    EXPECT_EQ(back.at("Comment"), "Comment text");
    EXPECT_EQ(back.at("Composer"), "Writer");
    EXPECT_EQ(back.at("OriginalArtist"), "First");
    EXPECT_EQ(back.at("Copyright"), "Label");
    EXPECT_EQ(back.at("EncodedBy"), "Ripper");
    EXPECT_EQ(back.at("URL"), "");  // the tool writes no WXXX

    // And id3v2 reads what we write over its tag.
    call_text("wv2Title", "Ours");
    ASSERT_EQ(call_text("setid3v2", win("a.mp3")), 0);
    const auto listing = run_command("id3v2 -l " + shell_quote(host("a.mp3")));
    EXPECT_NE(listing.output.find("TIT2 (Title/songname/content description): Ours"), std::string::npos)
        << listing.output;
}

}  // namespace
}  // namespace tag_testing
