// The host runtime: the event loop and the About presenter.
#include <gtest/gtest.h>

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
