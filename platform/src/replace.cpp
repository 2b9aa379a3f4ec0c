// Whole-file replacement: the new private file, the copy into it, and
// putting it in the target's place with what the target was.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"
#include "platform/replace.h"

using platform::detail::as_file;
using platform::detail::FileHandle;
using platform::detail::folder_of;
using platform::detail::host_path;
using platform::detail::set_error_from_errno;
using platform::detail::sync_folder;
using platform::detail::write_all;

namespace {

constexpr std::string_view kPrefix = ".zubmp3-";
constexpr std::string_view kSuffix = ".tmp";
constexpr size_t kDigits = 16;
constexpr int kNameAttempts = 16;
constexpr int64_t kKernelChunk = int64_t{16} << 20;
constexpr size_t kCopyBuffer = size_t{1} << 20;
constexpr const char* kAccessAcl = "system.posix_acl_access";

bool is_replacement_name(std::string_view name) {
    if (name.size() != kPrefix.size() + kDigits + kSuffix.size()) return false;
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) return false;
    return name.substr(kPrefix.size(), kDigits).find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string new_name() {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
        // No entropy yet: exclusive creation still makes a clash harmless.
        value = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (static_cast<uint64_t>(getpid()) << 40);
    }
    char digits[kDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return std::string(kPrefix) + digits + std::string(kSuffix);
}

// Sets the last error from errno; false.
bool fail_with_errno() {
    set_error_from_errno(errno);
    return false;
}

// Whether `name` in `folder` (AT_FDCWD: a path) is still the file `info` describes.
bool names_file(int folder, const std::string& name, const struct stat& info) {
    struct stat now {};
    return fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == info.st_dev &&
           now.st_ino == info.st_ino;
}

// Removes the replacement files in `folder` whose writers are gone: their
// lock can be taken. Files this user cannot open are left to their owners.
void remove_leftovers(int folder) {
    const int scan_fd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scan_fd < 0) return;
    DIR* scan = fdopendir(scan_fd);
    if (scan == nullptr) {
        close(scan_fd);
        return;
    }
    while (const dirent* entry = readdir(scan)) {
        if (!is_replacement_name(entry->d_name)) continue;
        const int fd = openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            names_file(folder, entry->d_name, info))
            unlinkat(folder, entry->d_name, 0);
        close(fd);
    }
    closedir(scan);
}

// A new file in `folder`, created exclusively under a fresh name (never
// through a link put there) and locked before anything is written to it.
FileHandle* create_locked(int folder, mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = new_name();
        int fd;
        do fd = openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            set_error_from_errno(errno);
            return nullptr;
        }
        // A remover that opened the name in the moment before the lock holds
        // it now, or has removed the file already: it is left to the remover.
        // Where the file system has no locks, no remover can take one either.
        struct stat info {};
        const bool taken = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (taken || fstat(fd, &info) != 0 || info.st_nlink == 0) {
            close(fd);
            continue;
        }
        auto* file = new FileHandle(fd);
        file->name = name;
        return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return nullptr;
}

// Gives `fd` the owner and group of `target`.
bool give_owner(int fd, const struct stat& target) {
    struct stat own {};
    if (fstat(fd, &own) != 0) return fail_with_errno();
    if (own.st_uid == target.st_uid && own.st_gid == target.st_gid) return true;
    if (fchown(fd, target.st_uid, target.st_gid) == 0) return true;
    if (errno != EPERM) return fail_with_errno();
    SetLastError(own.st_uid != target.st_uid ? ERROR_INVALID_OWNER : ERROR_INVALID_PRIMARY_GROUP);
    return false;
}

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// The names of the extended attributes of `fd`, each ended by a zero byte.
bool list_attributes(int fd, std::string& names) {
    names.clear();
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) return unsupported(errno);
        names.resize(static_cast<size_t>(size));
        const ssize_t got = flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;  // grew in between: ask again
    }
    return false;
}

bool copy_attribute(int from, int to, const char* name) {
    std::vector<char> value;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = fgetxattr(from, name, nullptr, 0);
        if (size < 0) return errno == ENODATA;  // gone in between
        value.resize(static_cast<size_t>(size));
        const ssize_t got = fgetxattr(from, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            break;
        }
        if (errno != ERANGE || attempt == 3) return false;
    }
    return fsetxattr(to, name, value.data(), value.size(), 0) == 0;
}

// Gives `to` the mode, access ACL and extended attributes of `from`. The
// user attributes and the ACL must come over; the rest (security labels,
// trusted attributes) only where this process may set them.
bool copy_attributes(int from, int to, const struct stat& target) {
    // An ACL inherited from the new file's folder gives way to the target's, or to none.
    if (fremovexattr(to, kAccessAcl) != 0 && errno != ENODATA && !unsupported(errno)) return fail_with_errno();
    if (fchmod(to, target.st_mode & 07777) != 0) return fail_with_errno();
    std::string names;
    if (!list_attributes(from, names)) return fail_with_errno();
    for (size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const std::string_view name(names.c_str() + at);
        const bool required = name.starts_with("user.") || name == kAccessAcl;
        if (!copy_attribute(from, to, names.c_str() + at) && required) return fail_with_errno();
    }
    return true;
}

// Copies in the kernel while it can. True when done: everything copied or
// the end of `from` reached. False when the kernel cannot copy between these
// files or failed: buffered_copy goes on from there and tells which side failed.
bool kernel_copy(int from, off_t& in, int to, int64_t& left) {
    while (left > 0) {
        const off_t start = lseek(to, 0, SEEK_CUR);
        const ssize_t n =
            copy_file_range(from, &in, to, nullptr, static_cast<size_t>(std::min(left, kKernelChunk)), 0);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        left -= n;
        // Writing back starts now, so that the flush before the rename overlaps the copy.
        sync_file_range(to, start, n, SYNC_FILE_RANGE_WRITE);
    }
    return true;
}

bool buffered_copy(int from, off_t& in, int to, int64_t& left) {
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBuffer]);
    if (buffer == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(kCopyBuffer)));
        const ssize_t n = pread(from, buffer.get(), want, in);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            SetLastError(ERROR_READ_FAULT);
            return false;
        }
        if (!write_all(to, buffer.get(), static_cast<size_t>(n))) return fail_with_errno();
        in += n;
        left -= n;
    }
    return true;
}

// A replacement made on another device reaches the target's folder as a copy.
BOOL commit_through_copy(HANDLE target, HANDLE replacement) {
    HANDLE beside = CreateReplacementFile(target, nullptr);
    if (beside == INVALID_HANDLE_VALUE) return FALSE;
    int64_t copied = 0;
    const BOOL placed = AppendFileRange(beside, replacement, 0, INT64_MAX, &copied) &&
                        CommitReplacementFile(target, beside);
    const DWORD error = GetLastError();
    CloseHandle(beside);
    SetLastError(error);
    return placed;
}

}  // namespace

HANDLE CreateReplacementFile(HANDLE target, const char* folder) {
    FileHandle* source = as_file(target);
    if (source == nullptr) return INVALID_HANDLE_VALUE;
    struct stat target_info {};
    if (fstat(source->fd, &target_info) != 0) {
        fail_with_errno();
        return INVALID_HANDLE_VALUE;
    }
    std::string folder_path = folder_of(source->path);
    if (folder != nullptr && *folder != '\0') {
        const auto host = host_path(folder);
        if (!host) return INVALID_HANDLE_VALUE;
        folder_path = *host;
    }
    const int dir = open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) {
        fail_with_errno();
        return INVALID_HANDLE_VALUE;
    }
    remove_leftovers(dir);
    FileHandle* file = create_locked(dir, target_info.st_mode & 0600);
    if (file == nullptr) {
        close(dir);
        return INVALID_HANDLE_VALUE;
    }
    file->folder = dir;
    file->path = folder_path + "/" + file->name;
    struct stat folder_info {};
    const bool same_device = fstat(dir, &folder_info) == 0 && folder_info.st_dev == target_info.st_dev;
    if (same_device && !give_owner(file->fd, target_info)) {
        const DWORD error = GetLastError();
        CloseHandle(file);
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

BOOL AppendFileRange(HANDLE file, HANDLE source, int64_t offset, int64_t count, int64_t* copied) {
    if (copied != nullptr) *copied = 0;
    FileHandle* to = as_file(file);
    FileHandle* from = as_file(source);
    if (to == nullptr || from == nullptr) return FALSE;
    if (offset < 0 || count < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    off_t in = offset;
    int64_t left = count;
    const bool done = kernel_copy(from->fd, in, to->fd, left) || buffered_copy(from->fd, in, to->fd, left);
    if (copied != nullptr) *copied = count - left;
    return done ? TRUE : FALSE;
}

BOOL CommitReplacementFile(HANDLE target, HANDLE replacement) {
    FileHandle* old_file = as_file(target);
    FileHandle* new_file = as_file(replacement);
    if (old_file == nullptr || new_file == nullptr) return FALSE;
    if (new_file->name.empty()) {  // not a replacement, or one in place already
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    struct stat old_info {};
    struct stat new_info {};
    if (fstat(old_file->fd, &old_info) != 0 || fstat(new_file->fd, &new_info) != 0) return fail_with_errno();
    if (new_info.st_dev != old_info.st_dev) return commit_through_copy(target, replacement);
    if (!give_owner(new_file->fd, old_info) || !copy_attributes(old_file->fd, new_file->fd, old_info)) return FALSE;
    // On disk before the rename, so that no crash can leave a name without its content.
    if (fsync(new_file->fd) != 0) return fail_with_errno();
    // Someone else's write or removal since the target was read is not undone.
    if (!names_file(AT_FDCWD, old_file->path, old_info) || !names_file(new_file->folder, new_file->name, new_info)) {
        SetLastError(ERROR_FILE_CHANGED);
        return FALSE;
    }
    if (renameat(new_file->folder, new_file->name.c_str(), AT_FDCWD, old_file->path.c_str()) != 0) {
        if (errno == EXDEV) return commit_through_copy(target, replacement);  // a bind mount between them
        return fail_with_errno();
    }
    new_file->name.clear();
    new_file->path = old_file->path;
    sync_folder(folder_of(old_file->path));
    return TRUE;
}

namespace platform::detail {

void remove_unplaced_replacement(FileHandle& file) {
    if (file.folder < 0 || file.name.empty()) return;
    struct stat own {};
    if (fstat(file.fd, &own) == 0 && names_file(file.folder, file.name, own))
        unlinkat(file.folder, file.name.c_str(), 0);
    file.name.clear();
}

}  // namespace platform::detail
