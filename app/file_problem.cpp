#include "file_problem.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "control_text.h"

namespace zubmp3::app {
namespace {

namespace fs = std::filesystem;

std::string lookup_problem(const std::error_code& error) {
    if (error == std::errc::no_such_file_or_directory) return "not found";
    if (error == std::errc::not_a_directory) return "not found (a part of its path is not a folder)";
    if (error == std::errc::permission_denied) return "no permission to reach it";
    if (error == std::errc::too_many_symbolic_link_levels) return "is a loop of symbolic links";
    if (error == std::errc::filename_too_long) return "has too long a name";
    return error.message();
}

std::optional<std::string> type_problem(fs::file_type type) {
    switch (type) {
        case fs::file_type::regular: return std::nullopt;
        case fs::file_type::directory: return "is a folder";
        default: return "is not a regular file";
    }
}

// Opening (never truncating, never writing) is the one test of permission
// that counts every rule: owner, group, ACLs, read-only mounts, root.
bool opens(const fs::path& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

std::optional<std::string> open_problem(const fs::path& path, FileNeed need) {
    if (!opens(path, "rb")) return "no permission to read it";
    if (need != FileNeed::read && !opens(path, "r+b"))
        return errno == EROFS ? "is on a read-only file system" : "is read-only";
    return std::nullopt;
}

// The nearest folder that exists above a file that does not: it must let
// the file (and the missing folders) be made.
std::optional<std::string> creation_problem(const fs::path& path) {
    std::error_code error;
    fs::path folder = fs::absolute(path, error).parent_path();
    while (!folder.empty() && !fs::exists(fs::symlink_status(folder, error))) {
        if (folder == folder.root_path()) break;
        folder = folder.parent_path();
    }
    const auto status = fs::status(folder, error);
    if (error) return "its folder " + lookup_problem(error);
    if (status.type() != fs::file_type::directory) return "its folder " + folder.string() + " is a file";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> file_problem(const std::string& given, FileNeed need) {
    const auto host = host_path(given);
    if (!host) return "names a drive or share that is not mapped";
    if (host->empty()) return "not found";
    const fs::path path = *host;
    std::error_code error;
    const auto status = fs::status(path, error);  // follows symbolic links, as the control does
    const bool missing = error == std::errc::no_such_file_or_directory ||
                         (need == FileNeed::create && error == std::errc::not_a_directory);
    if (error && !missing) return lookup_problem(error);
    if (missing || !fs::exists(status)) {
        if (need != FileNeed::create) return "not found";
        return creation_problem(path);
    }
    if (auto problem = type_problem(status.type())) return problem;
    return open_problem(path, need);
}

}  // namespace zubmp3::app
