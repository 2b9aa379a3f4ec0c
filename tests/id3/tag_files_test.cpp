// The user's file around a tag write: only regular files are opened, what
// the file was (owner, group, mode, ACL, extended attributes, symbolic
// links, hard links) stays, and the audio comes through byte for byte.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <future>
#include <thread>

#include "tag_fixture.h"

namespace tag_testing {
namespace {

namespace fs = std::filesystem;
using testing_support::run_command;
using testing_support::shell_quote;

constexpr uid_t kNobody = 65534;
constexpr gid_t kMusicGroup = 4242;  // a group that only the test gives anyone

struct Word {
    const char* word;
    int32_t cannot_open;  // the word's result for a file that cannot be opened
};
constexpr Word kFileWords[] = {{"getid3v1", 1}, {"setid3v1", 1},        {"removeid3v1", 1},
                               {"getid3v2", 1}, {"setid3v2", 5},        {"remove_id3v2_tag", 4}};

// What a write must not change about a file.
struct FileFacts {
    uid_t uid;
    gid_t gid;
    mode_t mode;
    std::string acl;
    std::string attribute;
    bool operator==(const FileFacts&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const FileFacts& f) {
        return out << "owner " << f.uid << ":" << f.gid << " mode " << std::oct << f.mode << std::dec
                   << " user.rating \"" << f.attribute << "\" ACL\n" << f.acl;
    }
};

FileFacts facts_of(const fs::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0);
    const auto acl = run_command("getfacl --absolute-names --omit-header " + shell_quote(file.string()));
    char value[64] = "";
    const ssize_t n = ::getxattr(file.c_str(), "user.rating", value, sizeof value);
    return {info.st_uid, info.st_gid, info.st_mode & 07777, acl.output, n > 0 ? std::string(value, n) : ""};
}

// Runs `body` in a child process as the user nobody, member of `group`
// alone; answers what `body` returned, or -1 when the child failed.
int as_group_member(gid_t group, const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        const gid_t groups[] = {group};
        if (::setgroups(1, groups) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(255);
        ::_exit(body() & 0xFF);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TagFiles : public TagTest {
protected:
    void SetUp() override {
        TagTest::SetUp();
        call_text("definetempfolder", "");  // beside the target, as the control has it
    }
    // A song with an ID3v2 tag, `audio_bytes` of audio and an ID3v1 record.
    Bytes song(size_t audio_bytes = 5000) const {
        Bytes out = tag(3, 0, frame("TIT2", latin1_text("Old")), 64);
        append(out, audio(audio_bytes));
        Bytes record = bytes("TAG");
        record.resize(128, 0);
        record[3] = 'O';
        append(out, record);
        return out;
    }
    int32_t run(const std::string& word, const std::string& name) {
        if (word == "setid3v2") {
            call("v2cleanup");
            call_text("wv2Title", "New title");
        }
        if (word == "setid3v1") call_text("wv1Title", "New title");
        const int32_t result = call_text(word.c_str(), win(name));
        call("v2cleanup");
        return result;
    }
    // `word` on a thread of its own: a word that blocks (on a FIFO) fails the
    // test instead of hanging it, and the FIFO is then opened from the other
    // side to let it go.
    int32_t run_without_hanging(const std::string& word, const std::string& name) {
        std::packaged_task<int32_t()> task([&] { return run(word, name); });
        auto result = task.get_future();
        std::thread worker(std::move(task));
        const bool returned = result.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        if (!returned) {
            for (const int mode : {O_WRONLY, O_RDONLY}) {
                const int fd = ::open(host(name).c_str(), mode | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
        }
        worker.join();
        EXPECT_TRUE(returned) << word << " blocked on " << name;
        return result.get();
    }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& entry : fs::directory_iterator(dir_.path())) out.insert(entry.path().filename().string());
        return out;
    }
};

// A FIFO, devices (through links, as a user would name them) and a folder:
// every reader and writer refuses them at once, and they stay what they were.
TEST_F(TagFiles, NotARegularFileIsRefusedAtOnceAndLeftAsItWas) {
    ASSERT_EQ(::mkfifo(host("fifo.mp3").c_str(), 0666), 0);
    fs::create_symlink("/dev/null", host("null.mp3"));
    fs::create_symlink("/dev/zero", host("zero.mp3"));
    fs::create_directory(host("folder.mp3"));
    const auto before = names();
    for (const char* name : {"fifo.mp3", "null.mp3", "zero.mp3", "folder.mp3"}) {
        for (const auto& [word, cannot_open] : kFileWords)
            EXPECT_EQ(run_without_hanging(word, name), cannot_open) << word << " on " << name;
    }
    EXPECT_TRUE(fs::is_fifo(host("fifo.mp3")));
    EXPECT_TRUE(fs::is_character_file(host("null.mp3")));
    EXPECT_EQ(fs::read_symlink(host("zero.mp3")), "/dev/zero");
    EXPECT_TRUE(fs::is_empty(host("folder.mp3")));
    EXPECT_EQ(names(), before);
}

// Owner, group, mode, ACL and user attributes survive every write and
// removal of either tag.
TEST_F(TagFiles, OwnerGroupModeAclAndAttributesStay) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "giving a file away needs root";
    ZUBMP3_REQUIRE_TOOL("setfacl");
    write("a.mp3", song());
    ASSERT_EQ(::chown(host("a.mp3").c_str(), kNobody, kMusicGroup), 0);
    ASSERT_EQ(::chmod(host("a.mp3").c_str(), 0640), 0);
    ASSERT_EQ(run_command("setfacl -m u:daemon:rw " + shell_quote(host("a.mp3").string())).status, 0);
    ASSERT_EQ(::setxattr(host("a.mp3").c_str(), "user.rating", "5 stars", 7, 0), 0);
    const FileFacts before = facts_of(host("a.mp3"));
    ASSERT_NE(before.acl.find("user:daemon:rw-"), std::string::npos) << before.acl;
    for (const char* word : {"setid3v2", "remove_id3v2_tag", "setid3v2", "setid3v1", "removeid3v1"}) {
        ASSERT_EQ(run(word, "a.mp3"), 0) << word;
        EXPECT_EQ(facts_of(host("a.mp3")), before) << "after " << word;
    }
    EXPECT_EQ(names(), (std::set<std::string>{"a.mp3", "tmp"}));
}

// A link stays a link: the file it points to is rewritten, in its own folder.
TEST_F(TagFiles, SymbolicLinkStaysALink) {
    fs::create_directory(host("real"));
    const Bytes original = song();
    write("real/song.mp3", original);
    fs::create_symlink("real/song.mp3", host("link.mp3"));
    for (const char* word : {"setid3v2", "setid3v1", "remove_id3v2_tag", "removeid3v1"}) {
        ASSERT_EQ(run(word, "link.mp3"), 0) << word;
        EXPECT_TRUE(fs::is_symlink(host("link.mp3"))) << word;
    }
    EXPECT_EQ(read("real/song.mp3"), audio());  // both tags written, then both removed
    EXPECT_EQ(names(), (std::set<std::string>{"link.mp3", "real", "tmp"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(host("real")), fs::directory_iterator()), 1);
}

// A file with another name: every write and removal, ID3v1 as ID3v2, gives
// the name written to a new file (the same as without the link) and leaves
// the other name with the file as it was.
TEST_F(TagFiles, HardLinksKeepTheOldFileUnderTheOtherName) {
    const Bytes original = song();
    for (const char* word : {"setid3v2", "remove_id3v2_tag", "setid3v1", "removeid3v1"}) {
        write("alone.mp3", original);
        ASSERT_EQ(run(word, "alone.mp3"), 0) << word;
        fs::remove(host("other.mp3"));
        write("a.mp3", original);
        fs::create_hard_link(host("a.mp3"), host("other.mp3"));
        ASSERT_EQ(run(word, "a.mp3"), 0) << word;
        EXPECT_EQ(read("a.mp3"), read("alone.mp3")) << word;
        EXPECT_EQ(read("other.mp3"), original) << word;
        EXPECT_EQ(fs::hard_link_count(host("other.mp3")), 1u) << word;
    }
    EXPECT_EQ(names(), (std::set<std::string>{"a.mp3", "alone.mp3", "other.mp3", "tmp"}));
}

// A member of the file's group may change the file but cannot give a new
// file to its owner: a rewrite is refused and the file left as it was; an
// ID3v1 write in place goes through and keeps the owner.
TEST_F(TagFiles, GroupMemberCannotReplaceAnotherUsersFile) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "changing user needs root";
    fs::permissions(dir_.path(), fs::perms(0755));
    fs::create_directory(host("shared"));
    ASSERT_EQ(::chown(host("shared").c_str(), 0, kMusicGroup), 0);
    fs::permissions(host("shared"), fs::perms(0775));
    const Bytes original = song();
    write("shared/a.mp3", original);
    ASSERT_EQ(::chown(host("shared/a.mp3").c_str(), 0, kMusicGroup), 0);
    fs::permissions(host("shared/a.mp3"), fs::perms(0664));

    EXPECT_EQ(as_group_member(kMusicGroup, [&] { return run("setid3v2", "shared\\a.mp3"); }), 10);
    EXPECT_EQ(as_group_member(kMusicGroup, [&] { return run("remove_id3v2_tag", "shared\\a.mp3"); }), 7);
    EXPECT_EQ(read("shared/a.mp3"), original);
    fs::create_hard_link(host("shared/a.mp3"), host("shared/b.mp3"));
    EXPECT_EQ(as_group_member(kMusicGroup, [&] { return run("setid3v1", "shared\\a.mp3"); }), 6);
    EXPECT_EQ(read("shared/a.mp3"), original);
    fs::remove(host("shared/b.mp3"));
    EXPECT_EQ(as_group_member(kMusicGroup, [&] { return run("setid3v1", "shared\\a.mp3"); }), 0);
    EXPECT_EQ(facts_of(host("shared/a.mp3")).uid, 0u);
    EXPECT_NE(read("shared/a.mp3"), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(host("shared")), fs::directory_iterator()), 1);
}

// Audio of several MiB (more than one copy block) comes through byte for
// byte, beside the file and from a temporary folder on another device.
TEST_F(TagFiles, LargeAudioIsCopiedByteForByte) {
    const Bytes original = song(3 * 1024 * 1024 + 12345);
    const Bytes rest(original.end() - 3 * 1024 * 1024 - 12345 - 128, original.end());
    const auto after_tag = [](const Bytes& file) {
        const size_t size = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
        return Bytes(file.begin() + static_cast<std::ptrdiff_t>(size), file.end());
    };
    write("a.mp3", original);
    ASSERT_EQ(run("setid3v2", "a.mp3"), 0);
    EXPECT_EQ(after_tag(read("a.mp3")), rest);
    ASSERT_EQ(run("remove_id3v2_tag", "a.mp3"), 0);
    EXPECT_EQ(read("a.mp3"), rest);

    if (!testing_support::running_as_root()) return;
    testing_support::ScopedMount elsewhere(host("elsewhere"), 16 << 20, false);
    ASSERT_TRUE(elsewhere.ok());
    write("a.mp3", original);
    call_text("definetempfolder", win("elsewhere"));
    ASSERT_EQ(run("setid3v2", "a.mp3"), 0);
    EXPECT_EQ(after_tag(read("a.mp3")), rest);
    EXPECT_TRUE(fs::is_empty(host("elsewhere")));
}

}  // namespace
}  // namespace tag_testing
