// What keeps a command from using a file, in words a user knows, checked
// before the control is asked so that its numbered results need no guessing.
#pragma once

#include <optional>
#include <string>

namespace zubmp3::app {

enum class FileNeed {
    read,    // an existing file the command reads (an input, a tag to print)
    write,   // an existing file the command changes (a tag write or removal)
    create,  // a file the command makes or replaces (an output); missing folders may be made
};

// nullopt when the file at `path` (a command-line path: host form, or a
// Windows form the control would take) can serve `need`; otherwise the
// problem, e.g. "not found", "is a folder", "no permission to read it".
// Nothing is changed and nothing is read beyond opening the file.
std::optional<std::string> file_problem(const std::string& path, FileNeed need);

}  // namespace zubmp3::app
