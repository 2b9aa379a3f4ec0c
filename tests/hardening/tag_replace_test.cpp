// The new file of an ID3v2 write against another local user and against a
// writer killed half-way: a link planted where the new file is made is never
// followed, a new file swapped for a link before it takes its place is not
// put there, the new file is private while it is written, a killed writer's
// file is removed by the next write in its folder, and a living writer's is not.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "fault_steps.h"
#include "hardening_support.h"
#include "interface1.h"
#include "tag_fixture.h"

namespace {

using namespace hardening;
using tag_testing::append;
using tag_testing::frame;
using tag_testing::latin1_text;
using testing_support::DriveMapping;
using testing_support::TempDir;

int32_t call(const char* word, const std::string& text) {
    return interface1(word, reinterpret_cast<intptr_t>(text.c_str()), 0, 0);
}

// "setid3v2" with a new title, the new file built beside the file.
int32_t write_title(const std::string& file, const std::string& title) {
    interface1("v2cleanup", 0, 0, 0);
    call("definetempfolder", "");
    call("wv2Title", title);
    const int32_t result = call("setid3v2", file);
    interface1("v2cleanup", 0, 0, 0);
    return result;
}

// ".zubmp3-" 16 lower-case hex digits ".tmp"
bool is_new_file_name(const std::string& name) {
    const std::string prefix = ".zubmp3-", suffix = ".tmp";
    return name.size() == prefix.size() + 16 + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix) &&
           name.find_first_not_of("0123456789abcdef", prefix.size()) == name.size() - suffix.size();
}

std::vector<std::string> new_files_in(const fs::path& folder) {
    std::vector<std::string> found;
    for (const std::string& name : names_in(folder))
        if (is_new_file_name(name)) found.push_back(name);
    return found;
}

Bytes song(size_t audio_bytes = 20000) {
    Bytes out = tag_testing::tag(3, 0, frame("TIT2", latin1_text("Old title")), 100);
    append(out, tag_testing::audio(audio_bytes));
    return out;
}

// A writer in a child process, held in the middle of its copy until told to
// go on (or killed).
class HeldWriter {
public:
    HeldWriter(const std::string& file, const std::string& title) {
        int ready[2], go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ == 0) {
            fault_steps::on("copy_file_range", [&](int, const char*) {
                fault_steps::on("copy_file_range", {});
                char byte = 'r';
                if (::write(ready[1], &byte, 1) != 1 || ::read(go[0], &byte, 1) != 1) ::_exit(100);
            });
            ::_exit(write_title(file, title));
        }
        ::close(ready[1]);
        ::close(go[0]);
        go_ = go[1];
        char byte = 0;
        held_ = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~HeldWriter() {
        if (pid_ > 0) kill();
    }
    bool held() const { return held_; }
    // Lets the writer finish; answers its result.
    int finish() {
        char byte = 'g';
        if (::write(go_, &byte, 1) != 1) return -1;
        return wait();
    }
    void kill() {
        ::kill(pid_, SIGKILL);
        wait();
    }

private:
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
        ::close(go_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid_ = 0;
    int go_ = -1;
    bool held_ = false;
};

class NewFiles : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* call_name : {"openat", "renameat", "fsync", "copy_file_range"}) fault_steps::on(call_name, {});
    }
    // `name` holding `content` with `mode`.
    fs::path make(const std::string& name, const Bytes& content, fs::perms mode = fs::perms(0644)) {
        testing_support::write_file(dir / name, content);
        fs::permissions(dir / name, mode);
        return dir / name;
    }
    // What a write of `title` gives `content` when nothing interferes.
    Bytes clean_write(const Bytes& content, const std::string& title) {
        TempDir scratch;
        DriveMapping other('D', scratch.path());
        testing_support::write_file(scratch / "song.mp3", content);
        EXPECT_EQ(write_title(other.windows("song.mp3"), title), 0);
        return testing_support::read_file(scratch / "song.mp3");
    }

    TempDir dir;
    DriveMapping drive{'C', dir.path()};
    const Bytes secret = testing_support::Bytes{'s', 'e', 'c', 'r', 'e', 't'};
};

// Another user plants a link to the victim's private file at the name the
// new file is about to get: the link is not followed, and the write makes
// its file under another name.
TEST_F(NewFiles, LinkPlantedAtTheNewNameIsNotFollowed) {
    const fs::path victim = make("private.txt", secret, fs::perms(0600));
    const Bytes original = song();
    make("song.mp3", original);
    std::string planted;
    fault_steps::on("openat", [&](int folder, const char* name) {
        if (planted.empty() && is_new_file_name(name) && ::symlinkat(victim.c_str(), folder, name) == 0)
            planted = name;
    });
    ASSERT_EQ(write_title(drive.windows("song.mp3"), "New"), 0);
    fault_steps::on("openat", {});
    ASSERT_FALSE(planted.empty());
    EXPECT_EQ(testing_support::read_file(victim), secret);
    EXPECT_TRUE(fs::is_symlink(dir / planted));
    EXPECT_EQ(testing_support::read_file(dir / "song.mp3"), clean_write(original, "New"));
    EXPECT_EQ(fs::status(dir / "song.mp3").permissions(), fs::perms(0644));
}

// The new file is moved away and a link put in its place before it would
// take the file's place: the link does not replace the file, and the write
// fails with the file and the victim's file as they were.
TEST_F(NewFiles, NewFileSwappedForALinkIsNotPutInPlace) {
    const fs::path victim = make("private.txt", secret, fs::perms(0600));
    const Bytes original = song();
    make("song.mp3", original);
    fault_steps::on("fsync", [&](int, const char*) {
        fault_steps::on("fsync", {});
        for (const std::string& name : new_files_in(dir.path())) {
            fs::rename(dir / name, dir / "moved.tmp");
            fs::create_symlink(victim, dir / name);
        }
    });
    EXPECT_EQ(write_title(drive.windows("song.mp3"), "New"), 7);
    EXPECT_EQ(testing_support::read_file(dir / "song.mp3"), original);
    EXPECT_FALSE(fs::is_symlink(dir / "song.mp3"));
    EXPECT_EQ(testing_support::read_file(victim), secret);
}

// Two writers in one folder, one of them killed while it copies: the living
// writer's file stays through a third write, the killed writer's file is
// recognised and removed by the next write, and the file it was writing is
// as it was. The living writer then finishes its write.
TEST_F(NewFiles, KilledWritersFileIsRemovedLivingWritersFileIsNot) {
    const Bytes original = song(200000);
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) make(name, original, fs::perms(0644));

    HeldWriter living(drive.windows("a.mp3"), "Living");
    ASSERT_TRUE(living.held());
    const auto living_files = new_files_in(dir.path());
    ASSERT_EQ(living_files.size(), 1u);
    // Private while it is written, whatever the mode of the file it replaces.
    EXPECT_EQ(fs::status(dir / living_files[0]).permissions(), fs::perms(0600));

    ASSERT_EQ(write_title(drive.windows("b.mp3"), "Third"), 0);
    EXPECT_EQ(new_files_in(dir.path()), living_files);

    {
        HeldWriter killed(drive.windows("c.mp3"), "Killed");
        ASSERT_TRUE(killed.held());
        killed.kill();
    }
    EXPECT_EQ(new_files_in(dir.path()).size(), 2u) << "the killed writer left no file";
    EXPECT_EQ(testing_support::read_file(dir / "c.mp3"), original);

    ASSERT_EQ(write_title(drive.windows("b.mp3"), "Fourth"), 0);
    EXPECT_EQ(new_files_in(dir.path()), living_files);

    EXPECT_EQ(living.finish(), 0);
    EXPECT_TRUE(new_files_in(dir.path()).empty());
    EXPECT_EQ(testing_support::read_file(dir / "a.mp3"), clean_write(original, "Living"));
    EXPECT_EQ(names_in(dir.path()), (std::set<std::string>{"a.mp3", "b.mp3", "c.mp3"}));
}

}  // namespace
