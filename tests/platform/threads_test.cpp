#include <gtest/gtest.h>

#include <atomic>

#include "platform/win32.h"

namespace {

std::atomic<int> ran{0};

DWORD work(void* parameter) {
    Sleep(20);
    ran += *static_cast<int*>(parameter);
    return 0;
}

TEST(Threads, WaitJoinsAndCloseHandleDetaches) {
    int add = 5;
    ran = 0;
    HANDLE thread = CreateThread(nullptr, 0, work, &add, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ran.load(), 5);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);  // already joined
    EXPECT_TRUE(CloseHandle(thread));

    HANDLE detached = CreateThread(nullptr, 0, work, &add, 0, nullptr);
    ASSERT_NE(detached, nullptr);
    EXPECT_TRUE(CloseHandle(detached));  // the thread runs on
    for (int i = 0; i < 100 && ran.load() != 10; ++i) Sleep(10);
    EXPECT_EQ(ran.load(), 10);
}

TEST(Process, PriorityClassesMapToNiceValues) {
    EXPECT_TRUE(SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS));
    EXPECT_FALSE(SetPriorityClass(GetCurrentProcess(), 0x1234));
}

}  // namespace
