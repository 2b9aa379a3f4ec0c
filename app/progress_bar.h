// The one-line progress display of an encoding on a terminal.
#pragma once

#include <string>

namespace zubmp3::app {

struct ProgressView {
    int percent = 0;              // 0..100
    double elapsed_seconds = 0;   // wall time since the job started
    double active_seconds = 0;    // the part of it not spent paused
    double audio_seconds = 0;     // length of the input; 0 when unknown
    bool paused = false;
    bool keys = false;            // p/r/c work: show the hint
};

// "m:ss", or "h:mm:ss" from one hour on.
std::string format_clock(double seconds);

// "12.3x" (audio encoded per second of work), or "" while it cannot be told.
std::string format_speed(const ProgressView& view);

// The line, at most `columns` characters wide (80 when 0), without the
// carriage return or line end: "[=====>     ]  42%  0:03  21.4x  p pause  c cancel".
std::string render_progress(const ProgressView& view, int columns);

}  // namespace zubmp3::app
