// The host runtime: the event loop and the About presenter.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/console.h"
#include "zubmp3/zubencode.h"

namespace {

using namespace std::chrono_literals;
using zubmp3::EventLoop;

TEST(EventLoop, TimersTickOnlyWhileEnabled) {
    EventLoop& loop = EventLoop::current();
    int ticks = 0;
    const auto timer = loop.add_timer(20ms, [&] { ++ticks; });
    EXPECT_FALSE(loop.run_until([&] { return ticks > 0; }, 100ms));
    loop.set_timer_enabled(timer, true);
    EXPECT_TRUE(loop.run_until([&] { return ticks >= 3; }, 2s));
    loop.set_timer_enabled(timer, false);
    const int stopped_at = ticks;
    loop.run_until([] { return false; }, 100ms);
    EXPECT_EQ(ticks, stopped_at);
    loop.remove_timer(timer);
}

TEST(EventLoop, WorkPostedFromAnotherThreadRunsOnTheLoopsThread) {
    EventLoop& loop = EventLoop::current();
    const auto loop_thread = std::this_thread::get_id();
    std::thread::id ran_on;
    std::thread poster([&] {
        loop.post([&] { ran_on = std::this_thread::get_id(); });
        loop.post([&] { loop.quit(); });
    });
    loop.run();
    poster.join();
    EXPECT_EQ(ran_on, loop_thread);
}

TEST(EventLoop, ANestedLoopDoesNotReenterARunningTick) {
    EventLoop& loop = EventLoop::current();
    int entered = 0, depth = 0, deepest = 0;
    const auto timer = loop.add_timer(10ms, [&] {
        ++entered;
        deepest = std::max(deepest, ++depth);
        if (entered == 1) loop.run_until([] { return false; }, 100ms);  // a modal dialog
        --depth;
    });
    loop.set_timer_enabled(timer, true);
    loop.run_until([&] { return entered >= 3; }, 2s);
    EXPECT_EQ(deepest, 1);
    loop.remove_timer(timer);
}

TEST(EventLoop, ATickMayRemoveItsOwnTimer) {
    EventLoop& loop = EventLoop::current();
    int ticks = 0;
    EventLoop::TimerId timer = 0;
    timer = loop.add_timer(5ms, [&] {
        ++ticks;
        loop.remove_timer(timer);
    });
    loop.set_timer_enabled(timer, true);
    loop.run_until([] { return false; }, 100ms);
    EXPECT_EQ(ticks, 1);
}

// Another loop drives this one: it learns when to run process_pending() from
// the next timer's due time and from the wake handler.
TEST(EventLoop, TellsADrivingLoopWhenTheNextTimerIsDue) {
    EventLoop& loop = EventLoop::current();
    int ticks = 0;
    const auto slow = loop.add_timer(10s, [] {});
    const auto fast = loop.add_timer(50ms, [&] { ++ticks; });
    EXPECT_EQ(loop.time_until_next_timer(), std::nullopt);  // none enabled
    loop.set_timer_enabled(slow, true);
    loop.set_timer_enabled(fast, true);
    const auto left = loop.time_until_next_timer();
    ASSERT_TRUE(left.has_value());
    EXPECT_GT(*left, 0ms);
    EXPECT_LE(*left, 50ms);  // the earlier of the two

    // Driven as another loop would: sleep for the time told, then process.
    while (ticks == 0) {
        std::this_thread::sleep_for(*loop.time_until_next_timer());
        loop.process_pending();
    }
    EXPECT_EQ(ticks, 1);
    loop.set_timer_enabled(fast, false);
    EXPECT_GT(*loop.time_until_next_timer(), 1s);  // only the slow one is left
    loop.remove_timer(slow);
    loop.remove_timer(fast);
    EXPECT_EQ(loop.time_until_next_timer(), std::nullopt);
}

TEST(EventLoop, WakesADrivingLoopWhenWorkIsPostedOrATimerIsEnabled) {
    EventLoop& loop = EventLoop::current();
    std::atomic<int> wakes{0};
    loop.set_wake_handler([&] { ++wakes; });

    const auto timer = loop.add_timer(1h, [] {});
    EXPECT_EQ(wakes, 0);  // a new timer is stopped
    loop.set_timer_enabled(timer, true);
    EXPECT_EQ(wakes, 1);
    loop.remove_timer(timer);

    bool ran = false;
    std::thread poster([&] { loop.post([&] { ran = true; }); });
    poster.join();
    EXPECT_EQ(wakes, 2);  // woken by the posting thread, before the work runs
    EXPECT_FALSE(ran);
    loop.process_pending();
    EXPECT_TRUE(ran);

    loop.set_wake_handler(nullptr);
    loop.post([] {});
    EXPECT_EQ(wakes, 2);
    loop.process_pending();
}

TEST(AboutBox, TheDefaultPresenterPrintsTheBoxAndReturnsWithoutATerminal) {
    if (platform::stdin_is_terminal()) GTEST_SKIP() << "standard input is a terminal";
    testing::internal::CaptureStdout();
    zubmp3::ZUBEncode control;
    control.About();
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_NE(shown.find("ZUBMP3 Encode 1.2.0"), std::string::npos);
    EXPECT_NE(shown.find("https://zubmp3.example.org/"), std::string::npos);
    EXPECT_NE(shown.find("developers@zubmp3.example.org"), std::string::npos);
    EXPECT_NE(shown.find("[Exit]"), std::string::npos);
}

}  // namespace
