#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <set>
#include <thread>

#include "platform/win32.h"
#include "test_support.h"

namespace ts = testing_support;
namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    ts::TempDir dir_;
    ts::DriveMapping drive_{'C', dir_.path()};
    std::string win(const std::string& relative) const { return drive_.windows(relative); }
};

TEST_F(FilesTest, AttributesFollowModeAndName) {
    fs::create_directory(dir_ / "folder");
    ts::write_file(dir_ / "plain.mp3", "x");
    ts::write_file(dir_ / ".hidden.mp3", "x");
    ts::write_file(dir_ / "locked.mp3", "x");
    fs::permissions(dir_ / "locked.mp3", fs::perms::owner_read | fs::perms::group_read);

    EXPECT_EQ(GetFileAttributesA(win("folder").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(win("folder\\").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(win("plain.mp3").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA(win(".hidden.mp3").c_str()), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesA(win("locked.mp3").c_str()), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributesA(win("missing.mp3").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA("Q:\\absent-drive.mp3"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, ReadOnlyAttributeClearsAndRestoresWriteBits) {
    ts::write_file(dir_ / "a.mp3", "x");
    fs::permissions(dir_ / "a.mp3", fs::perms(0664));
    ASSERT_TRUE(SetFileAttributesA(win("a.mp3").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(fs::status(dir_ / "a.mp3").permissions(), fs::perms(0444));
    ASSERT_TRUE(SetFileAttributesA(win("a.mp3").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(fs::status(dir_ / "a.mp3").permissions(), fs::perms(0644));
}

TEST_F(FilesTest, CreateDirectoryReportsExistingFolder) {
    EXPECT_TRUE(CreateDirectoryA(win("new").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(win("new").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryA("Q:\\x", nullptr));
}

TEST_F(FilesTest, TempFileNamesAreUniqueUnderConcurrency) {
    const std::string folder = win("");
    std::vector<std::vector<std::string>> names(4);
    std::vector<std::thread> workers;
    for (auto& list : names) {
        workers.emplace_back([&list, &folder] {
            for (int i = 0; i < 300; ++i) {
                char name[MAX_PATH];
                if (GetTempFileNameA(folder.c_str(), "zubmp3", 0, name) != 0) list.push_back(name);
            }
        });
    }
    for (auto& w : workers) w.join();
    std::set<std::string> unique;
    for (const auto& list : names) {
        EXPECT_EQ(list.size(), 300u);
        unique.insert(list.begin(), list.end());
    }
    EXPECT_EQ(unique.size(), 1200u);
    const std::string sample = *unique.begin();
    EXPECT_EQ(sample.rfind(win("zub"), 0), 0u) << sample;  // prefix cut to three characters
    EXPECT_EQ(sample.substr(sample.size() - 4), ".tmp");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1200);
}

TEST_F(FilesTest, TempFileNameFailsOnMissingFolder) {
    char name[MAX_PATH] = "unchanged";
    EXPECT_EQ(GetTempFileNameA(win("nope\\").c_str(), "zub", 0, name), 0u);
    EXPECT_EQ(GetTempFileNameA(std::string(300, 'a').c_str(), "zub", 0, name), 0u);  // would overrun MAX_PATH
}

// A number of the caller's own only names the file: nothing is created.
TEST_F(FilesTest, TempFileNameWithAGivenNumberCreatesNothing) {
    char name[MAX_PATH] = {};
    EXPECT_EQ(GetTempFileNameA(win("").c_str(), "zubmp3", 0x1A2B, name), 0x1A2Bu);
    EXPECT_EQ(std::string(name), win("zub1A2B.tmp"));
    EXPECT_TRUE(fs::is_empty(dir_.path()));
    EXPECT_EQ(GetTempFileNameA(win("").c_str(), "zub", 0x31A2B, name), 0x31A2Bu);  // 16 bits of it name the file
    EXPECT_EQ(std::string(name), win("zub1A2B.tmp"));
    std::strcpy(name, "unchanged");
    EXPECT_EQ(GetTempFileNameA(std::string(300, 'a').c_str(), "zub", 7, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_STREQ(name, "unchanged");
}

TEST_F(FilesTest, CopyReplacesTargetAndKeepsItsMode) {
    ts::write_file(dir_ / "src.tmp", "new content");
    ts::write_file(dir_ / "dst.mp3", "old");
    fs::permissions(dir_ / "dst.mp3", fs::perms(0640));
    ASSERT_TRUE(CopyFileA(win("src.tmp").c_str(), win("dst.mp3").c_str(), FALSE));
    EXPECT_EQ(ts::read_file(dir_ / "dst.mp3"), ts::read_file(dir_ / "src.tmp"));
    EXPECT_EQ(fs::status(dir_ / "dst.mp3").permissions(), fs::perms(0640));
    EXPECT_FALSE(CopyFileA(win("src.tmp").c_str(), win("dst.mp3").c_str(), TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
}

TEST_F(FilesTest, FailedCopyLeavesTargetIntact_SourceVanished) {
    ts::write_file(dir_ / "dst.mp3", "precious");
    EXPECT_FALSE(CopyFileA(win("gone.tmp").c_str(), win("dst.mp3").c_str(), FALSE));
    EXPECT_EQ(ts::read_file(dir_ / "dst.mp3"), ts::Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
}

TEST_F(FilesTest, FailedCopyLeavesTargetIntact_DeviceFull) {
    if (!ts::running_as_root()) GTEST_SKIP() << "needs root to mount a small file system";
    ts::ScopedMount small(dir_ / "small", 64 * 1024, false);
    ASSERT_TRUE(small.ok());
    const ts::Bytes precious(20000, 0x5A);
    ts::write_file(dir_ / "small" / "dst.mp3", precious);
    ts::write_file(dir_ / "big.tmp", ts::Bytes(200000, 0x11));
    EXPECT_FALSE(CopyFileA(win("big.tmp").c_str(), win("small\\dst.mp3").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
    EXPECT_EQ(ts::read_file(dir_ / "small" / "dst.mp3"), precious);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "small"), fs::directory_iterator()), 1);  // no leftovers
}

TEST_F(FilesTest, FailedCopyLeavesTargetIntact_FolderWithoutRights) {
    if (!ts::running_as_root()) GTEST_SKIP() << "needs root to mount a read-only file system";
    ts::ScopedMount mount(dir_ / "ro", 64 * 1024, false);
    ASSERT_TRUE(mount.ok());
    ts::write_file(dir_ / "ro" / "dst.mp3", "precious");
    mount.remount(true);
    ts::write_file(dir_ / "src.tmp", "replacement");
    EXPECT_FALSE(CopyFileA(win("src.tmp").c_str(), win("ro\\dst.mp3").c_str(), FALSE));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ts::read_file(dir_ / "ro" / "dst.mp3"), ts::Bytes({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
}

TEST_F(FilesTest, TruncationThroughFileHandles) {
    ts::write_file(dir_ / "a.mp3", "0123456789");
    HANDLE file = CreateFileA(win("a.mp3").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_TRUE(SetEndOfFile(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(fs::file_size(dir_ / "a.mp3"), 4u);
    EXPECT_EQ(CreateFileA(win("none.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, FopenOnWindowsPaths) {
    FILE* file = win_fopen(win("b.bin").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fputs("abc", file);
    fclose(file);
    EXPECT_EQ(fs::file_size(dir_ / "b.bin"), 3u);
    EXPECT_EQ(win_fopen("Q:\\b.bin", "rb"), nullptr);
    EXPECT_TRUE(DeleteFileA(win("b.bin").c_str()));
    EXPECT_FALSE(DeleteFileA(win("b.bin").c_str()));
}

// Device and inode of a path's file, through a handle opened for its information only.
struct Identity {
    DWORD volume = 0, index_high = 0, index_low = 0;
    bool operator==(const Identity&) const = default;
};
std::optional<Identity> identity_of(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return Identity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

TEST_F(FilesTest, IdentityIsTheFileNotTheName) {
    ts::write_file(dir_ / "a.wav", "samples");
    ts::write_file(dir_ / "b.wav", "samples");
    fs::create_hard_link(dir_ / "a.wav", dir_ / "hard.mp3");
    fs::create_symlink(dir_ / "a.wav", dir_ / "soft.mp3");
    const auto a = identity_of(win("a.wav"));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(identity_of(win("hard.mp3")), a);
    EXPECT_EQ(identity_of(win("soft.mp3")), a);
    EXPECT_NE(identity_of(win("b.wav")), a);
    EXPECT_EQ(identity_of(win("none.wav")), std::nullopt);
    // A file put in place under the old name is another file.
    fs::remove(dir_ / "a.wav");
    ts::write_file(dir_ / "a.wav", "samples");
    EXPECT_NE(identity_of(win("a.wav")), a);
    // Even without the right to read it.
    fs::permissions(dir_ / "b.wav", fs::perms::none);
    EXPECT_TRUE(identity_of(win("b.wav")).has_value());
}

TEST_F(FilesTest, InformationGivesSizeLinksAndAttributes) {
    ts::write_file(dir_ / "a.mp3", std::string(5000, 'x'));
    fs::create_hard_link(dir_ / "a.mp3", dir_ / "b.mp3");
    HANDLE file = CreateFileA(win("a.mp3").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(file, &info));
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_EQ(info.nFileSizeLow, 5000u);
    EXPECT_EQ(info.nNumberOfLinks, 2u);
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    CloseHandle(file);
    EXPECT_FALSE(GetFileInformationByHandle(INVALID_HANDLE_VALUE, &info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FilesTest, OpenAlwaysTellsWhetherTheFileWasThere) {
    ts::write_file(dir_ / "old.mp3", "keep me");
    HANDLE old_file = CreateFileA(win("old.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(old_file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(old_file);
    EXPECT_EQ(ts::read_file(dir_ / "old.mp3").size(), 7u);  // not truncated

    HANDLE new_file = CreateFileA(win("new.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(new_file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(new_file);
    EXPECT_TRUE(fs::exists(dir_ / "new.mp3"));

    // A dangling link: its target is created, and the name counts as there.
    fs::create_symlink(dir_ / "target.mp3", dir_ / "link.mp3");
    HANDLE linked = CreateFileA(win("link.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(linked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(linked);
    EXPECT_TRUE(fs::exists(dir_ / "target.mp3"));

    fs::create_directory(dir_ / "folder.mp3");
    EXPECT_EQ(CreateFileA(win("folder.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

TEST_F(FilesTest, StreamTakesAFileHandleOver) {
    HANDLE file = CreateFileA(win("s.mp3").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    ASSERT_GE(descriptor, 0);
    FILE* stream = _fdopen(descriptor, "wb");
    ASSERT_NE(stream, nullptr);
    fputs("abc", stream);
    EXPECT_EQ(fclose(stream), 0);
    EXPECT_EQ(fs::file_size(dir_ / "s.mp3"), 3u);
    EXPECT_EQ(_open_osfhandle(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE), 0), -1);
}

TEST_F(FilesTest, LockHoldsOffASecondOpenOfTheFile) {
    const std::string path = win("locked.mp3");
    HANDLE first = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    HANDLE second = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(LockFile(first, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_FALSE(LockFile(second, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));  // in the same process too
    EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
    // The lock goes with the descriptor that takes the handle over, and ends with it.
    FILE* stream = _fdopen(_open_osfhandle(reinterpret_cast<intptr_t>(first), 0), "wb");
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(LockFile(second, 0, 0, 1, 0));
    fclose(stream);
    EXPECT_TRUE(LockFile(second, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_TRUE(UnlockFile(second, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF));
    CloseHandle(second);
}

TEST_F(FilesTest, RemoveDirectoryTakesOnlyEmptyFolders) {
    fs::create_directories(dir_ / "a" / "b");
    EXPECT_FALSE(RemoveDirectoryA(win("a").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(RemoveDirectoryA(win("a\\b").c_str()));
    EXPECT_TRUE(RemoveDirectoryA(win("a").c_str()));
    EXPECT_FALSE(fs::exists(dir_ / "a"));
}

}  // namespace
