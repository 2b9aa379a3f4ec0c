#include "progress_bar.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    if (const std::string speed = format_speed(view); !speed.empty()) tail += "  " + speed;
    if (view.paused)
        tail += view.keys ? "  paused  r resume  c cancel" : "  paused";
    else if (view.keys)
        tail += "  p pause  c cancel";

    // The bar keeps one width for the whole job, whatever the tail says; a
    // narrow terminal gets a short bar and then loses the tail.
    constexpr int kLongestTail = 52;  // " 100%  9:59:59  999.9x  paused  r resume  c cancel" and a margin
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

}  // namespace zubmp3::app
