// The host runtime an application gets with the control: automation types and
// errors, the event loop of the user-interface thread, and the About box
// presenter. Everything here is exported by libzubmp3ctl.so.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#define ZUBMP3_API __attribute__((visibility("default")))

namespace zubmp3 {

using Long = int32_t;       // automation Long
using Text = std::u16string;  // automation string (UTF-16)

// An automation error: a number and a description (no source, no help file).
class ZUBMP3_API AutomationError : public std::runtime_error {
public:
    AutomationError(Long number, Text description);
    Long number() const noexcept { return number_; }
    const Text& description() const noexcept { return description_; }

private:
    Long number_;
    Text description_;
};

// The event loop of one thread: periodic timers and posted work, run on that
// thread only. Each thread has its own; a control uses the loop of the thread
// that created it.
class ZUBMP3_API EventLoop {
public:
    using TimerId = uint64_t;

    static EventLoop& current();

    // A periodic timer, stopped until enabled. Ticks run inside run*/process_pending.
    TimerId add_timer(std::chrono::milliseconds period, std::function<void()> tick);
    void set_timer_enabled(TimerId timer, bool enabled);
    void remove_timer(TimerId timer);

    // Thread-safe: queues work for the loop's thread and wakes the loop.
    void post(std::function<void()> work);

    void run();   // until quit()
    void quit();  // thread-safe
    // Runs until `done` holds (checked after each piece of work) or the timeout
    // passes; true when `done` holds.
    bool run_until(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds::max());
    void process_pending();  // due timers and posted work, without waiting

    // For another event loop (a toolkit's) that drives this one through
    // process_pending() instead of run(). The time until the next enabled
    // timer is due, rounded up to whole milliseconds (zero when one is due),
    // or nullopt when none is enabled; on the loop's thread only.
    std::optional<std::chrono::milliseconds> time_until_next_timer() const;
    // `wake` is called each time work is posted (on the posting thread) or a
    // timer is enabled (on the loop's thread), so that the driving loop runs
    // process_pending() and asks time_until_next_timer() again. It must return
    // quickly and must not call into this loop. Replacing or removing it
    // (nullptr) waits for a call in progress to return.
    void set_wake_handler(std::function<void()> wake);

    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

private:
    EventLoop();
    struct State;
    std::unique_ptr<State> state_;
};

// What the About box shows.
struct AboutContents {
    Text caption;      // the control's title (product name and version)
    Text description;  // the description text
    Text maker;
    Text web_address;
    Text mail_address;
    Text exit_caption;  // "Exit"
    // The clicks on the web-address and mail-address labels: each hands the
    // address to the desktop's default program (failures are ignored).
    std::function<void()> open_web;
    std::function<void()> open_mail;
};

// Presents the About box modally. The default one prints the contents on the
// terminal; on an interactive terminal it waits for Enter ("w" and "m" open the
// web and mail addresses first), otherwise it returns at once.
class ZUBMP3_API AboutPresenter {
public:
    virtual ~AboutPresenter() = default;
    virtual void present(const AboutContents& contents) = 0;
};
ZUBMP3_API void set_about_presenter(std::shared_ptr<AboutPresenter> presenter);  // nullptr: the default

}  // namespace zubmp3
