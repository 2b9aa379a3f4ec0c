// Windows paths (8-bit Latin-1, drive letter or \\server\share, backslash
// separator) and their host form (UTF-8, '/').
//
//   drive L:   the folder named by $ZUBMP3_DRIVE_L; without that variable Z:
//              is "/" and every other letter is an absent drive;
//   \\srv\shr  $ZUBMP3_UNC_ROOT/srv/shr, unreachable without that variable;
//   relative   stays relative, backslashes become '/'.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Host path (UTF-8) for a Windows path (Latin-1); nullopt when it names an
// absent drive, an unreachable share, or a form that has no host equivalent.
std::optional<std::string> to_host_path(std::string_view windows_path);

// Windows form (UTF-8, so any character survives until the caller converts it)
// of a host path; relative paths are made absolute first. The drive whose
// folder holds the path most closely is chosen; otherwise Z:.
std::string to_windows_path(std::string_view host_path);

// Folder of the shared library or executable that holds `address`, in host
// form without a trailing '/'; empty when the loader does not know it.
std::string module_folder(const void* address);

}  // namespace platform
