#include <pthread.h>

#include <cerrno>
#include <cstdint>

#include "internal.h"
#include "platform/paths.h"

namespace {

// Each thread's last error lives under a thread-specific key rather than in a
// thread_local: the engine and the encoder library are loaded and unloaded at
// run time, and the dynamic TLS blocks an unloaded library leaves behind crash
// LeakSanitizer's scan of the threads. The key is made before the library's
// static objects and deleted after them (a job stopped while the engine is
// unloaded still sets errors), when none of the library's threads is left.
pthread_key_t last_error_key;
bool last_error_key_made = false;

__attribute__((constructor(101))) void make_last_error_key() {
    last_error_key_made = pthread_key_create(&last_error_key, nullptr) == 0;
}

// Calls on a deleted key are refused by the C library, so the flag stays.
__attribute__((destructor(101))) void delete_last_error_key() {
    if (last_error_key_made) pthread_key_delete(last_error_key);
}

}  // namespace

DWORD GetLastError() {
    if (!last_error_key_made) return ERROR_SUCCESS;
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(pthread_getspecific(last_error_key)));
}

void SetLastError(DWORD error) {
    if (last_error_key_made) pthread_setspecific(last_error_key, reinterpret_cast<void*>(static_cast<uintptr_t>(error)));
}

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
