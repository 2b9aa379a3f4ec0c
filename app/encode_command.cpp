// One encoding session: probe, convert when needed, encode through the
// control, tag. The session reports through --events lines or the progress
// line; Steering turns keys and signals into pause, resume and cancel.
#include "encode_command.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <thread>

#include "audio_input.h"
#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "encode_messages.h"
#include "platform/temp_folder.h"
#include "progress_bar.h"
#include "steering.h"

namespace zubmp3::app {
namespace {

namespace fs = std::filesystem;

constexpr auto kPollPeriod = std::chrono::milliseconds(50);

// What the user sees: event lines on standard output, or the progress line
// on a terminal.
struct Display {
    bool events = false;
    std::optional<ProgressLine> bar;
    std::string first_message;  // for --json

    void event(const std::string& line) const {
        if (events) std::cout << line << std::endl;
    }
    void message(const std::string& text) {
        if (bar) bar->clear();
        complain(text);
        if (first_message.empty()) first_message = text;
    }
};

// A private folder for the converted copy, removed with it on every path.
class TempCopy {
public:
    TempCopy() {
        if (const auto folder = platform::make_private_folder("zubmp3-")) folder_ = *folder;
    }
    ~TempCopy() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;
    bool ok() const { return !folder_.empty(); }
    std::string path() const { return (fs::path(folder_) / "input.wav").string(); }

private:
    std::string folder_;
};

// The exit status of a session that did not succeed.
int failure_status(const Steering& steering) {
    return steering.interrupted() ? steering.interrupt_status() : kControlError;
}

// Converts the input into `copy`, the line showing "converting", keys and
// signals acting between blocks.
bool convert_input(const EncodeRequest& request, const std::string& host_input, const std::string& copy,
                   Steering& steering, Display& display) {
    bool paused = false;
    ConvertHooks hooks;
    hooks.progress = [&](int percent) {
        display.event("Convert " + std::to_string(percent));
        if (display.bar) display.bar->set_percent(percent);
    };
    hooks.cancelled = [&] {
        for (;;) {
            const Steer steer = steering.poll();
            if (steer == Steer::cancel) return true;
            if (steer == Steer::pause || steer == Steer::resume) paused = steer == Steer::pause;
            if (display.bar) display.bar->set_paused(paused), display.bar->tick();
            if (!paused) return false;
            std::this_thread::sleep_for(kPollPeriod);
        }
    };
    if (display.bar) display.bar->set_phase("converting");
    std::string error;
    const ConvertResult result = convert_to_pcm16(host_input, copy, hooks, error);
    if (display.bar) display.bar->set_phase(""), display.bar->set_percent(0);
    if (result == ConvertResult::cancelled) display.message(request.input + ": cancelled while converting; nothing written");
    if (result == ConvertResult::failed) display.message(request.input + ": cannot be converted (" + error + ")");
    return result == ConvertResult::done;
}

// One job of the control: its events to the display, steered until it ends.
class ControlJob {
public:
    explicit ControlJob(Display& display) : display_(display) {
        events_.on_error_code = [this](Long number, const Text& description) {
            error_ = number;
            display_.event("ErrorCode " + std::to_string(number) + ' ' + to_utf8(description));
        };
        events_.on_finished = [this] {
            finished_ = true;
            display_.event("Finished");
        };
        events_.on_progress = [this](Long percent) {
            display_.event("Progress " + std::to_string(percent));
            if (display_.bar && !finished_) display_.bar->set_percent(percent);  // the closing 100 comes whatever the end
        };
        control_.set_events(&events_);
    }

    // The control's answer: 0 after success, its error number otherwise.
    Long run_job(const Text& input, const Text& output, const EncodeSettings& s, Steering& steering) {
        if (s.priority) {
            control_.SelectProcessPriority(*s.priority);
            if (error_) return *error_;
        }
        control_.MP3Encode(input, output, s.bitrate, to_text(s.mode), to_text(s.quality), s.vbr ? 1 : 0, s.vbr_max);
        if (error_) return *error_;  // refused before a job started
        EventLoop& loop = EventLoop::current();
        const auto timer = loop.add_timer(kPollPeriod, [&] { steer(steering); });
        loop.set_timer_enabled(timer, true);
        steer(steering);  // keys already waiting act at once
        loop.run_until([&] { return finished_; });
        loop.remove_timer(timer);
        return error_.value_or(255);
    }

private:
    void steer(Steering& steering) {
        if (finished_ || cancelled_) return;
        for (Steer s = steering.poll(); s != Steer::none && !cancelled_; s = steering.poll()) {
            if (s == Steer::pause) control_.MP3EncodePause();
            if (s == Steer::resume) control_.MP3EncodeResume();
            if (s == Steer::cancel) cancelled_ = true, control_.MP3EncodeCancel();  // returns once the files are closed
            if (display_.bar && s != Steer::cancel) display_.bar->set_paused(s == Steer::pause);
        }
        if (display_.bar) display_.bar->tick();
    }

    Display& display_;
    ZUBEncode control_;
    EventHandlers events_;
    std::optional<Long> error_;
    bool finished_ = false;
    bool cancelled_ = false;
};

// The input the control gets: the user's file, or a converted copy of it.
// nullopt (after a message) when the session ends here.
std::optional<std::string> control_input(const EncodeRequest& request, const InputProbe& probe, TempCopy& copy,
                                         Steering& steering, Display& display) {
    if (probe.kind == InputProbe::Kind::refused) {
        display.message(request.input + ": " + probe.why);
        return std::nullopt;
    }
    if (probe.kind != InputProbe::Kind::convert) return request.input;
    const auto in = host_path(request.input), out = host_path(request.output);
    std::error_code ignored;
    if (in && out && fs::equivalent(*in, *out, ignored)) {
        display.message(request.input + ": is also the output file");
        return std::nullopt;
    }
    if (!copy.ok()) {
        display.message(request.input + ": no private temporary folder for its converted copy (see TMPDIR)");
        return std::nullopt;
    }
    if (!convert_input(request, *in, copy.path(), steering, display)) return std::nullopt;
    return copy.path();
}

bool output_kept(const EncodeRequest& request) {
    const auto out = host_path(request.output);
    std::error_code ignored;
    if (!request.no_clobber || !out || !fs::exists(*out, ignored)) return false;
    complain(request.output + ": exists; kept (--no-clobber)");
    return true;
}

// The session after the no-clobber check: its exit status; the control's
// answer in `result` when it was asked.
int encode_session(const EncodeRequest& request, Display& display, std::optional<Long>& result) {
    const Text output = control_path(request.output);
    const Text user_input = control_path(request.input);
    Steering steering(request.events, request.stdin_keys);
    const auto host_input = host_path(request.input);
    const InputProbe probe = host_input ? probe_input(*host_input) : InputProbe{};
    if (!request.events && platform::is_terminal(platform::StdStream::error))
        display.bar.emplace(probe.seconds(), steering.raw_terminal());

    TempCopy copy;
    const auto input = control_input(request, probe, copy, steering, display);
    if (!input) {
        if (display.bar) display.bar->finish(false);
        return failure_status(steering);
    }
    result = ControlJob(display).run_job(*input == request.input ? user_input : control_path(*input), output,
                                         request.settings, steering);
    if (display.bar) display.bar->finish(result == 0);
    if (result != 0) {
        display.message(encode_failure(*result, request, probe));
        return failure_status(steering);
    }
    if (!request.after_success || request.after_success(request.output) == kSuccess) return kSuccess;
    display.first_message = "the MP3 is made, but its tags were not written";
    return kControlError;
}

}  // namespace

int run_encode(const EncodeRequest& request) {
    control_path(request.input);  // a path the control cannot name is a usage error before anything runs
    control_path(request.output);
    if (output_kept(request)) {
        if (request.json) std::cout << encode_report(request.input, request.output, std::nullopt, "", true).dump() << std::endl;
        return kSuccess;
    }
    Display display{request.events, std::nullopt, {}};
    std::optional<Long> result;
    const int status = encode_session(request, display, result);
    if (request.json)
        std::cout << encode_report(request.input, request.output, result, display.first_message).dump() << std::endl;
    return status;
}

}  // namespace zubmp3::app
