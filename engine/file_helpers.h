// Small file helpers of the job and its output folders. Paths are Windows
// paths (8-bit, backslash separator).
#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Length of the file in bytes; 0 when it cannot be opened.
int64_t get_file_length(const char* path);

// A path of at least 2 characters beginning with "\\" (a share) or a drive
// letter and a colon.
bool has_valid_path_form(const char* path);

// 1 when the path has the valid form and names a folder / a file that is not a
// folder; else 0.
int32_t is_existing_folder(const char* path);
int32_t is_existing_file(const char* path);

// Removes trailing blanks in place.
void trim_trailing_spaces(std::string& text);

}  // namespace engine
