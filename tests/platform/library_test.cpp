#include <gtest/gtest.h>

#include <fstream>

#include "platform/paths.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

bool probe_in_process() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libloadprobe.so") != std::string::npos) return true;
    return false;
}

TEST(LoadLibrary, DllNameLoadsTheSharedObjectBesideItAndCountsLoads) {
    const std::string dll = platform::to_windows_path(std::string(ZUBMP3_PROBE_DIR) + "/loadprobe.dll");
    HMODULE first = LoadLibraryA(dll.c_str());
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryA(dll.c_str());
    EXPECT_EQ(first, second);

    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(GetProcAddress(first, "probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(first, "no_such_function"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(probe_in_process());
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(probe_in_process());
    EXPECT_FALSE(FreeLibrary(first));  // gone: 0 from now on
}

TEST(LoadLibrary, MissingLibraryFails) {
    EXPECT_EQ(LoadLibraryA("Z:\\nowhere\\zubmp3enc2.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA("Q:\\absent\\x.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("zub_no_such_library.dll"), nullptr);
}

}  // namespace
