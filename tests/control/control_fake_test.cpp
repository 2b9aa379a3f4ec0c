// ZUBEncode's encode methods, poll, errors and lifecycle against the test engine.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <string_view>
#include <utility>

#include "error_table.h"
#include "fake_support.h"
#include "recorder.h"
#include "test_support.h"
#include "zubmp3/engine_results.h"
#include "zubmp3/zubencode.h"

namespace {

using namespace fake_support;
using namespace std::chrono_literals;
using zubmp3::EventLoop;
using zubmp3::Text;
using zubmp3::ZUBEncode;
using Log = std::vector<std::string>;

class ControlWithFakeEngine : public ::testing::Test {
protected:
    void SetUp() override {
        control.set_events(&events);
        input = dir / "in.wav";
        testing_support::write_file(input, std::string("RIFF"));
        input_windows = text(platform::to_windows_path(input.string()));
    }

    // Loads the engine and scripts its job.
    FakeEngine& engine(int steps = 2, int step_ms = 300, int32_t final_status = 0) {
        control.MP3EncodePause();
        FakeEngine& fake_engine = *fake();
        fake_engine.job_steps = steps;
        fake_engine.job_step_ms = step_ms;
        fake_engine.job_final_status = final_status;
        fake_engine.calls.clear();
        return fake_engine;
    }

    void encode(const Text& stereo = u"joint", const Text& quality = u"normal") {
        control.MP3Encode(input_windows, u"Z:\\tmp\\out.mp3", 128, stereo, quality, 0, 320);
    }

    bool run_until_finished(std::chrono::milliseconds timeout = 5s) {
        return EventLoop::current().run_until([&] { return events.finished(); }, timeout);
    }

    testing_support::TempDir dir;
    testing_support::fs::path input;
    Text input_windows;
    Recorder events;
    ZUBEncode control;
};

TEST(ErrorTable, NumbersOutsideTheTableAreReportedAs255) {
    EXPECT_EQ(zubmp3::reported_error(0).message, u"No error ");
    EXPECT_EQ(zubmp3::reported_error(12).message, u"Invalid priority level");
    EXPECT_EQ(zubmp3::reported_error(7).message, u"Invalid bitrate value");
    EXPECT_EQ(zubmp3::reported_error(108).message, u"Invalid bitrate value ");
    EXPECT_EQ(zubmp3::reported_error(120).message, u"Invalid stereo mode value");
    for (const zubmp3::Long number : {10, 11, 13, 100, 113, -1, 1000}) {
        const auto error = zubmp3::reported_error(number);
        EXPECT_EQ(error.number, 255);
        EXPECT_EQ(utf8(error.message), "Unexpected error " + std::to_string(number));
    }
}

TEST(ErrorTable, EveryFailedJobStatusHasItsMessage) {
    const std::pair<zubmp3::Long, std::u16string> messages[] = {
        {101, u"Unable to load required dll"},
        {102, u"Invalid wav file"},
        {103, u"Error openning the wav file"},
        {104, u"Cannot create the destination mp3 file"},
        {105, u"Error opening encoding stream or invalid settings"},
        {106, u"Encoder failed, contact the developer"},
        {107, u"Output file write error"},
        {108, u"Invalid bitrate value "},
        {109, u"Invalid quality settings"},
        {110, u"Destination filename is missing"},
        {111, u"Cannot create destination folder"},
        {112, u"User abort"},
        {120, u"Invalid stereo mode value"},
    };
    for (const auto& [number, message] : messages) {
        const auto error = zubmp3::reported_error(number);
        EXPECT_EQ(error.number, number);
        EXPECT_EQ(error.message, message) << number;
    }
}

// Every result a tag command gives has words; the two no longer given have none.
TEST(TagResults, EveryResultACommandGivesIsDescribed) {
    using zubmp3::TagCommand;
    const std::pair<TagCommand, int32_t> last_results[] = {
        {TagCommand::read_v1, zubmp3::kV1ReadTooShort},        {TagCommand::write_v1, zubmp3::kV1WriteOwnerNotKept},
        {TagCommand::remove_v1, zubmp3::kV1RemoveOwnerNotKept}, {TagCommand::read_v2, zubmp3::kReadDamaged},
        {TagCommand::write_v2, zubmp3::kWriteOwnerNotKept},    {TagCommand::remove_v2, zubmp3::kRemoveOwnerNotKept},
    };
    for (const auto& [command, last] : last_results) {
        for (int32_t result = 0; result <= last; ++result) {
            const bool retired = command == TagCommand::write_v2 &&
                                 (result == zubmp3::kWriteTempNotReopened || result == zubmp3::kWriteTempNotAppendable);
            EXPECT_EQ(std::string_view(zubmp3::tag_result_description(command, result)).empty(), retired)
                << static_cast<int>(command) << " " << result;
        }
        EXPECT_STREQ(zubmp3::tag_result_description(command, last + 1), "");
        EXPECT_STREQ(zubmp3::tag_result_description(command, -1), "");
    }
}

TEST_F(ControlWithFakeEngine, ArgumentChecksComeInOrderAndSendNothing) {
    FakeEngine& fake_engine = engine();
    const auto check = [&](const Text& in, const Text& out) {
        events.log.clear();
        control.MP3Encode(in, out, 128, u"joint", u"normal", 0, 320);
        return events.log;
    };
    EXPECT_EQ(check(u"", u""), Log{"ErrorCode 2 The input file is the same as the output"});
    EXPECT_EQ(check(u"Z:\\Music\\A.wav", u"z:\\music\\a.WAV"),
              Log{"ErrorCode 2 The input file is the same as the output"});
    EXPECT_EQ(check(u"", u"Z:\\out.mp3"), Log{"ErrorCode 3 The input file is empty "});
    EXPECT_EQ(check(input_windows, u""), Log{"ErrorCode 4 The outputfile file is empty "});
    EXPECT_EQ(check(u" ", u"Z:\\out.mp3"), Log{"ErrorCode 5 The input file or path is invalid"});
    EXPECT_EQ(check(text(platform::to_windows_path((dir / "missing.wav").string())), u"Z:\\out.mp3"),
              Log{"ErrorCode 5 The input file or path is invalid"});
    EXPECT_EQ(check(text(platform::to_windows_path(dir.path().string())), u"Z:\\out.mp3"),
              Log{"ErrorCode 5 The input file or path is invalid"});
    // A FIFO is refused at once, not waited on for a writer.
    ASSERT_EQ(mkfifo((dir / "fifo.wav").c_str(), 0600), 0);
    EXPECT_EQ(check(text(platform::to_windows_path((dir / "fifo.wav").string())), u"Z:\\out.mp3"),
              Log{"ErrorCode 5 The input file or path is invalid"});
    for (const FakeCall& call : fake_engine.calls) EXPECT_EQ(call.word, "intreturn");

    fake_engine.status = 1000;  // a job of another control runs
    EXPECT_EQ(check(input_windows, u"Z:\\out.mp3"),
              Log{"ErrorCode 9 Already executing , wait for the end or call the cancel function"});
    EXPECT_EQ(fake_engine.words().back(), "intreturn");
    fake_engine.status = 0;
}

TEST_F(ControlWithFakeEngine, TwoNamesOfOneFileAreTheSameFile) {
    FakeEngine& fake_engine = engine();
    const auto windows_name = [&](const char* name) { return text(platform::to_windows_path((dir / name).string())); };
    const auto check = [&](const Text& out) {
        events.log.clear();
        fake_engine.calls.clear();
        control.MP3Encode(input_windows, out, 128, u"joint", u"normal", 0, 320);
        return events.log;
    };
    testing_support::fs::create_symlink(input, dir / "soft.mp3");
    testing_support::fs::create_hard_link(input, dir / "hard.mp3");
    const Log same{"ErrorCode 2 The input file is the same as the output"};
    EXPECT_EQ(check(windows_name("soft.mp3")), same);
    EXPECT_EQ(check(windows_name("hard.mp3")), same);
    EXPECT_EQ(fake_engine.words(), std::vector<std::string>{"intreturn"});  // nothing sent
    // Another file, or one that does not exist yet, is not the input.
    testing_support::write_file(dir / "other.mp3", std::string("x"));
    EXPECT_EQ(check(windows_name("other.mp3")), Log{});
    control.MP3EncodeCancel();
    EXPECT_EQ(check(windows_name("new.mp3")), Log{});
    control.MP3EncodeCancel();
}

TEST_F(ControlWithFakeEngine, AnEmptyInputFilePassesTheControlsChecks) {
    FakeEngine& fake_engine = engine();
    testing_support::write_file(input, std::string());
    encode();
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(fake_engine.words().back(), "passfiles");
    control.MP3EncodeCancel();
}

TEST_F(ControlWithFakeEngine, SettingsAreSentInOrderWithTheOptionWordsAsNumbers) {
    struct Row {
        const char16_t* stereo;
        const char16_t* quality;
        int32_t stereo_value, quality_value;
    };
    const Row rows[] = {
        {u"stereo", u"normal", 0, 0}, {u"joint", u"low", 1, 1}, {u"dual", u"high", 2, 2},
        {u"mono", u"normal", 3, 0},   {u"Mono", u"HIGH", 0, 0},  {u" joint", u"", 0, 0},
        {u"", u"Low", 0, 0},
    };
    for (const Row& row : rows) {
        FakeEngine& fake_engine = engine(1, 1);
        control.MP3Encode(input_windows, u"Z:\\o.mp3", 100, row.stereo, row.quality, 1, 256);
        ASSERT_EQ(fake_engine.words(), (Log{"intreturn", "bitrate", "vbr", "vbrmaxbitrate", "stereomode", "quality",
                                            "passfiles"}));
        const auto& calls = fake_engine.calls;
        EXPECT_EQ(calls[1].value, 100);
        EXPECT_EQ(calls[2].value, 1);
        EXPECT_EQ(calls[3].value, 256);
        EXPECT_EQ(calls[4].value, row.stereo_value) << utf8(row.stereo);
        EXPECT_EQ(calls[5].value, row.quality_value) << utf8(row.quality);
        EXPECT_EQ(calls[6].value_text, platform::utf16_to_latin1(input_windows));
        EXPECT_EQ(calls[6].text_text, "Z:\\o.mp3");
        EXPECT_EQ(calls[6].index_text, " ");
        control.MP3EncodeCancel();
    }
}

TEST_F(ControlWithFakeEngine, PriorityOutsideOneToThreeIsRefusedWithoutTouchingTheEngine) {
    control.SelectProcessPriority(0);
    control.SelectProcessPriority(4);
    EXPECT_EQ(events.log, (Log{"ErrorCode 12 Invalid priority level", "ErrorCode 12 Invalid priority level"}));
    EXPECT_FALSE(engine_mapped());
    control.SelectProcessPriority(3);
    ASSERT_EQ(fake()->words(), Log{"intpriority"});
    EXPECT_EQ(fake()->calls[0].value, 3);
}

TEST_F(ControlWithFakeEngine, ASuccessfulJobEndsWithErrorCodeFinishedAndProgress100) {
    engine(2, 300);
    encode();
    ASSERT_TRUE(run_until_finished());
    // The first poll of a new control reads 0 and reports nothing; 49 comes later.
    EXPECT_EQ(events.log.front(), "Progress 49");
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));

    // The next job's first 0 is reported.
    events.log.clear();
    encode();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.log.front(), "Progress 0");
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));
}

TEST_F(ControlWithFakeEngine, AJobThatFailsReportsItsStatusAndProgress100) {
    engine(0, 0, 108);
    encode();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.log, (Log{"ErrorCode 108 Invalid bitrate value ", "Finished", "Progress 100"}));

    events.log.clear();
    fake()->job_final_status = 113;
    encode();
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 255 Unexpected error 113", "Finished", "Progress 100"}));
}

TEST_F(ControlWithFakeEngine, AProgressHandlerThatChangesItsArgumentChangesWhatIsRemembered) {
    engine(1, 1);
    encode();
    ASSERT_TRUE(run_until_finished());  // LastProgress is now -1
    events.log.clear();

    engine(2, 700);  // progress stays 0 for two polls
    bool first = true;
    events.on_progress = [&](zubmp3::Long& progress) {
        if (first) progress = 7;
        first = false;
    };
    encode();
    EventLoop::current().run_until([] { return false; }, 600ms);
    // 0 reported, remembered as 7, so the next 0 differs and is reported again.
    EXPECT_EQ(events.log, (Log{"Progress 0", "Progress 0"}));
    control.MP3EncodeCancel();
}

TEST_F(ControlWithFakeEngine, APausedJobRaisesNothingAndCancelWhilePausedEndsIt) {
    FakeEngine& fake_engine = engine(4, 100);
    encode();
    control.MP3EncodePause();
    EventLoop::current().run_until([] { return false; }, 300ms);  // a step may end before the pause
    events.log.clear();
    EventLoop::current().run_until([] { return false; }, 800ms);
    EXPECT_TRUE(events.log.empty());
    EXPECT_EQ(fake_engine.status, 1000);

    control.MP3EncodeCancel();  // returns once the job has stopped
    EXPECT_EQ(fake_engine.status, 112);
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.log, (Log{"ErrorCode 112 User abort", "Finished", "Progress 100"}));
}

TEST_F(ControlWithFakeEngine, CancelDuringAJobIsReportedByTheNextPoll) {
    FakeEngine& fake_engine = engine(20, 50);
    encode();
    EventLoop::current().run_until([] { return false; }, 300ms);
    control.MP3EncodeCancel();
    EXPECT_EQ(fake_engine.status, 112);
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 112 User abort", "Finished", "Progress 100"}));
}

TEST_F(ControlWithFakeEngine, ASecondEncodeWhileRunningLeavesTheJobAndTimerAlone) {
    FakeEngine& fake_engine = engine(2, 300);
    encode();
    control.MP3Encode(input_windows, u"Z:\\other.mp3", 320, u"mono", u"high", 0, 320);
    EXPECT_EQ(events.log, Log{"ErrorCode 9 Already executing , wait for the end or call the cancel function"});
    EXPECT_EQ(fake_engine.words().back(), "intreturn");
    ASSERT_TRUE(run_until_finished());
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));
    EXPECT_EQ(fake_engine.jobs_run, 1);
}

TEST_F(ControlWithFakeEngine, AJobStartedFromTheErrorCodeHandlerIsPolledToItsEnd) {
    engine(1, 10);
    int jobs = 0;
    events.on_error = [&](zubmp3::Long&, Text&) {
        if (++jobs == 1) encode();  // the next file of a batch
    };
    encode();
    ASSERT_TRUE(EventLoop::current().run_until(
        [&] { return std::count(events.log.begin(), events.log.end(), "Finished") == 2; }, 5s));
    EXPECT_EQ(jobs, 2);
}

TEST_F(ControlWithFakeEngine, AModalLoopInAHandlerDoesNotReportTheEndTwice) {
    engine(1, 10);
    events.on_error = [&](zubmp3::Long&, Text&) { EventLoop::current().run_until([] { return false; }, 700ms); };
    encode();
    ASSERT_TRUE(run_until_finished());
    EventLoop::current().run_until([] { return false; }, 600ms);
    EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "ErrorCode 0 No error "), 1);
}

TEST_F(ControlWithFakeEngine, HandlersChangingErrorArgumentsChangeNothingKept) {
    events.on_error = [](zubmp3::Long& number, Text& description) {
        number = 0;
        description = u"changed";
    };
    control.SelectProcessPriority(9);
    control.SelectProcessPriority(9);
    EXPECT_EQ(events.log, (Log{"ErrorCode 12 Invalid priority level", "ErrorCode 12 Invalid priority level"}));
}

TEST(ControlLifecycle, ACreatedAndDestroyedControlLoadsNothing) {
    { ZUBEncode control; }
    EXPECT_FALSE(engine_mapped());
}

TEST(ControlLifecycle, DestroyingDuringAJobStopsItReleasesTheEngineAndRaisesNothing) {
    Recorder events;
    auto control = std::make_unique<ZUBEncode>();
    control->set_events(&events);
    control->MP3EncodePause();
    FakeEngine& fake_engine = *fake();
    fake_engine.job_steps = 50;
    fake_engine.job_step_ms = 50;
    fake_engine.job_tail_ms = 200;  // the worker stays in the engine a while after its status
    testing_support::TempDir dir;
    testing_support::write_file(dir / "in.wav", std::string("RIFF"));
    control->MP3Encode(text(platform::to_windows_path((dir / "in.wav").string())), u"Z:\\tmp\\o.mp3", 128, u"joint",
                       u"normal", 0, 320);
    EventLoop::current().run_until([] { return false; }, 300ms);
    events.log.clear();

    control.reset();
    EXPECT_FALSE(engine_mapped());
    EventLoop::current().run_until([] { return false; }, 600ms);
    EXPECT_TRUE(events.log.empty());
}

TEST(ControlLifecycle, TwoControlsShareTheEngineUntilTheLastIsDestroyed) {
    testing_support::TempDir dir;
    testing_support::write_file(dir / "in.wav", std::string("RIFF"));
    const Text in = text(platform::to_windows_path((dir / "in.wav").string()));
    Recorder events;
    auto first = std::make_unique<ZUBEncode>();
    ZUBEncode second;
    second.set_events(&events);
    first->MP3EncodePause();
    FakeEngine& fake_engine = *fake();
    fake_engine.job_steps = 20;
    fake_engine.job_step_ms = 50;

    second.MP3Encode(in, u"Z:\\tmp\\o.mp3", 128, u"joint", u"normal", 0, 320);
    EventLoop::current().run_until([] { return false; }, 300ms);
    first.reset();  // leaves the other control's job running and keeps the engine for it
    ASSERT_TRUE(engine_mapped());
    ASSERT_TRUE(EventLoop::current().run_until([&] { return events.finished(); }, 5s));
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));

    events.log.clear();
    fake_engine.job_steps = 2;
    second.MP3Encode(in, u"Z:\\tmp\\o.mp3", 128, u"joint", u"normal", 0, 320);
    ASSERT_TRUE(EventLoop::current().run_until([&] { return events.finished(); }, 5s));
    EXPECT_EQ(events.ending(), (Log{"ErrorCode 0 No error ", "Finished", "Progress 100"}));
}

TEST(ControlLifecycle, AboutAndControlNameShowTheTitleWithoutLoadingTheEngine) {
    struct Capture : zubmp3::AboutPresenter {
        std::vector<zubmp3::AboutContents> shown;
        void present(const zubmp3::AboutContents& contents) override { shown.push_back(contents); }
    };
    auto capture = std::make_shared<Capture>();
    zubmp3::set_about_presenter(capture);
    ZUBEncode control;
    control.About();
    control.About();
    zubmp3::set_about_presenter(nullptr);

    ASSERT_EQ(capture->shown.size(), 2u);
    const auto& box = capture->shown[0];
    EXPECT_EQ(box.caption, control.ControlName());
    EXPECT_EQ(utf8(box.caption), "ZUBMP3 Encode 1.2.0");
    EXPECT_EQ(box.exit_caption, u"Exit");
    EXPECT_EQ(utf8(box.description).substr(0, 38), "ActiveX OCX to encode wav pcm in mp3 f");
    EXPECT_EQ(utf8(box.description).substr(box.description.size() - 2), "\r\n");
    EXPECT_EQ(utf8(box.mail_address), kContact);
    EXPECT_FALSE(engine_mapped());

    const ZUBEncode::Size size = control.Resize({100, 9000});
    EXPECT_EQ(size.width_twips, 550);
    EXPECT_EQ(size.height_twips, 550);
}

}  // namespace
