// Tag load: many random tag conversations, as the control holds them, on a
// set of MP3 files. Every read answers what the last writes put there, the
// engine's tag block count is back at its start after every conversation,
// and at the end mutagen reads every file: its audio, its ID3v2 tag and its
// ID3v1 record, each with the values last written.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>

#include "hardening_support.h"
#include "id3/tag_state.h"
#include "interface1.h"
#include "platform/text.h"

namespace {

using namespace hardening;
using testing_support::DriveMapping;
using testing_support::ScopedMount;
using testing_support::TempDir;

int32_t call(const char* word, intptr_t value = 0) { return interface1(word, value, 0, 0); }
int32_t call(const char* word, const std::string& text) {
    return interface1(word, reinterpret_cast<intptr_t>(text.c_str()), 0, 0);
}
std::string get_text(const char* word, size_t room) {
    std::string buffer(room + 1, 'x');
    interface1(word, reinterpret_cast<intptr_t>(buffer.data()), 0, 0);
    return buffer.substr(0, strnlen(buffer.c_str(), buffer.size()));
}

struct V1 {
    std::string title, artist, album, year, comment;
    int track = 0;
    int genre = 0;
};
// In the engine's slot order: Composer ... Track.
using V2 = std::array<std::string, 12>;
constexpr const char* kV2Names[12] = {"Composer", "OriginalArtist", "Copyright", "URL", "EncodedBy", "Comment",
                                      "Genre",    "Year",           "Album",     "Artist", "Title",   "Track"};
constexpr const char* kV2Frames[12] = {"TCOM", "TOPE", "TCOP", "WXXX", "TENC", "COMM",
                                       "TCON", "TYER", "TALB", "TPE1", "TIT2", "TRCK"};

struct FileModel {
    std::optional<V1> v1;
    std::optional<V2> v2;
};

class RandomTexts {
public:
    explicit RandomTexts(uint32_t seed) : engine_(seed) {}
    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine_); }
    // Letters only where a text could be read as something else (a genre
    // number); otherwise letters, digits, punctuation, blanks and Latin-1
    // letters.
    std::string text(size_t max_length, bool letters_only = false) {
        static const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        static const std::string kAll = kLetters + "0123456789 .,-'&!\xC0\xC9\xD6\xDC\xE0\xE9\xF1\xFC";
        const std::string& alphabet = letters_only ? kLetters : kAll;
        std::string out(static_cast<size_t>(number(0, static_cast<int>(max_length))), ' ');
        for (char& c : out) c = alphabet[static_cast<size_t>(number(0, static_cast<int>(alphabet.size()) - 1))];
        return out;
    }

private:
    std::mt19937 engine_;
};

// What the ID3v1 staging words keep of a text.
std::string first(const std::string& text, size_t width) { return text.substr(0, std::min(width, text.size())); }

class TagLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ZUBMP3_REQUIRE_TOOL("lame");
        // A tmpfs of its own keeps ten thousand synced copies off the disk.
        if (mount.ok()) root = dir / "files";
        const Bytes mp3 = lame_mp3(0.3);
        for (int i = 0; i < kFiles; ++i) testing_support::write_file(host(i), mp3);
        fs::create_directories(root / "tmp");
        start_count = engine::tag_alloc_count.load();
    }

    fs::path host(int i) const { return root / ("song" + std::to_string(i) + ".mp3"); }
    std::string win(int i) const { return drive.windows(fs::relative(host(i), dir.path()).string()); }

    void write_v1(int i, RandomTexts& random) {
        V1 v1{random.text(40), random.text(40), random.text(40), random.text(6), random.text(40),
              random.number(0, 255), random.number(0, 255)};
        call("wv1Title", v1.title);
        call("wv1Artist", v1.artist);
        call("wv1Album", v1.album);
        call("wv1Year", v1.year);
        call("wv1Track", v1.track);
        call("wv1Comment", v1.comment);
        call("wv1Genre", v1.genre);
        ASSERT_EQ(call("setid3v1", win(i)), 0);
        // What the file holds from now on, as a reader sees it.
        v1.title = first(v1.title, 30);
        v1.artist = first(v1.artist, 30);
        v1.album = first(v1.album, 30);
        v1.year = first(v1.year, 4);
        v1.comment = first(v1.comment, v1.track != 0 ? 28 : 30);
        v1.genre = std::min(v1.genre, 148);
        models[i].v1 = v1;
    }

    void read_v1(int i) {
        const int32_t result = call("getid3v1", win(i));
        if (!models[i].v1) {
            ASSERT_EQ(result, 2);
            return;
        }
        ASSERT_EQ(result, 0);
        const V1& v1 = *models[i].v1;
        EXPECT_EQ(get_text("v1Title", 31), v1.title);
        EXPECT_EQ(get_text("v1Artist", 31), v1.artist);
        EXPECT_EQ(get_text("v1Album", 31), v1.album);
        EXPECT_EQ(get_text("v1Year", 31), v1.year);
        EXPECT_EQ(get_text("v1Comment", 31), v1.comment);
        EXPECT_EQ(call("v1Track"), v1.track);
        EXPECT_EQ(call("v1Genre"), v1.genre);
    }

    void remove_v1(int i) {
        ASSERT_EQ(call("removeid3v1", win(i)), models[i].v1 ? 0 : 2);
        models[i].v1.reset();
    }

    void write_v2(int i, RandomTexts& random) {
        V2 v2;
        for (size_t slot = 0; slot < 12; ++slot) v2[slot] = random.text(slot == 5 ? 200 : 60, slot == 6);
        call("definetempfolder", drive.windows(fs::relative(root / "tmp", dir.path()).string()));
        call("v2cleanup");
        for (size_t slot = 0; slot < 12; ++slot) call((std::string("wv2") + kV2Names[slot]).c_str(), v2[slot]);
        ASSERT_EQ(call("setid3v2", win(i)), 0);
        call("v2cleanup");
        models[i].v2 = v2;
    }

    void read_v2(int i) {
        const int32_t result = call("getid3v2", win(i));
        ASSERT_EQ(result, models[i].v2 ? 0 : 2);
        if (models[i].v2) {
            for (size_t slot = 0; slot < 12; ++slot) {
                const std::string name = std::string("v2") + kV2Names[slot];
                const int32_t size = call((name + "size").c_str());
                ASSERT_GE(size, 0);
                EXPECT_EQ(get_text(name.c_str(), static_cast<size_t>(size) + 10), (*models[i].v2)[slot]) << name;
            }
        }
        call("v2cleanup");
    }

    void remove_v2(int i) {
        call("definetempfolder", drive.windows(fs::relative(root / "tmp", dir.path()).string()));
        ASSERT_EQ(call("remove_id3v2_tag", win(i)), models[i].v2 ? 0 : 2);
        models[i].v2.reset();
    }

    static constexpr int kFiles = 24;
    TempDir dir;
    ScopedMount mount{dir / "files", 16 * 1024 * 1024, false};
    fs::path root = dir / "plain";
    DriveMapping drive{'C', dir.path()};
    std::array<FileModel, kFiles> models;
    int32_t start_count = 0;
};

std::string stripped(const std::string& latin1) {  // as mutagen's ID3v1 parser trims
    const size_t begin = latin1.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return latin1.substr(begin, latin1.find_last_not_of(" \t\r\n") - begin + 1);
}

TEST_F(TagLoad, TenThousandConversationsKeepEveryFileReadable) {
    const int operations = 10000;
    RandomTexts random(20240611);
    int counts[6] = {};
    for (int n = 0; n < operations; ++n) {
        const int i = random.number(0, kFiles - 1);
        const int op = random.number(0, 5);
        ++counts[op];
        switch (op) {
            case 0: read_v1(i); break;
            case 1: write_v1(i, random); break;
            case 2: remove_v1(i); break;
            case 3: read_v2(i); break;
            case 4: write_v2(i, random); break;
            case 5: remove_v2(i); break;
        }
        ASSERT_EQ(engine::tag_alloc_count.load(), start_count) << "tag blocks left alive after operation " << n;
        if (HasFatalFailure() || HasNonfatalFailure()) FAIL() << "at operation " << n << " on file " << i;
    }
    EXPECT_TRUE(names_in(root / "tmp").empty());
    std::cout << operations << " tag conversations on " << kFiles << " files (read/write/remove v1: " << counts[0]
              << "/" << counts[1] << "/" << counts[2] << ", v2: " << counts[3] << "/" << counts[4] << "/"
              << counts[5] << ")\n";

    // One mutagen process reads every file.
    std::string command = "/usr/bin/python3 " + testing_support::shell_quote(ZUBMP3_MUTAGEN_CHECK);
    for (int i = 0; i < kFiles; ++i) {
        command += ' ';
        command += testing_support::shell_quote(host(i).string());
    }
    const auto result = testing_support::run_command(command);
    ASSERT_EQ(result.status, 0) << result.output;
    const auto report = nlohmann::json::parse(result.output);
    for (int i = 0; i < kFiles; ++i) {
        const auto& file = report.at(host(i).string());
        SCOPED_TRACE(host(i).string());
        EXPECT_GT(file.at("seconds").get<double>(), 0.2);
        if (models[i].v2) {
            ASSERT_TRUE(file.at("v2").is_object());
            for (size_t slot = 0; slot < 12; ++slot)
                EXPECT_EQ(file.at("v2").value(kV2Frames[slot], ""), platform::latin1_to_utf8((*models[i].v2)[slot]))
                    << kV2Frames[slot];
        } else {
            EXPECT_TRUE(file.at("v2").is_null());
        }
        if (models[i].v1) {
            ASSERT_TRUE(file.at("v1").is_object());
            const V1& v1 = *models[i].v1;
            const std::pair<const char*, const std::string*> fields[] = {
                {"TIT2", &v1.title}, {"TPE1", &v1.artist}, {"TALB", &v1.album}, {"TYER", &v1.year},
                {"COMM", &v1.comment}};
            for (const auto& [frame, value] : fields) {
                // mutagen takes at most 29 comment bytes (the 30th may be a track number).
                const std::string expected = frame == std::string("COMM") ? first(*value, 29) : *value;
                EXPECT_EQ(file.at("v1").value(frame, ""), platform::latin1_to_utf8(stripped(expected))) << frame;
            }
        } else {
            EXPECT_TRUE(file.at("v1").is_null());
        }
    }
}

}  // namespace
