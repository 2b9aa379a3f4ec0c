// Encoding jobs through interface1 of the engine library loaded as the control
// loads it: start and cancel cycles with pause and resume in between and the
// library unloaded under running jobs, and jobs writing to full devices.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>

#include "hardening_support.h"
#include "interface1.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

using namespace hardening;
using testing_support::DriveMapping;
using testing_support::ScopedMount;
using testing_support::TempDir;

const fs::path kEngine = fs::path(ZUBMP3_BUILD_LIB_DIR) / "libzubmp3enc2.so";

bool engine_mapped() { return testing_support::library_mapped(kEngine.string()); }

// The engine library, loaded by path through the platform's loader.
class Engine {
public:
    Engine() {
        module_ = LoadLibraryA(platform::to_windows_path((kEngine.parent_path() / "zubmp3enc2.dll").string()).c_str());
        if (module_ != nullptr) call_ = reinterpret_cast<zubmp3::Interface1Function>(GetProcAddress(module_, "interface1"));
    }
    ~Engine() { unload(); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    bool ok() const { return call_ != nullptr; }
    int32_t operator()(const char* word, intptr_t value = 0) const { return call_(word, value, 0, 0); }
    int32_t pass_files(const std::string& input, const std::string& output) const {
        return call_("passfiles", reinterpret_cast<intptr_t>(input.c_str()), reinterpret_cast<intptr_t>(output.c_str()),
                     0);
    }
    int32_t wait() const {
        while ((*this)("intreturn") == 1000) Sleep(2);
        return (*this)("intreturn");
    }
    // Every load undone, as the control's last release does.
    void unload() {
        if (module_ != nullptr)
            while (FreeLibrary(module_)) {
            }
        module_ = nullptr;
        call_ = nullptr;
    }

private:
    HMODULE module_ = nullptr;
    zubmp3::Interface1Function call_ = nullptr;
};

bool mpg123_decodes(const fs::path& mp3, std::string& messages) {
    const auto result = testing_support::run_command("mpg123 -q -t " + testing_support::shell_quote(mp3.string()) +
                                                     " 2>&1");
    messages = result.output;
    return result.status == 0 && result.output.empty();
}

class JobLoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kEngine)) << "the engine library is not built";
        ZUBMP3_REQUIRE_TOOL("mpg123");
        testing_support::write_wav(dir / "in.wav", {2, 44100, 16, 1, 1.0});
    }

    TempDir dir;
    DriveMapping drive{'C', dir.path()};
    std::string input = drive.windows("in.wav");
};

TEST_F(JobLoad, ThousandStartCancelCyclesWithPauseStormsAndUnloads) {
    const int cycles = 1000;
    auto engine = std::make_unique<Engine>();
    ASSERT_TRUE(engine->ok());
    // A first job, joined: helper threads that a runtime (a sanitizer) starts
    // with the first thread exist from then on.
    ASSERT_EQ(engine->pass_files(input, drive.windows("warm.mp3")), 0);
    ASSERT_EQ(engine->wait(), 0);
    (*engine)("cancel");
    const size_t threads = thread_count();
    const std::string output = drive.windows("cycle.mp3");
    int cancelled = 0, unloads = 0, decoded = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        ASSERT_EQ(engine->pass_files(input, output), 0) << "cycle " << cycle;
        for (int storm = 0; storm < cycle % 8; ++storm) {
            (*engine)("pause");
            (*engine)("resume");
        }
        if (cycle % 100 == 0) {
            // Unloaded with the job paused: the library stops the job and
            // waits for its worker before it goes.
            (*engine)("pause");
            engine.reset();
            ++unloads;
            ASSERT_FALSE(engine_mapped()) << "cycle " << cycle;
            ASSERT_EQ(thread_count(), threads) << "a worker outlived the engine, cycle " << cycle;
            engine = std::make_unique<Engine>();
            ASSERT_TRUE(engine->ok());
            continue;
        }
        if (cycle % 50 == 0) {  // cancelled mid-way
            while ((*engine)("progress") < 20 && (*engine)("intreturn") == 1000) Sleep(1);
        }
        ASSERT_EQ((*engine)("cancel"), 0);
        const int32_t status = (*engine)("intreturn");
        ASSERT_TRUE(status == 112 || status == 0) << "cycle " << cycle << " ended with " << status;
        cancelled += status == 112;
        ASSERT_EQ(thread_count(), threads) << "cycle " << cycle;
        if (cycle % 50 == 0) {
            std::string messages;
            EXPECT_TRUE(mpg123_decodes(dir / "cycle.mp3", messages)) << "cycle " << cycle << ": " << messages;
            ++decoded;
        }
    }
    engine.reset();
    EXPECT_FALSE(engine_mapped());
    EXPECT_EQ(thread_count(), threads);
    std::cout << cycles << " start/cancel cycles: " << cancelled << " cancelled, " << unloads
              << " unloads under a paused job, " << decoded << " cancelled MP3s decoded by mpg123\n";
}

// Every level of free room from none to enough for the whole MP3: the job
// ends with 107 (or 104 / 111) until the MP3 fits, and then with 0 and the
// same file as on a roomy device.
TEST_F(JobLoad, FullDeviceEndsWithAnHonestStatus) {
    ScopedMount dev(dir / "dev", 256 * 1024, false);
    if (!dev.ok()) GTEST_SKIP() << "needs root to mount a tmpfs";
    Engine engine;
    ASSERT_TRUE(engine.ok());
    ASSERT_EQ(engine.pass_files(input, drive.windows("clean.mp3")), 0);
    ASSERT_EQ(engine.wait(), 0);
    const Bytes clean = testing_support::read_file(dir / "clean.mp3");
    const uintmax_t page = 4096;
    int failures = 0;
    for (uintmax_t free = 0; free <= clean.size() + 2 * page; free += page) {
        fs::remove(dir / "dev" / "song.mp3");
        fs::remove(dir / "dev" / "filler");
        leave_free(dir / "dev" / "filler", free);
        ASSERT_EQ(engine.pass_files(input, drive.windows("dev\\song.mp3")), 0);
        const int32_t status = engine.wait();
        const std::string context = std::to_string(free) + " bytes free";
        if (free < clean.size()) {
            EXPECT_TRUE(status == 104 || status == 107 || status == 111) << status << " with " << context;
            ++failures;
        } else {
            EXPECT_EQ(status, 0) << context;
            EXPECT_EQ(testing_support::read_file(dir / "dev" / "song.mp3"), clean) << context;
        }
    }
    EXPECT_GT(failures, 3);

    // No inode left: the folder cannot be written to.
    ScopedMount few(dir / "few", 256 * 1024, false, "nr_inodes=16");
    ASSERT_TRUE(few.ok());
    ASSERT_GT(use_up_inodes(dir / "few"), 0);
    ASSERT_EQ(engine.pass_files(input, drive.windows("few\\song.mp3")), 0);
    const int32_t status = engine.wait();
    EXPECT_TRUE(status == 104 || status == 111) << status;
    EXPECT_FALSE(fs::exists(dir / "few" / "song.mp3"));
}

// A job cancelled at any point leaves an MP3 that mpg123 decodes without a
// complaint: before its first chunk, while paused, and at several points of
// the encoding.
// The input is long: the encoder reads a few segments of seconds ahead of
// its output, and a cancel must find it still reading.
TEST_F(JobLoad, CancelledJobsLeaveDecodableFiles) {
    Engine engine;
    ASSERT_TRUE(engine.ok());
    testing_support::write_wav(dir / "long.wav", {2, 44100, 16, 1, 60.0});
    const std::string long_input = drive.windows("long.wav");
    for (const int percent : {0, 10, 35, 60, 90}) {
        const std::string name = std::to_string(percent) + "percent.mp3";
        ASSERT_EQ(engine.pass_files(long_input, drive.windows(name)), 0);
        while (engine("progress") < percent && engine("intreturn") == 1000) Sleep(1);
        if (percent == 35) engine("pause");
        engine("cancel");
        const int32_t status = engine("intreturn");
        EXPECT_TRUE(status == 112 || (status == 0 && percent == 90)) << status;
        std::string messages;
        EXPECT_TRUE(mpg123_decodes(dir / name, messages)) << name << ": " << messages;
    }
}

}  // namespace
