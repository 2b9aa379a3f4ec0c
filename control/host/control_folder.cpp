#include "control_folder.h"

#include "platform/paths.h"
#include "platform/text.h"

namespace zubmp3::host {

Text control_folder() {
    // Any address inside this library names the file it was loaded from.
    const std::string folder = platform::module_folder(reinterpret_cast<const void*>(&control_folder));
    if (folder.empty()) return {};
    Text windows = platform::utf8_to_utf16(platform::to_windows_path(folder));
    while (!windows.empty() && windows.back() == u'\\') windows.pop_back();  // "Z:\" for the root
    return windows;
}

}  // namespace zubmp3::host
