// Encoding through the control with the real engine and encoder library:
// event sequences from a real event loop and real jobs.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <memory>
#include <thread>

#include "real_engine.h"

namespace {

using namespace real_engine;
using namespace std::chrono_literals;
using zubmp3::EventLoop;
using zubmp3::Text;
using zubmp3::ZUBEncode;
using Log = std::vector<std::string>;

class EncodeThroughTheControl : public ::testing::Test {
protected:
    void SetUp() override {
        control = std::make_unique<ZUBEncode>();
        control->set_events(&events);
        testing_support::WavSpec spec;
        spec.seconds = 3.0;
        testing_support::write_wav(dir / "in.wav", spec);
        input = windows(dir / "in.wav");
        output = windows(dir / "out" / "song.mp3");
    }

    void encode(zubmp3::Long bitrate = 128) {
        control->MP3Encode(input, output, bitrate, u"joint", u"normal", 0, 320);
    }
    // A minute of input for one encoder thread: a job that is still reading
    // when a cancel comes, however loaded the machine (the segment pipeline
    // would take a short file in at once).
    Text long_input() {
        testing_support::WavSpec spec;
        spec.seconds = 60.0;
        testing_support::write_wav(dir / "long.wav", spec);
        return windows(dir / "long.wav");
    }
    bool run_until_finished(ZUBEncode* = nullptr) {
        return EventLoop::current().run_until([&] { return events.finished(); }, 60s);
    }

    testing_support::TempDir dir;
    Text input, output;
    Recorder events;
    std::unique_ptr<ZUBEncode> control;
};

TEST_F(EncodeThroughTheControl, ASuccessfulJobReportsRisingProgressThenTheEnd) {
    ZUBMP3_REQUIRE_ENCODER();
    encode();
    ASSERT_TRUE(run_until_finished());
    const Log ending = events.ending();
    EXPECT_EQ(ending, (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));
    int last = -1;
    for (size_t i = 0; i + ending.size() < events.log.size(); ++i) {
        ASSERT_EQ(events.log[i].rfind("Progress ", 0), 0u) << events.log[i];
        const int progress = std::stoi(events.log[i].substr(9));
        EXPECT_GT(progress, last);
        EXPECT_LT(progress, 100);
        last = progress;
    }
    ZUBMP3_REQUIRE_TOOL("ffprobe");
    const auto probe = testing_support::run_command(
        "ffprobe -v error -show_entries format=duration -of csv=p=0 " +
        testing_support::shell_quote((dir / "out" / "song.mp3").string()));
    ASSERT_EQ(probe.status, 0);
    EXPECT_NEAR(std::stod(probe.output), 3.0, 0.2);
}

TEST_F(EncodeThroughTheControl, ARefusedBitrateEndsTheJobWith108) {
    ZUBMP3_REQUIRE_ENCODER();
    encode(100);
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 108 Invalid bitrate value ", "Finished", "Progress 100"}));
}

// The engine's status word read past the control: the end of a job as it
// happens, whatever the control's poll does.
zubmp3::Long engine_status() {
    void* module = dlopen((kLibDir / "libzubmp3enc2.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return -1;
    const auto entry = reinterpret_cast<int32_t (*)(const char*, intptr_t, intptr_t, intptr_t)>(
        dlsym(module, "interface1"));
    char blank[] = " ";
    const auto address = reinterpret_cast<intptr_t>(blank);
    const zubmp3::Long status = entry == nullptr ? -1 : entry("intreturn", address, address, address);
    dlclose(module);  // undoes only this look-up's own load
    return status;
}

// Once a job has ended, the control reports it a few milliseconds later, not
// at its next 250 ms poll. The test waits for the end as the engine sees it,
// lets the end watch's interval pass, and turns the loop once without
// waiting: the events must have come (a stalled machine that makes the poll
// due as well passes either way).
TEST_F(EncodeThroughTheControl, TheEndIsReportedAsSoonAsTheJobEnds) {
    ZUBMP3_REQUIRE_ENCODER();
    const auto settle_and_turn = [] {
        std::this_thread::sleep_for(20ms);
        EventLoop::current().process_pending();
    };
    encode(100);  // refused by the job at once
    while (engine_status() == 1000) std::this_thread::sleep_for(1ms);
    settle_and_turn();
    EXPECT_EQ(events.log, (Log{"ErrorCode 108 Invalid bitrate value ", "Finished", "Progress 100"}));

    // A long job, cancelled after its first progress report: "cancel" returns
    // once the job has ended, and the end follows at once. One encoder thread,
    // so that the job is still reading when the cancel comes.
    testing_support::ScopedEnv serial("ZUBMP3_ENCODER_THREADS", "1");
    const Text long_wav = long_input();
    events.log.clear();
    control->MP3Encode(long_wav, output, 128, u"joint", u"normal", 0, 320);
    ASSERT_TRUE(EventLoop::current().run_until([&] { return !events.log.empty(); }, 60s));
    control->MP3EncodeCancel();
    settle_and_turn();
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 112 User abort", "Finished", "Progress 100"}));
}

TEST_F(EncodeThroughTheControl, CancelDuringAJobIsReportedAsUserAbort) {
    ZUBMP3_REQUIRE_ENCODER();
    testing_support::ScopedEnv serial("ZUBMP3_ENCODER_THREADS", "1");
    control->MP3Encode(long_input(), output, 128, u"joint", u"normal", 0, 320);
    control->MP3EncodeCancel();  // the job has barely started; returns once it stopped
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 112 User abort", "Finished", "Progress 100"}));
}

TEST_F(EncodeThroughTheControl, PauseHoldsTheJobAndCancelWhilePausedEndsIt) {
    ZUBMP3_REQUIRE_ENCODER();
    encode();
    control->MP3EncodePause();
    EventLoop::current().run_until([] { return false; }, 400ms);
    events.log.clear();
    EventLoop::current().run_until([] { return false; }, 600ms);
    EXPECT_TRUE(events.log.empty());  // a paused job raises nothing

    control->MP3EncodeResume();
    control->MP3EncodePause();
    control->MP3EncodeCancel();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 112 User abort", "Finished", "Progress 100"}));
}

TEST_F(EncodeThroughTheControl, DestroyingDuringAJobRaisesNoEventAndReleasesTheEngine) {
    ZUBMP3_REQUIRE_ENCODER();
    encode();
    control.reset();
    EXPECT_FALSE(engine_mapped());
    EventLoop::current().run_until([] { return false; }, 600ms);
    EXPECT_TRUE(events.log.empty());
}

TEST_F(EncodeThroughTheControl, AnotherControlKeepsTheEngineAndEncodesAgain) {
    ZUBMP3_REQUIRE_ENCODER();
    auto other = std::make_unique<ZUBEncode>();
    other->MP3EncodePause();  // loads the engine too
    encode();
    control->MP3EncodePause();
    other.reset();  // leaves the job `control` started alone and keeps the engine for it
    ASSERT_TRUE(engine_mapped());
    control->MP3EncodeResume();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));

    events.log.clear();
    encode();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));
}

}  // namespace
