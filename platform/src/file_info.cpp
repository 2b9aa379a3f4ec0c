// File identity and the CRT's bridge from file handles to streams; removing
// folders.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "internal.h"

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

}  // namespace

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    const int fd = platform::detail::file_descriptor(file);
    if (fd < 0 || info == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        set_error_from_errno(errno);
        return FALSE;
    }
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
    const int fd = platform::detail::release_file_descriptor(reinterpret_cast<HANDLE>(handle));
    if (fd < 0) SetLastError(ERROR_INVALID_HANDLE);
    return fd;
}

FILE* _fdopen(int fd, const char* mode) {
    FILE* file = fdopen(fd, mode);
    if (file == nullptr) set_error_from_errno(errno);
    return file;
}
