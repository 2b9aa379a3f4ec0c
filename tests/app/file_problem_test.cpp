#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "file_problem.h"
#include "test_support.h"

using zubmp3::app::file_problem;
using zubmp3::app::FileNeed;
using namespace testing_support;

namespace {

std::string problem(const fs::path& path, FileNeed need) {
    return file_problem(path.string(), need).value_or("");
}

TEST(FileProblem, UsableFilesHaveNone) {
    TempDir dir;
    write_file(dir / "a.mp3", std::string("x"));
    for (const FileNeed need : {FileNeed::read, FileNeed::write, FileNeed::create})
        EXPECT_EQ(problem(dir / "a.mp3", need), "");
    fs::create_symlink(dir / "a.mp3", dir / "link.mp3");  // followed, as the control does
    EXPECT_EQ(problem(dir / "link.mp3", FileNeed::write), "");
    // An output whose folders are still to be made.
    EXPECT_EQ(problem(dir / "new" / "deeper" / "out.mp3", FileNeed::create), "");
}

TEST(FileProblem, WhatIsWrongInWords) {
    TempDir dir;
    write_file(dir / "file", std::string("x"));
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "gone", dir / "dangling");

    EXPECT_EQ(problem(dir / "missing.mp3", FileNeed::read), "not found");
    EXPECT_EQ(problem(dir / "missing.mp3", FileNeed::write), "not found");
    EXPECT_EQ(problem(dir / "dangling", FileNeed::read), "not found");
    EXPECT_EQ(problem(dir / "file" / "x.mp3", FileNeed::read), "not found (a part of its path is not a folder)");
    EXPECT_EQ(problem(dir / "file" / "new" / "x.mp3", FileNeed::create),
              "its folder " + (dir / "file").string() + " is a file");
    for (const FileNeed need : {FileNeed::read, FileNeed::write, FileNeed::create}) {
        EXPECT_EQ(problem(dir / "folder", need), "is a folder");
        EXPECT_EQ(problem(dir / "fifo", need), "is not a regular file");  // and does not wait for a writer
    }
    EXPECT_EQ(problem("", FileNeed::read), "not found");
    EXPECT_EQ(problem("Q:\\music\\a.mp3", FileNeed::read), "names a drive or share that is not mapped");
}

// Root reads and writes every file: as root, the checks run as "nobody".
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::geteuid() == 0) active_ = ::seteuid(65534) == 0;
    }
    ~AsOrdinaryUser() {
        if (active_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }

private:
    bool active_ = false;
};

TEST(FileProblem, PermissionsAsTheUserHasThem) {
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);
    write_file(dir / "locked", std::string("x"));
    write_file(dir / "read-only", std::string("x"));
    fs::create_directory(dir / "closed");
    write_file(dir / "closed" / "inside", std::string("x"));
    fs::permissions(dir / "locked", fs::perms::none);
    fs::permissions(dir / "read-only", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir / "closed", fs::perms::none);

    AsOrdinaryUser user;
    if (::geteuid() == 0) GTEST_SKIP() << "cannot leave root";
    EXPECT_EQ(problem(dir / "locked", FileNeed::read), "no permission to read it");
    EXPECT_EQ(problem(dir / "read-only", FileNeed::read), "");
    EXPECT_EQ(problem(dir / "read-only", FileNeed::write), "is read-only");
    EXPECT_EQ(problem(dir / "closed" / "inside", FileNeed::read), "no permission to reach it");
}

}  // namespace
