#include "output_paths.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::DriveMapping;
using testing_support::TempDir;

struct SplitRow {
    const char* path;
    const char* folder;
    const char* file_name;
};

TEST(SplitOutputPath, Rows) {
    const SplitRow rows[] = {
        {"", "", ""},
        {"Song.mp3", "", "Song.mp3"},
        {"C:/Music/Song.mp3", "", "C:/Music/Song.mp3"},  // a forward slash is an ordinary character
        {"C:\\Music\\Song.mp3", "C:\\Music\\", "Song.mp3"},
        {"C:\\Song.mp3", "C:\\", "Song.mp3"},
        {"C:\\Music\\", "C:\\Music\\", ""},
        {"\\\\server\\share\\a.mp3", "\\\\server\\share\\", "a.mp3"},
    };
    for (const SplitRow& row : rows) {
        std::string folder = "old", name = "old";
        EXPECT_EQ(engine::split_output_path(row.path, folder, name), 0);
        EXPECT_EQ(folder, row.folder) << row.path;
        EXPECT_EQ(name, row.file_name) << row.path;
    }
    std::string folder = "old", name = "old";
    EXPECT_EQ(engine::split_output_path(nullptr, folder, name), 1);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(name, "");
}

TEST(InvalidPathChar, FirstRuleThatHitsDecides) {
    EXPECT_EQ(engine::find_invalid_path_char("C:\\Music\\"), 0);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\a:b\\"), 1);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\a/b*"), 2);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\a*?"), 3);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\a?"), 4);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\<"), 5);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\>"), 6);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\\""), 7);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\|"), 8);
    EXPECT_EQ(engine::find_invalid_path_char("C:\\a:b/"), 1);  // the colons decide first
}

TEST(CountOccurrences, NoCaseAndOverlapping) {
    EXPECT_EQ(engine::count_occurrences_nocase("aaaa", "aa"), 3);
    EXPECT_EQ(engine::count_occurrences_nocase("MusicMUSIC", "music"), 2);
    EXPECT_EQ(engine::count_occurrences_nocase("", "a"), 0);
    EXPECT_EQ(engine::count_occurrences_nocase("a", ""), 0);
    EXPECT_EQ(engine::count_occurrences_nocase("ab", "abc"), 0);
}

class OutputFolder : public testing::Test {
protected:
    TempDir dir;
    DriveMapping drive{'C', dir.path()};
};

TEST_F(OutputFolder, MissingLevelsAreCreatedAndTheProbeLeavesNothing) {
    fs::create_directory(dir / "Music");
    EXPECT_EQ(engine::make_output_folder(drive.windows("Music\\New\\Deeper\\")), 0);
    EXPECT_TRUE(fs::is_directory(dir / "Music/New/Deeper"));
    EXPECT_TRUE(fs::is_empty(dir / "Music/New/Deeper"));  // the probe file was deleted
}

TEST_F(OutputFolder, DriveRootKeepsItsBackslash) {
    EXPECT_EQ(engine::make_output_folder("C:\\"), 0);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(OutputFolder, RefusalsCreateNothing) {
    struct Row {
        std::string folder;
        int32_t reason;
    };
    const Row rows[] = {
        {"", 1},
        {"\\", 7},
        {"C:\\a:b\\", 8},
        {"C:\\a/b\\", 13},
        {"C:\\a?b\\", 9},
        {"C:\\a*b\\", 10},
        {"C:\\a<b\\", 11},
        {"C:\\a>b\\", 12},
        {"C:\\a\"b\\", 14},
        {"C:\\a|b\\", 16},
        {"Music\\", 2},  // relative
    };
    for (const Row& row : rows) EXPECT_EQ(engine::make_output_folder(row.folder), row.reason) << row.folder;
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(OutputFolder, FileInTheWay) {
    testing_support::write_file(dir / "Music", std::string("not a folder"));
    EXPECT_EQ(engine::make_output_folder("C:\\Music\\New\\"), 17);
    EXPECT_EQ(engine::make_output_folder("C:\\Music\\"), 17);
}

TEST_F(OutputFolder, AbsentDriveOrShare) {
    EXPECT_EQ(engine::make_output_folder("Q:\\Music\\"), 4);
    EXPECT_EQ(engine::make_output_folder("\\\\server\\share\\Music\\"), 6);
}

TEST_F(OutputFolder, ShareLevelsAreCreatedFromTheShareOn) {
    fs::create_directories(dir / "unc/server/share");
    testing_support::ScopedEnv unc("ZUBMP3_UNC_ROOT", (dir / "unc").string());
    EXPECT_EQ(engine::make_output_folder("\\\\server\\share\\Music\\New\\"), 0);
    EXPECT_TRUE(fs::is_directory(dir / "unc/server/share/Music/New"));
}

TEST_F(OutputFolder, ReadOnlyMediumFailsTheProbe) {
    testing_support::ScopedMount mount(dir / "ro", 1 << 20, false);
    if (!mount.ok()) GTEST_SKIP() << "needs root to mount a tmpfs";
    fs::create_directory(dir / "ro/Music");
    mount.remount(true);
    EXPECT_EQ(engine::make_output_folder("C:\\ro\\Music\\"), 15);
    EXPECT_EQ(engine::check_folder_writable("C:\\ro\\Music"), 1);
    EXPECT_EQ(engine::make_output_folder("C:\\ro\\New\\"), 4);  // cannot be created
    mount.remount(false);
    EXPECT_EQ(engine::check_folder_writable("C:\\ro\\Music"), 0);
}

TEST_F(OutputFolder, CheckWritableNeedsAnExistingFolderOfValidForm) {
    testing_support::write_file(dir / "file", std::string("x"));
    EXPECT_EQ(engine::check_folder_writable("C:\\file"), -1);
    EXPECT_EQ(engine::check_folder_writable("C:\\absent"), -1);
    EXPECT_EQ(engine::check_folder_writable("relative"), -1);
    EXPECT_EQ(engine::check_folder_writable("C:\\"), 0);
    EXPECT_EQ(engine::probe_folder_writable("C:\\   "), 1);  // trailing blanks are trimmed
}

}  // namespace
