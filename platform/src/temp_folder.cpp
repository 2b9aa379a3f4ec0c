#include "platform/temp_folder.h"

#include <stdlib.h>

#include <vector>

namespace platform {

std::optional<std::string> make_private_folder(const std::string& prefix) {
    const char* base = getenv("TMPDIR");
    std::string pattern = (base != nullptr && *base != '\0') ? base : "/tmp";
    pattern += "/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return std::nullopt;  // mode 0700, made exclusively
    return std::string(name.data());
}

}  // namespace platform
