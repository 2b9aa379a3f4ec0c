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

// Why an output folder cannot be used.
enum OutputFolderResult : int32_t {
    kFolderReady = 0,
    kFolderEmpty = 1,
    kFolderNotDriveOrShare = 2,
    kFolderDriveNotMade = 4,
    kFolderShareNotMade = 6,
    kFolderTooShort = 7,  // shorter than 2 characters
    kFolderSecondColon = 8,
    kFolderHasQuestionMark = 9,
    kFolderHasStar = 10,
    kFolderHasLess = 11,
    kFolderHasGreater = 12,
    kFolderHasSlash = 13,
    kFolderHasQuote = 14,
    kFolderNotWritable = 15,  // no file can be created there
    kFolderHasBar = 16,
    kFolderFileInTheWay = 17,
};

// Makes sure the folder exists and a file can be created in it. The checks
// run in the order empty, too short, invalid characters (as
// find_invalid_path_char orders them), form, levels, writability.
// `created`, when given, receives the levels this call created, top down.
int32_t make_output_folder(const std::string& folder, std::vector<std::string>* created = nullptr);

// The first invalid character a path holds.
enum InvalidPathChar : int32_t {
    kPathCharsValid = 0,
    kPathSecondColon = 1,
    kPathSlash = 2,
    kPathStar = 3,
    kPathQuestionMark = 4,
    kPathLess = 5,
    kPathGreater = 6,
    kPathQuote = 7,
    kPathBar = 8,
};

// More than one colon first, then "/", "*", "?", "<", ">", a double quote
// and "|", in this order.
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
