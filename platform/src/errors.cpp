#include <cerrno>

#include "internal.h"
#include "platform/paths.h"

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}

DWORD GetLastError() { return last_error; }
void SetLastError(DWORD error) { last_error = error; }

namespace platform::detail {

DWORD error_from_errno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
        case ELOOP: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ERROR_DISK_FULL;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENAMETOOLONG: return ERROR_BUFFER_OVERFLOW;
        case EBUSY:
        case ETXTBSY: return ERROR_SHARING_VIOLATION;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        default: return ERROR_WRITE_FAULT;
    }
}

std::optional<std::string> host_path(const char* windows_path) {
    if (windows_path == nullptr || *windows_path == '\0') {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    auto host = to_host_path(windows_path);
    if (!host) SetLastError(ERROR_PATH_NOT_FOUND);
    return host;
}

}  // namespace platform::detail
