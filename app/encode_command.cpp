// zubmp3 encode: one job, watched through the control's events, steered by
// keys (p, r, c) and Ctrl-C.
#include <chrono>
#include <iostream>
#include <optional>

#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "platform/text.h"
#include "progress_bar.h"
#include "wav_length.h"

namespace zubmp3::app {
namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr auto kPollPeriod = std::chrono::milliseconds(50);
constexpr auto kRedrawPeriod = std::chrono::milliseconds(250);

// The progress line on standard error, redrawn in place.
class ProgressLine {
public:
    ProgressLine(double audio_seconds, bool keys) {
        view_.audio_seconds = audio_seconds;
        view_.keys = keys;
    }

    void set_percent(int percent) {
        view_.percent = percent;
        draw();
    }
    void set_paused(bool paused) {
        if (paused == view_.paused) return;
        const auto now = Clock::now();
        if (paused) pause_started_ = now;
        else paused_total_ += now - pause_started_;
        view_.paused = paused;
        draw();
    }
    void tick() {
        if (Clock::now() - last_draw_ >= kRedrawPeriod) draw();
    }
    // The last line stays: 100% after a job that succeeded, where it stopped otherwise.
    void finish(bool success) {
        if (success) view_.percent = 100;
        view_.keys = false;
        view_.paused = false;
        draw();
        std::cerr << '\n' << std::flush;
    }

private:
    void draw() {
        const auto now = Clock::now();
        const auto paused = paused_total_ + (view_.paused ? now - pause_started_ : Clock::duration::zero());
        view_.elapsed_seconds = Seconds(now - start_).count();
        view_.active_seconds = Seconds(now - start_ - paused).count();
        std::cerr << '\r' << render_progress(view_, platform::terminal_columns(platform::StdStream::error))
                  << "\x1b[K" << std::flush;
        last_draw_ = now;
    }

    ProgressView view_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_draw_{};
    Clock::time_point pause_started_{};
    Clock::duration paused_total_{};
};

// The input's length for the speed figure; 0 when it cannot be told.
double input_seconds(const std::string& path) {
    if (!is_windows_form(path)) return wav_file_seconds(path);
    const auto host = platform::to_host_path(platform::utf8_to_latin1(path));
    return host ? wav_file_seconds(*host) : 0;
}

}  // namespace

int run_encode(const EncodeOptions& options) {
    const Text input = control_path(options.input);
    const Text output = control_path(options.output);

    ZUBEncode control;
    EventHandlers events;
    std::optional<Long> error_number;
    std::string error_message;
    bool finished = false;
    std::optional<ProgressLine> bar;

    events.on_error_code = [&](Long number, const Text& description) {
        error_number = number;
        error_message = trim_right(to_utf8(description));
        if (options.events) std::cout << "ErrorCode " << number << ' ' << to_utf8(description) << std::endl;
    };
    events.on_finished = [&] {
        finished = true;
        if (options.events) std::cout << "Finished" << std::endl;
    };
    events.on_progress = [&](Long percent) {
        if (options.events) std::cout << "Progress " << percent << std::endl;
        if (bar && !finished) bar->set_percent(percent);  // the closing 100 comes whatever the end
    };
    control.set_events(&events);

    const auto failed = [&] {
        if (error_number) complain("error " + std::to_string(*error_number) + ": " + error_message);
        else complain("the job ended without a result");
        return kControlError;
    };

    if (options.priority) {
        control.SelectProcessPriority(*options.priority);
        if (error_number) return failed();
    }

    // Keys come from a terminal, or with --events from whatever feeds
    // standard input (so that a controlling program can steer the job).
    std::optional<platform::KeyInput> keys;
    if (platform::is_terminal(platform::StdStream::input) || options.events) keys.emplace();
    platform::install_interrupt_handler();

    control.MP3Encode(input, output, options.bitrate, to_text(options.mode), to_text(options.quality),
                      options.vbr ? 1 : 0, options.vbr_max);
    if (error_number) return failed();  // refused before a job started

    if (!options.events && platform::is_terminal(platform::StdStream::error))
        bar.emplace(input_seconds(options.input), keys && keys->raw_terminal());

    bool cancelled = false;
    const auto poll = [&] {
        if (finished || cancelled) return;
        if (platform::interrupt_requested()) {
            cancelled = true;
            control.MP3EncodeCancel();  // returns once the job has closed its files
            return;
        }
        while (keys) {
            const auto key = keys->poll();
            if (!key) break;
            switch (*key) {
                case 'p':
                case 'P':
                    control.MP3EncodePause();
                    if (bar) bar->set_paused(true);
                    break;
                case 'r':
                case 'R':
                    control.MP3EncodeResume();
                    if (bar) bar->set_paused(false);
                    break;
                case 'c':
                case 'C':
                    cancelled = true;
                    control.MP3EncodeCancel();
                    return;
                default: break;
            }
        }
        if (bar) bar->tick();
    };

    EventLoop& loop = EventLoop::current();
    const auto timer = loop.add_timer(kPollPeriod, poll);
    loop.set_timer_enabled(timer, true);
    poll();  // keys already waiting act at once
    loop.run_until([&] { return finished; });
    loop.remove_timer(timer);

    const bool success = error_number == 0;
    if (bar) bar->finish(success);
    if (!success) return failed();
    return kSuccess;
}

}  // namespace zubmp3::app
