// Shared by the platform's own sources only.
#pragma once

#include <optional>
#include <string>

#include "platform/win32.h"

namespace platform::detail {

// Every errno the layer meets is turned into a Windows error here, and only here.
DWORD error_from_errno(int error);
inline void set_error_from_errno(int error) { SetLastError(error_from_errno(error)); }

// to_host_path for a zero-terminated ANSI path; sets ERROR_PATH_NOT_FOUND and
// answers nullopt for a null, empty or unmappable path.
std::optional<std::string> host_path(const char* windows_path);

// The descriptor behind a file HANDLE (-1 for anything else); the release
// form also ends the HANDLE, leaving the descriptor open to its new owner.
int file_descriptor(HANDLE handle);
int release_file_descriptor(HANDLE handle);

// What a HANDLE points to.
struct Handle {
    enum class Kind { file, thread } kind;
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
};

}  // namespace platform::detail
