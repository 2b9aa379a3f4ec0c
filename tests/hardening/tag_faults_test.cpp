// Tag writes and removals that fail part-way: on a full device at every
// level of free room, with the temporary folder full or missing, with the
// target gone before any of their file steps, on a read-only device. A
// failure leaves the user's file byte for byte as it was and no temporary
// file behind; a success leaves exactly the file that a run without faults
// gives.
#include <gtest/gtest.h>

#include <iostream>
#include <map>

#include "fault_steps.h"
#include "hardening_support.h"
#include "tag_fixture.h"

namespace {

using namespace hardening;
using tag_testing::append;
using tag_testing::bytes;
using tag_testing::frame;
using tag_testing::latin1_text;
using testing_support::DriveMapping;
using testing_support::ScopedMount;
using testing_support::TempDir;

constexpr uintmax_t kPage = 4096;

enum class TagOp { write_v2, remove_v2, write_v1, remove_v1 };
constexpr TagOp kAllOps[] = {TagOp::write_v2, TagOp::remove_v2, TagOp::write_v1, TagOp::remove_v1};

std::string name_of(TagOp op) {
    switch (op) {
        case TagOp::write_v2: return "setid3v2";
        case TagOp::remove_v2: return "remove_id3v2_tag";
        case TagOp::write_v1: return "setid3v1";
        case TagOp::remove_v1: return "removeid3v1";
    }
    return "?";
}

int32_t call(const char* word, intptr_t value = 0) { return interface1(word, value, 0, 0); }
int32_t call(const char* word, const std::string& text) {
    return interface1(word, reinterpret_cast<intptr_t>(text.c_str()), 0, 0);
}

// One tag conversation as the control holds it; answers its status.
int32_t run(TagOp op, const std::string& file, const std::string& temp_folder) {
    switch (op) {
        case TagOp::write_v2: {
            call("definetempfolder", temp_folder);
            call("v2cleanup");
            for (const char* word : {"wv2Composer", "wv2OriginalArtist", "wv2Copyright", "wv2URL", "wv2EncodedBy",
                                     "wv2Comment", "wv2Genre", "wv2Year", "wv2Album", "wv2Artist", "wv2Title"})
                call(word, std::string("new ") + (word + 3));
            call("wv2Track", "7");
            const int32_t result = call("setid3v2", file);
            call("v2cleanup");
            return result;
        }
        case TagOp::remove_v2:
            call("definetempfolder", temp_folder);
            return call("remove_id3v2_tag", file);
        case TagOp::write_v1:
            call("wv1Title", "New title");
            call("wv1Artist", "New artist");
            call("wv1Album", "New album");
            call("wv1Year", "2024");
            call("wv1Track", 3);
            call("wv1Comment", "New comment");
            call("wv1Genre", 17);
            return call("setid3v1", file);
        case TagOp::remove_v1: return call("removeid3v1", file);
    }
    return -1;
}

// The user's file: an ID3v2.3 tag with a frame the writer carries over,
// `audio_bytes` of stand-in audio, and an ID3v1 record unless `with_v1` is false.
Bytes song(size_t audio_bytes, bool with_v1) {
    Bytes body = frame("TIT2", latin1_text("Old title"));
    append(body, frame("TPE1", latin1_text("Old artist")));
    append(body, frame("TXXX", latin1_text(std::string("mood") + '\0' + "calm")));
    Bytes out = tag_testing::tag(3, 0, body, 200);
    append(out, tag_testing::audio(audio_bytes));
    if (with_v1) {
        Bytes record = bytes("TAG");
        record.resize(128, 0);
        std::memcpy(record.data() + 3, "Old title", 9);
        append(out, record);
    }
    return out;
}

// The files a test works on: the target on a small tmpfs ("dev", drive C:),
// the temporary folder on that device or on a device of its own ("tmpdev").
class TagFaults : public ::testing::Test {
protected:
    void SetUp() override {
        if (!dev.ok()) GTEST_SKIP() << "needs root to mount a tmpfs";
        start_count = engine::tag_alloc_count.load();
    }
    void TearDown() override {
        call("v2cleanup");
        EXPECT_EQ(engine::tag_alloc_count.load(), start_count) << "tag blocks left alive";
    }

    // The bytes `op` leaves in a file holding `original` when nothing fails.
    static Bytes clean_result(TagOp op, const Bytes& original) {
        TempDir scratch;
        DriveMapping other('D', scratch.path());
        testing_support::write_file(scratch / "song.mp3", original);
        run(op, other.windows("song.mp3"), other.windows(""));
        return testing_support::read_file(scratch / "song.mp3");
    }

    // `op` on `file`; the engine's tag blocks are all given back afterwards.
    int32_t run_op(TagOp op, const std::string& on, const std::string& temp_folder) {
        const int32_t result = run(op, on, temp_folder);
        EXPECT_EQ(engine::tag_alloc_count.load(), start_count) << name_of(op) << " left tag blocks alive";
        return result;
    }

    // After a run that ended with `result`: the target is the original or the
    // clean result, and `folder` holds only the names in `expected`.
    void expect_whole(TagOp op, int32_t result, const Bytes& original, const Bytes& clean, const fs::path& folder,
                      const std::set<std::string>& expected, const std::string& context) {
        const Bytes now = testing_support::read_file(target);
        if (result == 0) {
            EXPECT_TRUE(now == clean) << name_of(op) << " succeeded with a wrong file " << context;
        } else {
            EXPECT_TRUE(now == original) << name_of(op) << " failed (" << result << ") and changed the file "
                                         << context;
        }
        EXPECT_EQ(names_in(folder), expected) << name_of(op) << " left a file behind " << context;
    }

    TempDir dir;
    ScopedMount dev{dir / "dev", 512 * 1024, false};
    DriveMapping drive{'C', dir.path()};
    fs::path target = dir / "dev" / "song.mp3";
    std::string file = drive.windows("dev\\song.mp3");
    int32_t start_count = 0;
};

// Every level of free room from none to enough for the whole operation: each
// write of the operation fails in turn (temporary file, its header, the
// audio copy, the copy over the target, the ID3v1 append across a page).
TEST_F(TagFaults, FullDeviceAtEveryLevelLeavesTheFileWholeAndNoTemporaryFile) {
    // The audio ends 50 bytes before a page boundary, so that an appended
    // ID3v1 record is cut short when no page is free.
    const size_t audio = 3 * 16384 + 4096 - 50 - song(0, false).size();
    for (const bool with_v1 : {true, false}) {
        const Bytes original = song(audio, with_v1);
        ASSERT_EQ(original.size() % kPage, with_v1 ? 78u : kPage - 50);
        for (const TagOp op : kAllOps) {
            const Bytes clean = clean_result(op, original);
            std::map<int32_t, int> results;
            for (uintmax_t free = 0; free <= 2 * original.size() + 4 * kPage; free += kPage) {
                fs::remove(dir / "dev" / "filler");
                testing_support::write_file(target, original);
                leave_free(dir / "dev" / "filler", free);
                const int32_t result = run_op(op, file, drive.windows("dev"));
                ++results[result];
                expect_whole(op, result, original, clean, dir / "dev", {"filler", "song.mp3"},
                             "with " + std::to_string(free) + " bytes free, ID3v1 " + std::to_string(with_v1));
            }
            if (op == TagOp::remove_v1 && !with_v1) {  // no record: nothing to remove
                EXPECT_EQ(results.size(), 1u);
                EXPECT_EQ(results.count(2), 1u);
                continue;
            }
            EXPECT_EQ(results.count(0), 1u) << name_of(op) << " never succeeded";
            // Only an in-place ID3v1 write and a removal by truncation need no room.
            if (op == TagOp::write_v2 || op == TagOp::remove_v2 || (op == TagOp::write_v1 && !with_v1)) {
                EXPECT_GT(results.size(), 1u) << name_of(op) << " never failed";
            }
        }
    }
}

// The temporary folder on a device of its own that is full, or missing: the
// operation fails before it touches the target.
TEST_F(TagFaults, FullOrMissingTemporaryFolder) {
    ScopedMount tmpdev(dir / "tmpdev", 64 * 1024, false);
    ASSERT_TRUE(tmpdev.ok());
    leave_free(dir / "tmpdev" / "filler", 0);
    const Bytes original = song(20000, true);
    testing_support::write_file(target, original);
    for (const TagOp op : {TagOp::write_v2, TagOp::remove_v2}) {
        const int32_t full = run_op(op, file, drive.windows("tmpdev"));
        EXPECT_NE(full, 0);
        expect_whole(op, full, original, {}, dir / "tmpdev", {"filler"}, "(temporary device full)");
        const int32_t missing = run_op(op, file, drive.windows("missing"));
        EXPECT_EQ(missing, op == TagOp::write_v2 ? 2 : 3);
        expect_whole(op, missing, original, {}, dir / "dev", {"song.mp3"}, "(temporary folder missing)");
    }
}

// The temporary folder on a roomy device and the target's device full: the
// new file is built and then cannot replace the target.
TEST_F(TagFaults, TargetDeviceFullWithTheTemporaryFolderElsewhere) {
    ScopedMount tmpdev(dir / "tmpdev", 512 * 1024, false);
    ASSERT_TRUE(tmpdev.ok());
    const Bytes original = song(20000, true);
    testing_support::write_file(target, original);
    leave_free(dir / "dev" / "filler", 0);
    for (const TagOp op : {TagOp::write_v2, TagOp::remove_v2}) {
        const int32_t result = run_op(op, file, drive.windows("tmpdev"));
        EXPECT_EQ(result, op == TagOp::write_v2 ? 7 : 5);  // the copy over the target failed
        expect_whole(op, result, original, {}, dir / "dev", {"filler", "song.mp3"}, "(target device full)");
        EXPECT_TRUE(names_in(dir / "tmpdev").empty());
    }
}

// Permission refused: the target on a read-only device, then the temporary
// folder on one.
TEST_F(TagFaults, ReadOnlyDeviceRefusesWithoutChange) {
    const Bytes original = song(20000, true);
    testing_support::write_file(target, original);
    fs::create_directory(dir / "tmp");
    dev.remount(true);
    for (const TagOp op : kAllOps) {
        const int32_t result = run_op(op, file, drive.windows("tmp"));
        EXPECT_NE(result, 0) << name_of(op);
        expect_whole(op, result, original, {}, dir / "dev", {"song.mp3"}, "(read-only target)");
        EXPECT_TRUE(names_in(dir / "tmp").empty());
    }
    dev.remount(false);
    ScopedMount rotmp(dir / "rotmp", 64 * 1024, true);
    ASSERT_TRUE(rotmp.ok());
    EXPECT_EQ(run_op(TagOp::write_v2, file, drive.windows("rotmp")), 2);
    EXPECT_EQ(run_op(TagOp::remove_v2, file, drive.windows("rotmp")), 3);
    EXPECT_EQ(testing_support::read_file(target), original);
}

// The target removed right before each file step of the operation in turn:
// a failure creates no file in its place; a success leaves the whole new file,
// or no file when the removal came after the new file was in place (the steps
// after its rename, which flush the folder). No step leaves a temporary file.
TEST_F(TagFaults, TargetVanishingBeforeEachStep) {
    const Bytes original = song(20000, true);
    fs::create_directory(dir / "tmp");
    for (const TagOp op : kAllOps) {
        const Bytes clean = clean_result(op, original);
        testing_support::write_file(target, original);
        fault_steps::arm(1 << 30, [] {});
        int renamed_at = 0;  // the step that puts the new file in place (none for a change in place)
        fault_steps::on("renameat", [&](int, const char*) { renamed_at = fault_steps::steps_seen(); });
        ASSERT_EQ(run_op(op, file, drive.windows("tmp")), 0);
        fault_steps::on("renameat", {});
        fault_steps::disarm();
        const int steps = fault_steps::steps_seen();
        ASSERT_GE(steps, 1) << name_of(op);
        const int in_place_after = renamed_at > 0 ? renamed_at : steps;
        for (int step = 1; step <= steps; ++step) {
            testing_support::write_file(target, original);
            fault_steps::arm(step, [&] { fs::remove(target); });
            const int32_t result = run_op(op, file, drive.windows("tmp"));
            ASSERT_TRUE(fault_steps::disarm());
            const std::string context = "(target removed before file step " + std::to_string(step) + " of " +
                                        std::to_string(steps) + ")";
            if (result != 0) {
                EXPECT_FALSE(fs::exists(target)) << name_of(op) << " created a file " << context;
            } else if (step <= in_place_after || fs::exists(target)) {
                EXPECT_EQ(testing_support::read_file(target), clean) << name_of(op) << " " << context;
            }
            EXPECT_TRUE(names_in(dir / "tmp").empty()) << name_of(op) << " " << context;
            EXPECT_LE(names_in(dir / "dev").size(), 1u) << name_of(op) << " " << context;
        }
        std::cout << name_of(op) << ": target removed before each of " << steps << " file steps\n";
    }
}

}  // namespace
