#include "control_text.h"

#include <cctype>

#include "platform/paths.h"
#include "platform/text.h"

namespace zubmp3::app {

Text to_text(std::string_view utf8) { return platform::utf8_to_utf16(utf8); }

std::string to_utf8(const Text& text) { return platform::utf16_to_utf8(text); }

bool fits_latin1(const Text& text) {
    for (const char16_t c : text)
        if (c > 0xFF) return false;
    return true;
}

bool is_windows_form(std::string_view path) {
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return true;
    return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

Text control_path(const std::string& path) {
    if (path.empty()) return {};
    Text windows = to_text(is_windows_form(path) ? path : platform::to_windows_path(path));
    if (!fits_latin1(windows))
        throw UsageError("the path '" + path + "' has characters outside Latin-1, which the control cannot name");
    return windows;
}

std::optional<std::string> host_path(const std::string& path) {
    if (!is_windows_form(path)) return path;
    return platform::to_host_path(platform::utf8_to_latin1(path));
}

std::string trim_right(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace zubmp3::app
