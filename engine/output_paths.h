// The output path of a job: split into folder part and file name, checked,
// its missing folder levels created, and the final folder proved writable.
// Windows paths, backslash the only separator.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Folder part (up to and including the last backslash) and file name (the
// rest). A path without a backslash is all file name. Returns 1 when `path`
// is null (both outputs empty), else 0.
int32_t split_output_path(const char* path, std::string& folder, std::string& file_name);

// Makes sure the folder exists and a file can be created in it: 0, or a
// reason code: 1 empty, 7 shorter than 2 characters, 8 a second colon, 13 a
// forward slash, 10 "*", 9 "?", 11 "<", 12 ">", 14 a double quote, 16 "|",
// 2 neither a drive nor a share path, 17 a file stands in the way, 15 no file
// can be created there, 4 (drive) or 6 (share) the folder could not be made.
// `created`, when given, receives the levels this call created, top down.
int32_t make_output_folder(const std::string& folder, std::vector<std::string>* created = nullptr);

// 1 for more than one colon, else 2 for "/", 3 "*", 4 "?", 5 "<", 6 ">",
// 7 a double quote, 8 "|", in this order; 0 when none occurs.
int32_t find_invalid_path_char(std::string_view text);

// Occurrences of `what` in `text`, letter case ignored, overlaps counted; 0
// when either is empty or `what` is the longer.
int32_t count_occurrences_nocase(std::string_view text, std::string_view what);

// For an existing folder of valid form: 0 when a file can be created in it,
// 1 when not; -1 for anything else.
int32_t check_folder_writable(const char* path);

// Creates and deletes a unique "zub" file in the folder: 1 when that worked.
int32_t probe_folder_writable(const char* folder);

}  // namespace engine
