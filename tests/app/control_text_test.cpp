#include <gtest/gtest.h>

#include "control_text.h"
#include "test_support.h"

using zubmp3::app::control_path;
using zubmp3::app::is_windows_form;
using zubmp3::app::to_text;
using zubmp3::app::to_utf8;
using zubmp3::app::UsageError;

TEST(ControlText, WindowsFormsAreRecognised) {
    const std::pair<const char*, bool> rows[] = {
        {"C:\\music\\a.wav", true}, {"z:/x", true},   {"\\\\server\\share\\a", true}, {"/tmp/a.wav", false},
        {"a.wav", false},           {"C", false},     {"1:\\x", false},               {"\\single", false},
        {"./C:x", false},           {"", false},
    };
    for (const auto& [path, windows] : rows) EXPECT_EQ(is_windows_form(path), windows) << path;
}

TEST(ControlText, LinuxPathsBecomeWindowsPathsThroughTheDriveMapping) {
    EXPECT_EQ(to_utf8(control_path("/tmp/x y/a.wav")), "Z:\\tmp\\x y\\a.wav");
    EXPECT_EQ(to_utf8(control_path("C:\\kept\\as is")), "C:\\kept\\as is");
    EXPECT_EQ(to_utf8(control_path("")), "");

    testing_support::TempDir dir;
    testing_support::DriveMapping drive('M', dir.path());
    EXPECT_EQ(to_utf8(control_path((dir.path() / "Ünï" / "b.mp3").string())), "M:\\Ünï\\b.mp3");
}

TEST(ControlText, RelativePathsAreMadeAbsolute) {
    const std::string windows = to_utf8(control_path("sub/a.wav"));
    EXPECT_EQ(windows.substr(0, 3), "Z:\\");
    EXPECT_EQ(windows.substr(windows.size() - 10), "\\sub\\a.wav");
}

TEST(ControlText, PathsBeyondLatin1AreRefused) {
    EXPECT_THROW(control_path("/tmp/日本.wav"), UsageError);
    EXPECT_THROW(control_path("C:\\日本.wav"), UsageError);
    EXPECT_NO_THROW(control_path("/tmp/Ørsted.wav"));
    EXPECT_EQ(to_text("Ø"), u"Ø");
}
