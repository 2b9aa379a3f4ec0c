// File identity and information, locks, the CRT's bridge from file handles to streams,
// removing folders.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "internal.h"

using platform::detail::as_file;
using platform::detail::FileHandle;
using platform::detail::host_path;
using platform::detail::set_error_from_errno;

namespace {

DWORD high_word(uint64_t value) { return static_cast<DWORD>(value >> 32); }
DWORD low_word(uint64_t value) { return static_cast<DWORD>(value); }

// 100-nanosecond intervals since 1601-01-01.
FILETIME file_time(const timespec& time) {
    constexpr int64_t kEpochDifference = 11644473600LL;  // seconds from 1601 to 1970
    const auto ticks = static_cast<uint64_t>((time.tv_sec + kEpochDifference) * 10000000LL + time.tv_nsec / 100);
    return FILETIME{low_word(ticks), high_word(ticks)};
}

// The status of the file behind `file`: nullopt, with the error set, for a
// handle that is no file, arguments that are not valid, or a failed fstat.
std::optional<struct stat> status_of(HANDLE file, bool arguments_valid) {
    const FileHandle* handle = as_file(file);
    if (handle == nullptr) return std::nullopt;
    if (!arguments_valid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    struct stat status {};
    if (fstat(handle->fd, &status) != 0) {
        set_error_from_errno(errno);
        return std::nullopt;
    }
    return status;
}

}  // namespace

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    const auto found = status_of(file, info != nullptr);
    if (!found) return FALSE;
    const struct stat& status = *found;
    DWORD attributes = S_ISDIR(status.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if ((status.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    info->dwFileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    info->ftCreationTime = file_time(status.st_ctim);
    info->ftLastAccessTime = file_time(status.st_atim);
    info->ftLastWriteTime = file_time(status.st_mtim);
    // The device number folded into 32 bits: major and minor both take part.
    const auto device = static_cast<uint64_t>(status.st_dev);
    info->dwVolumeSerialNumber = low_word(device) ^ high_word(device);
    const auto size = static_cast<uint64_t>(status.st_size);
    info->nFileSizeHigh = high_word(size);
    info->nFileSizeLow = low_word(size);
    info->nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
    const auto inode = static_cast<uint64_t>(status.st_ino);
    info->nFileIndexHigh = high_word(inode);
    info->nFileIndexLow = low_word(inode);
    return TRUE;
}

BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS info_class, void* info, DWORD size) {
    const auto found =
        status_of(file, info_class == FileStandardInfo && info != nullptr && size >= sizeof(FILE_STANDARD_INFO));
    if (!found) return FALSE;
    const struct stat& status = *found;
    auto* standard = static_cast<FILE_STANDARD_INFO*>(info);
    standard->AllocationSize = static_cast<int64_t>(status.st_blocks) * 512;
    standard->EndOfFile = status.st_size;
    standard->NumberOfLinks = static_cast<DWORD>(status.st_nlink);
    standard->DeletePending = status.st_nlink == 0;
    standard->Directory = S_ISDIR(status.st_mode);
    return TRUE;
}

namespace {

// Byte-range locks of the open file (not of the process), so a second open
// of the file conflicts even within one process, as on Windows.
BOOL set_lock(HANDLE file, short type, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high) {
    const FileHandle* handle = as_file(file);
    if (handle == nullptr) return FALSE;
    const int fd = handle->fd;
    const uint64_t start = uint64_t{offset_high} << 32 | offset_low;
    const uint64_t length = uint64_t{bytes_high} << 32 | bytes_low;
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(start & INT64_MAX);
    range.l_len = length >= static_cast<uint64_t>(INT64_MAX) ? 0 : static_cast<off_t>(length);  // 0: to any end
    if (fcntl(fd, F_OFD_SETLK, &range) != 0) {
        SetLastError(errno == EACCES || errno == EAGAIN ? ERROR_LOCK_VIOLATION : platform::detail::error_from_errno(errno));
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL LockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high) {
    return set_lock(file, F_WRLCK, offset_low, offset_high, bytes_low, bytes_high);
}

BOOL UnlockFile(HANDLE file, DWORD offset_low, DWORD offset_high, DWORD bytes_low, DWORD bytes_high) {
    return set_lock(file, F_UNLCK, offset_low, offset_high, bytes_low, bytes_high);
}

BOOL RemoveDirectoryA(const char* path) {
    const auto host = host_path(path);
    if (!host) return FALSE;
    if (rmdir(host->c_str()) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
    return TRUE;
}

int _open_osfhandle(intptr_t handle, int /*flags*/) {
    FileHandle* file = as_file(reinterpret_cast<HANDLE>(handle));
    // A replacement file keeps its handle: its closing decides its fate.
    if (file == nullptr || file->folder >= 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    const int fd = file->fd;
    delete file;  // the descriptor lives on, owned by the caller
    return fd;
}

int _close(int fd) {
    const int result = close(fd);
    if (result != 0) set_error_from_errno(errno);
    return result;
}

FILE* _fdopen(int fd, const char* mode) {
    FILE* file = fdopen(fd, mode);
    if (file == nullptr) set_error_from_errno(errno);
    return file;
}
