// Texts and paths on their way from the command line (UTF-8, Linux paths) to
// the control (UTF-16, Windows paths) and back.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zubmp3/host.h"

namespace zubmp3::app {

// A command-line argument the control cannot take as it stands.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Text to_text(std::string_view utf8);
std::string to_utf8(const Text& text);

// True when every character of the text survives the control's 8-bit code
// page (Latin-1); characters beyond it reach files as '?'.
bool fits_latin1(const Text& text);

// True for "C:..." and "\\server\share..." forms, which go to the control as
// they are.
bool is_windows_form(std::string_view path);

// The control's form of a command-line path: Windows forms unchanged, Linux
// paths (relative or absolute) through the platform's drive mapping, the empty
// path as it is. UsageError when the path holds characters that the control's
// code page cannot name.
Text control_path(const std::string& path);

// The host form of a command-line path: Windows forms through the
// platform's drive mapping (nullopt for an unmapped drive or share), others
// as they are.
std::optional<std::string> host_path(const std::string& path);

// The text without its trailing blanks (messages of the control end in one).
std::string trim_right(std::string text);

}  // namespace zubmp3::app
