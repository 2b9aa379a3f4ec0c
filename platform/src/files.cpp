// File calls: attributes, folders, temporary files, copy, file handles, fopen.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "internal.h"

using platform::detail::host_path;
using platform::detail::set_error_from_errno;

namespace {

using platform::detail::FileHandle;
using platform::detail::as_file;
using platform::detail::folder_of;
using platform::detail::sync_folder;
using platform::detail::write_all;

// Copies everything from `from` to `to`; false with errno set on failure.
bool copy_contents(int from, int to) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = read(from, buffer.data(), buffer.size());
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (!write_all(to, buffer.data(), static_cast<size_t>(n))) return false;
    }
}

// Owns an open file descriptor: closed when the owner goes out of scope.
class OwnedFd {
public:
    explicit OwnedFd(int fd) : fd_(fd) {}
    ~OwnedFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes it now: false, with errno set, when the close reports an error
    // (on a written file, data that never reached the disk).
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

BOOL failed_with_errno(int error) {
    set_error_from_errno(error);
    return FALSE;
}

// Writes a copy of `from` as a new file in `folder`, with the owner and
// permission bits of `model`, flushed to the disk. Its path, or nullopt with
// errno set and nothing left behind.
std::optional<std::string> write_staged_copy(int from, const std::string& folder, const struct stat& model) {
    std::string staging = folder + "/.zubcopy-XXXXXX";
    OwnedFd to(mkostemp(staging.data(), O_CLOEXEC));
    if (!to.valid()) return std::nullopt;
    int error = 0;
    if (!copy_contents(from, to.get())) {
        error = errno;
    } else {
        if (fchown(to.get(), model.st_uid, model.st_gid) != 0) { /* keep our own ownership */ }
        if (fchmod(to.get(), model.st_mode & 07777) != 0 || fsync(to.get()) != 0) error = errno;
    }
    if (!to.close() && error == 0) error = errno;
    if (error == 0) return staging;
    unlink(staging.c_str());
    errno = error;
    return std::nullopt;
}

// "<stem><hex>.tmp" for the low 16 bits of `number`; nullopt (buffer
// overflow) when it would not fit MAX_PATH.
std::optional<std::string> temp_file_name_of(const std::string& stem, UINT number) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", number & 0xFFFFu);
    std::string name = stem + hex + ".tmp";
    if (name.size() < MAX_PATH) return name;
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return std::nullopt;
}

// Creates the first free "<stem><hex>.tmp" and writes its name to
// `temp_file_name`; its number, or 0. Numbers start from a per-process,
// per-call seed; O_EXCL makes the name unique against every other process
// using the folder.
UINT create_temp_file(const std::string& stem, char* temp_file_name) {
    static std::atomic<unsigned> calls{0};
    const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned number = (now ^ (static_cast<unsigned>(getpid()) << 8) ^ (calls++ * 7919u)) & 0xFFFFu;
    for (unsigned attempt = 0; attempt < 0x10000u; ++attempt, number = (number + 1) & 0xFFFFu) {
        if (number == 0) continue;
        const auto name = temp_file_name_of(stem, number);
        if (!name) return 0;
        const auto host = host_path(name->c_str());
        if (!host) return 0;
        const OwnedFd created(open(host->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (created.valid()) {
            std::memcpy(temp_file_name, name->c_str(), name->size() + 1);
            return number;
        }
        if (errno != EEXIST) {
            set_error_from_errno(errno);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

// The path of the file open on `fd`, symbolic links resolved: a write that
// replaces the file replaces the file a link points to, never the link.
std::string resolved_path(int fd, const std::string& host) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string path(PATH_MAX, '\0');
    const ssize_t n = readlink(link, path.data(), path.size());
    if (n > 0 && n < static_cast<ssize_t>(path.size()) && path[0] == '/') {
        path.resize(static_cast<size_t>(n));
        return path;
    }
    if (char* real = realpath(host.c_str(), nullptr)) {
        path = real;
        std::free(real);
        return path;
    }
    return host;
}

// Opens `host` when it is a regular file. A folder, device, FIFO or socket
// is refused (ERROR_ACCESS_DENIED) at once: one that is there already is not
// even opened, and one put in its place meanwhile is opened non-blocking, so
// that a FIFO cannot hang the caller, and closed again.
int open_regular(const std::string& host, int flags) {
    struct stat info {};
    if (stat(host.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    int fd;
    do fd = open(host.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        set_error_from_errno(errno);
        return -1;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// OPEN_ALWAYS: opens the file or creates it, and tells which in `existed`,
// so that a caller can take back a file that only it created.
int open_always(const std::string& host, int flags, bool& existed) {
    existed = true;
    int fd = -1;
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        fd = open_regular(host, flags);
        if (fd >= 0 || GetLastError() != ERROR_FILE_NOT_FOUND) return fd;
        fd = open_regular(host, flags | O_CREAT | O_EXCL);
        existed = fd < 0;
        if (fd < 0 && GetLastError() != ERROR_ALREADY_EXISTS) return fd;
    }
    // A dangling symbolic link: its target is created, but the name was there.
    if (fd < 0) existed = true, fd = open_regular(host, flags | O_CREAT);
    return fd;
}

}  // namespace

DWORD GetFileAttributesA(const char* path) {
    const auto host = host_path(path);
    if (!host) return INVALID_FILE_ATTRIBUTES;
    struct stat info {};
    if (stat(host->c_str(), &info) != 0) {
        set_error_from_errno(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if ((info.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    std::string name = *host;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const std::string base = name.substr(name.rfind('/') + 1);
    if (base.size() > 1 && base[0] == '.' && base != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

BOOL SetFileAttributesA(const char* path, DWORD attributes) {
    const auto host = host_path(path);
    if (!host) return FALSE;
    struct stat info {};
    if (stat(host->c_str(), &info) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (info.st_mode & ~mode_t{0222}) : (info.st_mode | S_IWUSR);
    if (chmod(host->c_str(), mode & 07777) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(const char* path, void* /*security_attributes*/) {
    const auto host = host_path(path);
    if (!host) return FALSE;
    if (mkdir(host->c_str(), 0777) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

UINT GetTempFileNameA(const char* path, const char* prefix, UINT unique, char* temp_file_name) {
    if (path == nullptr || temp_file_name == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string stem = path;
    if (stem.empty() || stem.back() != '\\') stem += '\\';
    stem.append(prefix == nullptr ? "" : prefix, prefix == nullptr ? 0 : strnlen(prefix, 3));
    if (unique == 0) return create_temp_file(stem, temp_file_name);

    // A name only, nothing created (as on Windows).
    const auto name = temp_file_name_of(stem, unique);
    if (!name) return 0;
    std::memcpy(temp_file_name, name->c_str(), name->size() + 1);
    return unique;
}

BOOL DeleteFileA(const char* path) {
    const auto host = host_path(path);
    if (!host) return FALSE;
    struct stat info {};
    if (lstat(host->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (unlink(host->c_str()) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CopyFileA(const char* existing, const char* new_file, BOOL fail_if_exists) {
    const auto source = host_path(existing);
    if (!source) return FALSE;
    auto target = host_path(new_file);
    if (!target) return FALSE;

    const OwnedFd from(open(source->c_str(), O_RDONLY | O_CLOEXEC));
    if (!from.valid()) return failed_with_errno(errno);
    struct stat source_info {};
    fstat(from.get(), &source_info);

    // Replace the file a symbolic link points to, not the link; keep the
    // replaced file's permission bits and owner.
    if (char* resolved = realpath(target->c_str(), nullptr)) {
        *target = resolved;
        std::free(resolved);
    }
    struct stat target_info {};
    const bool target_exists = stat(target->c_str(), &target_info) == 0;
    if (target_exists && fail_if_exists) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (target_exists && S_ISDIR(target_info.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    const std::string folder = folder_of(*target);
    const auto staging = write_staged_copy(from.get(), folder, target_exists ? target_info : source_info);
    if (!staging) return failed_with_errno(errno);
    if (rename(staging->c_str(), target->c_str()) != 0) {
        const int error = errno;
        unlink(staging->c_str());
        return failed_with_errno(error);
    }
    sync_folder(folder);
    return TRUE;
}

HANDLE CreateFileA(const char* path, DWORD access, DWORD /*share_mode*/, void* /*security_attributes*/,
                   DWORD creation_disposition, DWORD /*flags*/, HANDLE /*template_file*/) {
    const auto host = host_path(path);
    if (!host) return INVALID_HANDLE_VALUE;
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    // No access at all opens the file for its information only.
    int flags = reads && writes ? O_RDWR : writes ? O_WRONLY : reads ? O_RDONLY : O_PATH;
    bool existed = true;
    switch (creation_disposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }
    const int fd = creation_disposition == OPEN_ALWAYS ? open_always(*host, flags, existed) : open_regular(*host, flags);
    if (fd < 0) return INVALID_HANDLE_VALUE;
    auto* handle = new FileHandle(fd);
    handle->path = resolved_path(fd, *host);
    if (creation_disposition == OPEN_ALWAYS) SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* read_count, void* /*overlapped*/) {
    FileHandle* handle = as_file(file);
    if (read_count != nullptr) *read_count = 0;
    if (handle == nullptr) return FALSE;
    DWORD done = 0;
    while (done < count) {
        const ssize_t n = read(handle->fd, static_cast<char*>(buffer) + done, count - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            set_error_from_errno(errno);
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (read_count != nullptr) *read_count = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* written_count, void* /*overlapped*/) {
    FileHandle* handle = as_file(file);
    if (written_count != nullptr) *written_count = 0;
    if (handle == nullptr) return FALSE;
    if (!write_all(handle->fd, buffer, count)) {
        set_error_from_errno(errno);
        return FALSE;
    }
    if (written_count != nullptr) *written_count = count;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distance_high, DWORD move_method) {
    FileHandle* handle = as_file(file);
    if (handle == nullptr) return INVALID_SET_FILE_POINTER;
    const int64_t offset = distance_high != nullptr
                               ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distance_high)) << 32) |
                                                      static_cast<uint32_t>(distance))
                               : distance;
    const int whence = move_method == FILE_BEGIN ? SEEK_SET : move_method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    const off_t position = lseek(handle->fd, offset, whence);
    if (position < 0) {
        set_error_from_errno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distance_high != nullptr) *distance_high = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetEndOfFile(HANDLE file) {
    FileHandle* handle = as_file(file);
    if (handle == nullptr) return FALSE;
    const off_t position = lseek(handle->fd, 0, SEEK_CUR);
    if (position < 0 || ftruncate(handle->fd, position) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

namespace platform::detail {

std::string folder_of(const std::string& host) {
    const size_t slash = host.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : host.substr(0, slash);
}

void sync_folder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

FileHandle* as_file(HANDLE handle) {
    auto* base = handle == nullptr || handle == INVALID_HANDLE_VALUE ? nullptr : static_cast<Handle*>(handle);
    if (base == nullptr || base->kind != Handle::Kind::file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return static_cast<FileHandle*>(base);
}

bool write_all(int fd, const void* data, size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, next, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        next += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

BOOL close_file_handle(Handle* handle) {
    auto* file = static_cast<FileHandle*>(handle);
    remove_unplaced_replacement(*file);
    if (file->folder >= 0) close(file->folder);
    const int result = close(file->fd);  // also gives up a replacement's lock
    delete file;
    if (result != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}
}  // namespace platform::detail

FILE* win_fopen_file(const char* path, const char* mode) {
    const auto host = host_path(path);
    if (!host || mode == nullptr || mode[0] != 'r') {
        if (host) SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int fd = open_regular(*host, std::strchr(mode, '+') != nullptr ? O_RDWR : O_RDONLY);
    if (fd < 0) return nullptr;
    FILE* file = fdopen(fd, mode);
    if (file == nullptr) {
        set_error_from_errno(errno);
        close(fd);
    }
    return file;
}

FILE* win_fopen(const char* path, const char* mode) {
    const auto host = host_path(path);
    if (!host || mode == nullptr) return nullptr;
    const std::string cloexec_mode = std::string(mode) + "e";
    FILE* file = std::fopen(host->c_str(), cloexec_mode.c_str());
    if (file == nullptr) set_error_from_errno(errno);
    return file;
}

int _fseeki64(FILE* file, int64_t offset, int origin) { return fseeko(file, offset, origin); }
int64_t _ftelli64(FILE* file) { return ftello(file); }
