// Shared by the platform's own sources only.
#pragma once

#include <cstddef>
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

// What a HANDLE points to.
struct Handle {
    enum class Kind { file, thread } kind;
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
};

// An open file: one of CreateFileA, or a replacement file of
// CreateReplacementFile (which is removed when its handle is closed before it
// took the place of its target).
struct FileHandle final : Handle {
    explicit FileHandle(int descriptor) : Handle(Kind::file), fd(descriptor) {}
    int fd;
    std::string path;  // host path of the file opened, symbolic links resolved
    int folder = -1;   // replacement: its folder, open until the handle closes
    std::string name;  // replacement: its name in `folder` while it is to be removed on close
};
// The file behind a handle; nullptr (ERROR_INVALID_HANDLE set) for anything else.
FileHandle* as_file(HANDLE handle);

// The folder of a host path ("." for a bare name), and flushing a folder's
// entries to disk (failures ignored).
std::string folder_of(const std::string& host);
void sync_folder(const std::string& folder);

// Writes all of `size` bytes; false with errno set.
bool write_all(int fd, const void* data, size_t size);

// Removes the file of a replacement that has not taken its target's place.
void remove_unplaced_replacement(FileHandle& file);

}  // namespace platform::detail
