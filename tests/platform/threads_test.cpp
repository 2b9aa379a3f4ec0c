#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

int nice_of(pid_t thread) { return getpriority(PRIO_PROCESS, static_cast<id_t>(thread)); }

// A class gives its nice value to every thread of the process, not only to
// the caller's. Checked in a process of its own: going back from idle to
// normal takes a right the test may not have.
TEST(Process, PriorityClassesSetTheNiceValueOfEveryThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            std::atomic<pid_t> other{0};
            std::atomic<bool> done{false};
            std::thread thread([&] {
                other = gettid();
                while (!done) Sleep(1);
            });
            while (other == 0) Sleep(1);
            bool ok = SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS) && nice_of(gettid()) == 19 &&
                      nice_of(other) == 19;
            if (ok && geteuid() == 0)  // raising priority needs the right to
                ok = SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS) && nice_of(gettid()) == -10 &&
                     nice_of(other) == -10 && SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS) &&
                     nice_of(gettid()) == 0 && nice_of(other) == 0;
            done = true;
            thread.join();
            if (!ok) std::fprintf(stderr, "nice values %d and %d\n", nice_of(gettid()), nice_of(other));
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(Process, UnknownPriorityClassIsRefused) {
    EXPECT_FALSE(SetPriorityClass(GetCurrentProcess(), 0x1234));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace

// As on Windows, the last error belongs to the thread that set it.
TEST(Threads, EachThreadKeepsItsOwnLastError) {
    SetLastError(ERROR_DISK_FULL);
    DWORD seen_by_new_thread = 1, kept_by_new_thread = 0;
    std::thread other([&] {
        seen_by_new_thread = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
        kept_by_new_thread = GetLastError();
    });
    other.join();
    EXPECT_EQ(seen_by_new_thread, ERROR_SUCCESS);
    EXPECT_EQ(kept_by_new_thread, ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
}
