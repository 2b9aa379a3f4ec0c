#include <gtest/gtest.h>

#include "platform/paths.h"
#include "test_support.h"

using testing_support::ScopedEnv;

namespace {

struct HostRow {
    const char* windows;
    const char* host;  // nullptr: no host path
};

void PrintTo(const HostRow& row, std::ostream* out) { *out << row.windows; }

class WindowsToHost : public ::testing::TestWithParam<HostRow> {
protected:
    ScopedEnv c_{"ZUBMP3_DRIVE_C", "/tmp/c"};
    ScopedEnv d_{"ZUBMP3_DRIVE_D", std::nullopt};
    ScopedEnv z_{"ZUBMP3_DRIVE_Z", std::nullopt};
    ScopedEnv unc_{"ZUBMP3_UNC_ROOT", "/srv/unc"};
};

TEST_P(WindowsToHost, MapsAsDocumented) {
    const auto host = platform::to_host_path(GetParam().windows);
    if (GetParam().host == nullptr) {
        EXPECT_FALSE(host.has_value()) << *host;
    } else {
        ASSERT_TRUE(host.has_value());
        EXPECT_EQ(*host, GetParam().host);
    }
}

std::string row_name(const ::testing::TestParamInfo<HostRow>& info) { return "row" + std::to_string(info.index); }

INSTANTIATE_TEST_SUITE_P(
    Table, WindowsToHost,
    ::testing::Values(HostRow{"C:\\Music\\a.mp3", "/tmp/c/Music/a.mp3"},
                      HostRow{"c:\\Music\\a.mp3", "/tmp/c/Music/a.mp3"},  // drive letters ignore case
                      HostRow{"C:\\", "/tmp/c"},
                      HostRow{"C:", "/tmp/c"},
                      HostRow{"Z:\\home\\me\\a.wav", "/home/me/a.wav"},   // Z: is / by default
                      HostRow{"Z:\\", "/"},
                      HostRow{"D:\\a.mp3", nullptr},                      // absent drive
                      HostRow{"\\\\server\\share\\x\\y.mp3", "/srv/unc/server/share/x/y.mp3"},
                      HostRow{"Music\\a.mp3", "Music/a.mp3"},             // relative stays relative
                      HostRow{"C:\\caf\xe9.mp3", "/tmp/c/caf\xc3\xa9.mp3"}  // Latin-1 name, UTF-8 on disk
                      ),
    row_name);

TEST(UncRoot, ShareUnreachableWithoutRoot) {
    ScopedEnv unc{"ZUBMP3_UNC_ROOT", std::nullopt};
    EXPECT_FALSE(platform::to_host_path("\\\\server\\share\\a.mp3").has_value());
}

TEST(HostToWindows, PicksTheClosestDrive) {
    ScopedEnv c{"ZUBMP3_DRIVE_C", "/tmp/c"};
    ScopedEnv d{"ZUBMP3_DRIVE_D", "/tmp/c/deeper"};
    ScopedEnv z{"ZUBMP3_DRIVE_Z", std::nullopt};
    EXPECT_EQ(platform::to_windows_path("/tmp/c/Music/a.mp3"), "C:\\Music\\a.mp3");
    EXPECT_EQ(platform::to_windows_path("/tmp/c/deeper/x.mp3"), "D:\\x.mp3");
    EXPECT_EQ(platform::to_windows_path("/tmp/cc/x.mp3"), "Z:\\tmp\\cc\\x.mp3");  // a prefix of a name is no folder
    EXPECT_EQ(platform::to_windows_path("/home/me/../you/./a.wav"), "Z:\\home\\you\\a.wav");
}

TEST(HostToWindows, AFolderKeepsItsTrailingSeparator) {
    ScopedEnv c{"ZUBMP3_DRIVE_C", "/tmp/c"};
    ScopedEnv z{"ZUBMP3_DRIVE_Z", std::nullopt};
    EXPECT_EQ(platform::to_windows_path("/tmp/c/newdir/"), "C:\\newdir\\");
    EXPECT_EQ(platform::to_windows_path("/tmp/c/newdir//"), "C:\\newdir\\");
    EXPECT_EQ(platform::to_windows_path("/tmp/c/newdir/."), "C:\\newdir\\");
    EXPECT_EQ(platform::to_windows_path("/tmp/c/newdir/sub/.."), "C:\\newdir\\");
    EXPECT_EQ(platform::to_windows_path("/tmp/c/"), "C:\\");
    EXPECT_EQ(platform::to_windows_path("/var/"), "Z:\\var\\");
    EXPECT_EQ(platform::to_windows_path("/"), "Z:\\");
    EXPECT_EQ(platform::to_windows_path("/var/a.mp3"), "Z:\\var\\a.mp3");
}

TEST(HostToWindows, RelativePathsBecomeAbsolute) {
    ScopedEnv z{"ZUBMP3_DRIVE_Z", std::nullopt};
    const std::string cwd = std::filesystem::current_path().string();
    const std::string windows = platform::to_windows_path("sub/a.wav");
    ASSERT_EQ(windows.rfind("Z:\\", 0), 0u);
    EXPECT_EQ(platform::to_host_path(windows), cwd + "/sub/a.wav");
}

TEST(HostToWindows, RoundTripsThroughToHost) {
    ScopedEnv c{"ZUBMP3_DRIVE_C", "/tmp/c"};
    for (const char* host : {"/tmp/c/a b/c.mp3", "/var/x.wav", "/tmp/c"}) {
        EXPECT_EQ(platform::to_host_path(platform::to_windows_path(host)), host);
    }
}

}  // namespace
