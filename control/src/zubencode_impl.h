// The state of one ZUBEncode control, shared by its encode and tag methods.
#pragma once

#include <chrono>
#include <memory>

#include "mp3class.h"
#include "zubmp3/zubencode.h"

namespace zubmp3 {

struct __attribute__((visibility("hidden"))) ZUBEncode::Impl {
    explicit Impl(ZUBEncode& control);
    ~Impl();

    // The bridge, created on first use and kept for the control's life.
    MP3Class& bridge();
    // The bridge, loaded (Init without forcing).
    MP3Class& engine();

    // Sends a command whose slots other than the word are unused.
    Long send(const Text& word);
    Long send_number(const Text& word, Long value);

    void Timer1_Timer();
    void EndWatch_Timer();
    void watch_for_end(Long progress);
    void ReportErrorCode(const Long& number);

    ZUBEncode& control;
    ZUBEncodeEvents* events = nullptr;
    std::unique_ptr<MP3Class> mp3;
    EventLoop& loop;  // of the thread that created the control
    EventLoop::TimerId Timer1;    // the poll: progress and the end of the job
    EventLoop::TimerId EndWatch;  // the end alone, while it may come before the next poll
    Long LastProgress = 0;
    // Counts the jobs this control started, so that a tick can tell whether an
    // event handler started the next job while it ran.
    uint64_t jobs_started = 0;
    // True from the start of this control's job until its end is reported.
    bool polling = false;
    std::chrono::steady_clock::time_point job_started{};
    bool ticking = false;  // a poll is under way (its handlers may run a nested loop)
};

}  // namespace zubmp3
