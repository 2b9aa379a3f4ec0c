#include "platform/paths.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "internal.h"
#include "platform/text.h"

namespace platform {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

std::string slashes_to_host(std::string_view windows_rest) {
    std::string out = latin1_to_utf8(windows_rest);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// Folder mapped to drive `letter` (upper case), or nullopt for an absent drive.
std::optional<std::string> drive_root(char letter) {
    const std::string name = std::string("ZUBMP3_DRIVE_") + letter;
    if (const char* root = std::getenv(name.c_str()); root != nullptr && *root != '\0') return root;
    if (letter == 'Z') return "/";
    return std::nullopt;
}

std::string join(std::string root, std::string_view rest) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) return root.empty() ? "/" : root;
    if (root.empty() || root.back() != '/') root += '/';
    root += rest;
    return root;
}

// "a/./b/../c" -> "a/c" for an absolute host path.
std::string normalise(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string_view::npos) j = path.size();
        const std::string_view part = path.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

// Host path relative to `root` when it lies inside it ("" for the root itself).
std::optional<std::string> inside(const std::string& path, std::string root) {
    root = normalise(root);
    if (root == "/") return path.substr(1);
    if (path == root) return std::string();
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/')
        return path.substr(root.size() + 1);
    return std::nullopt;
}

// A path that ends with a separator, or with a "." or ".." step, names a folder.
bool names_a_folder(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return last.empty() || last == "." || last == "..";
}

// `host_path` made absolute against the current folder and normalised; a
// path that names a folder keeps a trailing "/" (it has no file name).
std::string absolute_host_path(std::string_view host_path) {
    std::string absolute(host_path);
    if (absolute.empty() || absolute.front() != '/') {
        std::vector<char> cwd(4096);
        while (getcwd(cwd.data(), cwd.size()) == nullptr && cwd.size() < (1u << 20)) cwd.resize(cwd.size() * 2);
        absolute = std::string(cwd.data()) + "/" + absolute;
    }
    const bool folder = names_a_folder(absolute);
    absolute = normalise(absolute);
    if (folder && absolute != "/") absolute += '/';
    return absolute;
}

struct DrivePlace {
    char letter;
    std::string rest;  // the path inside the drive's folder
};

// The drive whose folder holds `absolute` most closely (the deepest folder;
// the first letter among equals), or nullopt.
std::optional<DrivePlace> closest_drive(const std::string& absolute) {
    std::optional<DrivePlace> best;
    size_t best_depth = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const auto root = drive_root(letter);
        if (!root) continue;
        const auto rest = inside(absolute, *root);
        if (!rest) continue;
        const size_t depth = normalise(*root).size();
        if (!best || depth > best_depth) best = DrivePlace{letter, *rest}, best_depth = depth;
    }
    return best;
}

}  // namespace

std::optional<std::string> to_host_path(std::string_view windows_path) {
    const std::string_view p = windows_path;
    if (p.size() >= 2 && is_separator(p[0]) && is_separator(p[1])) {
        const char* unc_root = std::getenv("ZUBMP3_UNC_ROOT");
        if (unc_root == nullptr || *unc_root == '\0') return std::nullopt;
        return join(unc_root, slashes_to_host(p.substr(2)));
    }
    if (p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':') {
        const auto root = drive_root(static_cast<char>(std::toupper(static_cast<unsigned char>(p[0]))));
        if (!root) return std::nullopt;
        return join(*root, slashes_to_host(p.substr(2)));
    }
    if (!p.empty() && is_separator(p[0])) {  // root of the current drive, taken as Z:
        const auto root = drive_root('Z');
        if (!root) return std::nullopt;
        return join(*root, slashes_to_host(p));
    }
    return slashes_to_host(p);
}

std::string to_windows_path(std::string_view host_path) {
    const std::string absolute = absolute_host_path(host_path);
    const auto drive = closest_drive(absolute);
    if (!drive) return absolute;  // no drive reaches it: host form unchanged
    std::string out = std::string(1, drive->letter) + ":\\" + drive->rest;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string module_folder(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    std::string file = info.dli_fname;
    if (file.empty() || file.front() != '/') {
        if (char* resolved = realpath(info.dli_fname, nullptr)) {
            file = resolved;
            std::free(resolved);
        }
    }
    if (file.empty() || file.front() != '/') {
        // The main program may be reported by the name it was started with.
        std::vector<char> buffer(4096);
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
        if (n <= 0) return {};
        file.assign(buffer.data(), static_cast<size_t>(n));
    }
    return detail::resolved_folder_of(file);
}

namespace detail {

std::string resolved_folder_of(const std::string& file) {
    std::string folder = folder_of(file);
    // The file's own name is kept: its partners lie beside that name.
    if (char* resolved = realpath(folder.c_str(), nullptr)) {
        folder = resolved;
        std::free(resolved);
    }
    return folder;
}

}  // namespace detail

}  // namespace platform
