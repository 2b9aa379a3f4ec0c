// The one-line progress display of an encoding on a terminal.
#pragma once

#include <chrono>
#include <string>

namespace zubmp3::app {

struct ProgressView {
    int percent = 0;              // 0..100
    double elapsed_seconds = 0;   // wall time since the job started
    double active_seconds = 0;    // the part of it not spent paused
    double audio_seconds = 0;     // length of the input; 0 when unknown
    bool paused = false;
    bool keys = false;            // p/r/c work: show the hint
    std::string phase;            // e.g. "converting"; "" while encoding
    int files_done = 0;           // with files_total > 0: "3/20 files"
    int files_total = 0;
};

// "m:ss", or "h:mm:ss" from one hour on.
std::string format_clock(double seconds);

// "12.3x" (audio encoded per second of work), or "" while it cannot be told.
std::string format_speed(const ProgressView& view);

// The line, at most `columns` characters wide (80 when 0), without the
// carriage return or line end: "[=====>     ]  42%  0:03  21.4x  p pause  c cancel".
std::string render_progress(const ProgressView& view, int columns);

// The progress line on standard error, redrawn in place at most every 250 ms
// (at once when the percentage or the state changes).
class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    ProgressLine(double audio_seconds, bool keys);

    void set_percent(int percent);
    void set_paused(bool paused);
    void set_phase(const std::string& phase);
    void set_files(int done, int total);
    void set_audio_seconds(double seconds) { view_.audio_seconds = seconds; }
    void tick();
    // Takes the line off the screen (for a message), to be drawn again by the
    // next change or tick.
    void clear();
    // The last line stays: 100% after success, where it stopped otherwise.
    void finish(bool success);

private:
    void draw();

    ProgressView view_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_draw_{};
    Clock::time_point pause_started_{};
    Clock::duration paused_total_{};
};

}  // namespace zubmp3::app
