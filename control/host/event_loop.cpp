// The event loop of one thread. Posted work may come from any thread; timers
// belong to the loop's own thread. A timer whose tick is running is not ticked
// again by a loop nested inside that tick (a modal dialog in an event handler),
// so one control never reports the same end of a job twice. Another loop may
// drive this one: it is woken through the wake handler and asks when the next
// timer is due.
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "zubmp3/host.h"

namespace zubmp3 {

using Clock = std::chrono::steady_clock;

struct __attribute__((visibility("hidden"))) EventLoop::State {
    struct Timer {
        std::chrono::milliseconds period{};
        std::shared_ptr<std::function<void()>> tick;
        bool enabled = false;
        bool running = false;
        Clock::time_point due{};
    };

    std::mutex mutex;  // guards `posted` and `quit_requested`
    std::condition_variable wake;
    std::deque<std::function<void()>> posted;
    bool quit_requested = false;

    std::map<TimerId, Timer> timers;  // the loop's thread only
    TimerId next_timer = 1;

    std::mutex wake_mutex;  // guards `wake_handler` and is held while it runs
    std::function<void()> wake_handler;
    void call_wake_handler() {
        std::lock_guard lock(wake_mutex);
        if (wake_handler) wake_handler();
    }

    // The earliest due time of the timers that may tick now, if any.
    std::optional<Clock::time_point> next_due() const {
        std::optional<Clock::time_point> earliest;
        for (const auto& [id, timer] : timers)
            if (timer.enabled && !timer.running && (!earliest || timer.due < *earliest)) earliest = timer.due;
        return earliest;
    }

    // Runs posted work, then due timers, checking `stop` after each piece.
    // Returns true when `stop` held.
    bool run_pending(const std::function<bool()>& stop);
    bool run_posted(const std::function<bool()>& stop);
    bool run_due_timers(const std::function<bool()>& stop);
    // Sleeps until a timer is due, work is posted, quit is asked (when
    // `wake_on_quit`), or `deadline`.
    void wait(Clock::time_point deadline, bool wake_on_quit);

    // Clears a timer's running mark even when its tick throws.
    class RunningMark {
    public:
        RunningMark(std::map<TimerId, Timer>& timers, TimerId id) : timers_(timers), id_(id) {
            timers_.at(id_).running = true;
        }
        ~RunningMark() {
            if (const auto found = timers_.find(id_); found != timers_.end()) found->second.running = false;
        }
        RunningMark(const RunningMark&) = delete;
        RunningMark& operator=(const RunningMark&) = delete;

    private:
        std::map<TimerId, Timer>& timers_;
        TimerId id_;
    };
};

bool EventLoop::State::run_pending(const std::function<bool()>& stop) {
    return run_posted(stop) || run_due_timers(stop);
}

// The posted work, in its order, including work posted meanwhile. True when
// `stop` said so after a piece of it.
bool EventLoop::State::run_posted(const std::function<bool()>& stop) {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(mutex);
            if (posted.empty()) break;
            work = std::move(posted.front());
            posted.pop_front();
        }
        work();
        if (stop && stop()) return true;
    }
    return false;
}

// One tick of each timer due now. True when `stop` said so after a tick.
bool EventLoop::State::run_due_timers(const std::function<bool()>& stop) {
    std::vector<TimerId> due_now;
    const auto now = Clock::now();
    for (const auto& [id, timer] : timers)
        if (timer.enabled && !timer.running && timer.due <= now) due_now.push_back(id);
    for (const TimerId id : due_now) {
        const auto found = timers.find(id);  // an earlier tick may have removed or stopped it
        if (found == timers.end() || !found->second.enabled || found->second.running) continue;
        found->second.due = Clock::now() + found->second.period;
        const auto tick = found->second.tick;  // stays alive if the tick removes its timer
        {
            RunningMark mark(timers, id);
            (*tick)();
        }
        if (stop && stop()) return true;
    }
    return false;
}

void EventLoop::State::wait(Clock::time_point deadline, bool wake_on_quit) {
    if (const auto due = next_due(); due && *due < deadline) deadline = *due;
    std::unique_lock lock(mutex);
    wake.wait_until(lock, deadline, [&] { return !posted.empty() || (wake_on_quit && quit_requested); });
}

EventLoop::EventLoop() : state_(std::make_unique<State>()) {}
EventLoop::~EventLoop() = default;

EventLoop& EventLoop::current() {
    static thread_local std::unique_ptr<EventLoop> loop;
    if (!loop) loop.reset(new EventLoop);
    return *loop;
}

EventLoop::TimerId EventLoop::add_timer(std::chrono::milliseconds period, std::function<void()> tick) {
    const TimerId id = state_->next_timer++;
    State::Timer timer;
    timer.period = period;
    timer.tick = std::make_shared<std::function<void()>>(std::move(tick));
    state_->timers.emplace(id, std::move(timer));
    return id;
}

void EventLoop::set_timer_enabled(TimerId id, bool enabled) {
    const auto found = state_->timers.find(id);
    if (found == state_->timers.end()) return;
    State::Timer& timer = found->second;
    // Enabling a stopped timer starts a full period; enabling a running one changes nothing.
    if (enabled && !timer.enabled) timer.due = Clock::now() + timer.period;
    timer.enabled = enabled;
    if (enabled) state_->call_wake_handler();
}

void EventLoop::remove_timer(TimerId id) { state_->timers.erase(id); }

void EventLoop::post(std::function<void()> work) {
    {
        std::lock_guard lock(state_->mutex);
        state_->posted.push_back(std::move(work));
    }
    state_->wake.notify_one();
    state_->call_wake_handler();
}

void EventLoop::quit() {
    {
        std::lock_guard lock(state_->mutex);
        state_->quit_requested = true;
    }
    state_->wake.notify_one();
}

void EventLoop::run() {
    const auto quit_asked = [this] {
        std::lock_guard lock(state_->mutex);
        return state_->quit_requested;
    };
    while (!quit_asked()) {
        if (state_->run_pending(quit_asked)) break;
        state_->wait(Clock::now() + std::chrono::hours(1), true);
    }
    std::lock_guard lock(state_->mutex);
    state_->quit_requested = false;
}

bool EventLoop::run_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto start = Clock::now();
    const bool forever = timeout >= std::chrono::duration_cast<std::chrono::milliseconds>(Clock::duration::max() / 2);
    const auto deadline = forever ? Clock::time_point::max() : start + timeout;
    for (;;) {
        if (done()) return true;
        if (state_->run_pending(done)) return true;
        const auto now = Clock::now();
        if (now >= deadline) return done();
        state_->wait(forever ? now + std::chrono::hours(1) : deadline, false);
    }
}

void EventLoop::process_pending() { state_->run_pending(nullptr); }

std::optional<std::chrono::milliseconds> EventLoop::time_until_next_timer() const {
    const auto due = state_->next_due();
    if (!due) return std::nullopt;
    const auto left = *due - Clock::now();
    if (left <= Clock::duration::zero()) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
}

void EventLoop::set_wake_handler(std::function<void()> wake) {
    std::lock_guard lock(state_->wake_mutex);
    state_->wake_handler = std::move(wake);
}

}  // namespace zubmp3
