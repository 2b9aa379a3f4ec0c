// A private folder for a program's temporary files.
#pragma once

#include <optional>
#include <string>

namespace platform {

// Creates a new folder that only this user may enter, named `prefix` and a
// unique suffix, in $TMPDIR (or /tmp); its path, or nullopt when none can be
// made.
std::optional<std::string> make_private_folder(const std::string& prefix);

}  // namespace platform
