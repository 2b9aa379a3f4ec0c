#include "progress_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "platform/terminal.h"

namespace zubmp3::app {

std::string format_clock(double seconds) {
    const long total = seconds > 0 ? static_cast<long>(seconds) : 0;
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string format_speed(const ProgressView& view) {
    // Too little work done for a steady figure.
    if (view.audio_seconds <= 0 || view.active_seconds < 0.2 || view.percent <= 0) return {};
    const double speed = view.audio_seconds * std::min(view.percent, 100) / 100.0 / view.active_seconds;
    if (!std::isfinite(speed)) return {};
    char text[32];
    std::snprintf(text, sizeof text, speed < 10 ? "%.2fx" : "%.1fx", speed);
    return text;
}

std::string render_progress(const ProgressView& view, int columns) {
    if (columns <= 0) columns = 80;
    const int percent = std::clamp(view.percent, 0, 100);

    char figures[96];
    std::snprintf(figures, sizeof figures, " %3d%%  %s", percent, format_clock(view.elapsed_seconds).c_str());
    std::string tail = figures;
    if (view.files_total > 0) tail += "  " + std::to_string(view.files_done) + "/" + std::to_string(view.files_total) + " files";
    if (const std::string speed = format_speed(view); !speed.empty()) tail += "  " + speed;
    if (!view.phase.empty()) tail += "  " + view.phase;
    if (view.paused)
        tail += view.keys ? "  paused  r resume  c cancel" : "  paused";
    else if (view.keys)
        tail += "  p pause  c cancel";

    // The bar keeps one width for the whole job, whatever the tail says; a
    // narrow terminal gets a short bar and then loses the tail.
    constexpr int kLongestTail = 52;  // " 100%  9:59:59  999.9x  paused  r resume  c cancel" and a margin
    // (a file count or a phase may then be cut at the end of a narrow line)
    const int width = std::clamp(columns - 1 - 2 - kLongestTail, 10, 40);
    const int filled = width * percent / 100;
    std::string line = "[";
    line.append(static_cast<size_t>(filled), '=');
    if (filled < width) {
        line += '>';
        line.append(static_cast<size_t>(width - filled - 1), ' ');
    }
    line += ']';
    line += tail;
    if (static_cast<int>(line.size()) > columns - 1) line.resize(static_cast<size_t>(std::max(columns - 1, 0)));
    return line;
}

ProgressLine::ProgressLine(double audio_seconds, bool keys) {
    view_.audio_seconds = audio_seconds;
    view_.keys = keys;
}

void ProgressLine::set_percent(int percent) {
    if (percent == view_.percent) return;
    view_.percent = percent;
    draw();
}

void ProgressLine::set_paused(bool paused) {
    if (paused == view_.paused) return;
    const auto now = Clock::now();
    if (paused) pause_started_ = now;
    else paused_total_ += now - pause_started_;
    view_.paused = paused;
    draw();
}

void ProgressLine::set_phase(const std::string& phase) {
    if (phase == view_.phase) return;
    view_.phase = phase;
    draw();
}

void ProgressLine::set_files(int done, int total) {
    if (done == view_.files_done && total == view_.files_total) return;
    view_.files_done = done;
    view_.files_total = total;
    draw();
}

void ProgressLine::tick() {
    if (Clock::now() - last_draw_ >= std::chrono::milliseconds(250)) draw();
}

void ProgressLine::clear() { std::cerr << "\r\x1b[K" << std::flush; }

void ProgressLine::finish(bool success) {
    if (success) view_.percent = 100;
    view_.keys = false;
    view_.paused = false;
    view_.phase.clear();
    draw();
    std::cerr << '\n' << std::flush;
}

void ProgressLine::draw() {
    const auto now = Clock::now();
    const auto paused = paused_total_ + (view_.paused ? now - pause_started_ : Clock::duration::zero());
    view_.elapsed_seconds = std::chrono::duration<double>(now - start_).count();
    view_.active_seconds = std::chrono::duration<double>(now - start_ - paused).count();
    std::cerr << '\r' << render_progress(view_, platform::terminal_columns(platform::StdStream::error)) << "\x1b[K"
              << std::flush;
    last_draw_ = now;
}

}  // namespace zubmp3::app
