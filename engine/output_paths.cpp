#include "output_paths.h"

#include "file_helpers.h"
#include "platform/win32.h"

namespace engine {
namespace {

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

bool is_share_path(const std::string& path) { return path.size() >= 2 && path[0] == '\\' && path[1] == '\\'; }

// make_output_folder's result for each find_invalid_path_char result.
constexpr int32_t kInvalidCharReason[] = {
    kFolderReady,   kFolderSecondColon, kFolderHasSlash,   kFolderHasStar, kFolderHasQuestionMark,
    kFolderHasLess, kFolderHasGreater,  kFolderHasQuote,   kFolderHasBar,
};

// The checks of a folder's text, in their order; a trailing backslash is
// taken off `path` (a drive root keeps it).
int32_t check_folder_text(std::string& path) {
    if (path.empty()) return kFolderEmpty;
    if (path.size() < 2) return kFolderTooShort;
    if (const int32_t invalid = find_invalid_path_char(path); invalid != kPathCharsValid)
        return kInvalidCharReason[invalid];
    if (path.size() != 3 && path.back() == '\\') path.pop_back();
    if (!has_valid_path_form(path.c_str())) return kFolderNotDriveOrShare;
    return kFolderReady;
}

// Creates the levels of `path` from the top down, the last one included;
// levels that exist already and a share's server part fail silently. Those
// created are added to `created`. kFolderFileInTheWay when a level above the
// last is a file.
int32_t create_folder_levels(const std::string& path, std::vector<std::string>* created) {
    const auto create = [created](const std::string& level) {
        if (CreateDirectoryA(level.c_str(), nullptr) != FALSE && created != nullptr) created->push_back(level);
    };
    for (size_t at = path.find('\\', is_share_path(path) ? 2 : 0); at != std::string::npos;
         at = path.find('\\', at + 1)) {
        const std::string prefix = path.substr(0, at + 1);
        create(prefix);
        if (prefix.size() == 3) continue;  // a drive root
        const std::string level = prefix.substr(0, prefix.size() - 1);
        if (is_existing_file(level.c_str())) return kFolderFileInTheWay;
    }
    create(path);
    return kFolderReady;
}

}  // namespace

int32_t split_output_path(const char* path, std::string& folder, std::string& file_name) {
    folder.clear();
    file_name.clear();
    if (path == nullptr) return 1;
    const std::string_view whole(path);
    const size_t last = whole.rfind('\\');
    if (last == std::string_view::npos) {
        file_name = whole;
    } else {
        folder = whole.substr(0, last + 1);
        file_name = whole.substr(last + 1);
    }
    return 0;
}

int32_t count_occurrences_nocase(std::string_view text, std::string_view what) {
    if (text.empty() || what.empty() || what.size() > text.size()) return 0;
    int32_t count = 0;
    for (size_t at = 0; at + what.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < what.size() && lower_ascii(text[at + i]) == lower_ascii(what[i])) ++i;
        if (i == what.size()) ++count;
    }
    return count;
}

int32_t find_invalid_path_char(std::string_view text) {
    if (count_occurrences_nocase(text, ":") > 1) return kPathSecondColon;
    // In the order of their results, from kPathSlash on.
    constexpr std::string_view kForbidden[] = {"/", "*", "?", "<", ">", "\"", "|"};
    for (size_t i = 0; i < std::size(kForbidden); ++i)
        if (count_occurrences_nocase(text, kForbidden[i]) > 0) return static_cast<int32_t>(i) + kPathSlash;
    return kPathCharsValid;
}

int32_t probe_folder_writable(const char* folder) {
    std::string path = folder == nullptr ? "" : folder;
    trim_trailing_spaces(path);
    if (path.empty() || path.back() != '\\') path += '\\';
    char created[MAX_PATH] = {};
    if (GetTempFileNameA(path.c_str(), "zub", 0, created) == 0) return 0;
    DeleteFileA(created);
    return 1;
}

int32_t check_folder_writable(const char* path) {
    if (!has_valid_path_form(path) || is_existing_folder(path) == 0) return -1;
    return probe_folder_writable(path) == 1 ? 0 : 1;
}

int32_t make_output_folder(const std::string& folder, std::vector<std::string>* created) {
    std::string path = folder;
    if (const int32_t refused = check_folder_text(path); refused != kFolderReady) return refused;
    if (const int32_t blocked = create_folder_levels(path, created); blocked != kFolderReady) return blocked;
    if (is_existing_folder(path.c_str()))
        return check_folder_writable(path.c_str()) == 0 ? kFolderReady : kFolderNotWritable;
    if (is_existing_file(path.c_str())) return kFolderFileInTheWay;
    return is_share_path(path) ? kFolderShareNotMade : kFolderDriveNotMade;
}

}  // namespace engine
