#include <gtest/gtest.h>

#include "progress_bar.h"

using zubmp3::app::format_clock;
using zubmp3::app::format_speed;
using zubmp3::app::ProgressView;
using zubmp3::app::render_progress;

TEST(ProgressBar, ClockFormats) {
    const std::pair<double, const char*> rows[] = {
        {0, "0:00"}, {-3, "0:00"}, {59.9, "0:59"}, {60, "1:00"}, {3599, "59:59"}, {3600, "1:00:00"}, {3661, "1:01:01"},
    };
    for (const auto& [seconds, text] : rows) EXPECT_EQ(format_clock(seconds), text) << seconds;
}

TEST(ProgressBar, SpeedIsAudioDoneOverActiveTime) {
    ProgressView view;
    view.audio_seconds = 60;
    view.percent = 50;
    view.active_seconds = 3;  // 30 s of sound in 3 s
    EXPECT_EQ(format_speed(view), "10.0x");
    view.active_seconds = 20;
    EXPECT_EQ(format_speed(view), "1.50x");
    view.active_seconds = 0.1;  // too early to tell
    EXPECT_EQ(format_speed(view), "");
    view.active_seconds = 3;
    view.audio_seconds = 0;  // length unknown
    EXPECT_EQ(format_speed(view), "");
}

TEST(ProgressBar, LineShowsPercentClockAndKeys) {
    ProgressView view;
    view.percent = 42;
    view.elapsed_seconds = 75;
    view.keys = true;
    const std::string line = render_progress(view, 100);
    EXPECT_NE(line.find(" 42%"), std::string::npos) << line;
    EXPECT_NE(line.find("1:15"), std::string::npos) << line;
    EXPECT_NE(line.find("p pause"), std::string::npos) << line;
    view.paused = true;
    EXPECT_NE(render_progress(view, 100).find("paused  r resume"), std::string::npos);
    view.keys = false;
    EXPECT_EQ(render_progress(view, 100).find("r resume"), std::string::npos);
}

TEST(ProgressBar, BarFillsWithPercentAndKeepsItsWidth) {
    ProgressView view;
    view.percent = 0;
    const std::string empty = render_progress(view, 80);
    view.percent = 100;
    const std::string full = render_progress(view, 80);
    view.paused = view.keys = true;
    view.percent = 50;
    const std::string half = render_progress(view, 80);
    const size_t width = empty.find(']');
    EXPECT_EQ(full.find(']'), width);
    EXPECT_EQ(half.find(']'), width);  // the hint does not move the bar's end
    EXPECT_EQ(empty.substr(0, 2), "[>");
    ASSERT_TRUE(width != std::string::npos && width > 1);
    std::string expected(width + 1, '=');
    expected.front() = '[';
    expected.back() = ']';
    EXPECT_EQ(full.substr(0, width + 1), expected);
}

TEST(ProgressBar, NeverWiderThanTheTerminal) {
    ProgressView view;
    view.percent = 100;
    view.elapsed_seconds = 36000;
    view.active_seconds = 36000;
    view.audio_seconds = 1e9;
    view.paused = view.keys = true;
    for (const int columns : {1, 10, 20, 40, 60, 80, 200}) {
        EXPECT_LT(static_cast<int>(render_progress(view, columns).size()), columns == 0 ? 80 : std::max(columns, 1))
            << columns;
    }
    EXPECT_LT(render_progress(view, 0).size(), 80u);  // unknown width: 80
}
