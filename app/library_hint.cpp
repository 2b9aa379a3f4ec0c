#include "library_hint.h"

#include <filesystem>

#include "platform/library.h"

namespace zubmp3::app {
namespace {

constexpr char kControl[] = "libzubmp3ctl.so";
constexpr char kEngine[] = "libzubmp3enc2.so";  // what "zubmp3enc2.dll" is on this system
constexpr char kEncoder[] = "libzubmp3enc1.so";

// What keeps `file` in `folder` from being used, or where the control looked
// for it when nothing does any more.
std::string library_state(const std::string& folder, const std::string& file, const char* entry_point) {
    const std::string path = folder + "/" + file;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return file + " not found in " + folder;
    if (auto problem = platform::library_problem(path, entry_point)) return path + " " + *problem;
    return "the control looked for " + file + " in " + folder;
}

}  // namespace

std::optional<std::string> control_library_folder() {
    const auto path = platform::resident_library(kControl);
    if (!path) return std::nullopt;
    const size_t slash = path->rfind('/');
    return slash == 0 ? "/" : path->substr(0, slash);
}

std::optional<std::string> library_hint(Long number, const std::string& folder) {
    switch (number) {
    case 5006:  // the engine answered a text without its end
        return "the engine library in use is " + folder + "/" + kEngine;
    case 5007:  // the engine is missing, does not load, or lacks interface1
        return library_state(folder, kEngine, "interface1");
    case 5008:  // the encoder library is missing or does not load
        return library_state(folder, kEncoder, nullptr);
    default:
        return std::nullopt;
    }
}

std::optional<std::string> library_hint(Long number) {
    const auto folder = control_library_folder();
    return folder ? library_hint(number, *folder) : std::nullopt;
}

}  // namespace zubmp3::app
