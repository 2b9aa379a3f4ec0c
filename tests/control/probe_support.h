// Builds a control folder of its own (a copy of libzubmp3ctl.so and the probe
// program, plus the libraries a test chooses) and runs the probe in it.
#pragma once

#include <string>

#include "platform/paths.h"
#include "test_support.h"

namespace probe_support {

namespace fs = std::filesystem;

inline const fs::path kLibDir = ZUBMP3_BUILD_LIB_DIR;
inline const fs::path kFakeDir = ZUBMP3_FAKE_DIR;
inline const fs::path kPartsDir = ZUBMP3_PARTS_DIR;

// Copies the control (under its SONAME, which the probe asks for) and the
// probe into `folder`.
inline void make_control_folder(const fs::path& folder) {
    fs::create_directories(folder);
    fs::copy_file(kLibDir / "libzubmp3ctl.so", folder / ZUBMP3_CONTROL_SONAME);
    fs::copy_file(kPartsDir / "control_probe", folder / "control_probe");
}

inline void add_library(const fs::path& folder, const fs::path& from, const std::string& as) {
    fs::copy_file(from, folder / as, fs::copy_options::overwrite_existing);
}

// The probe's output for `arguments` (already quoted).
inline std::string run_probe(const fs::path& folder, const std::string& arguments) {
    const std::string command = "LD_LIBRARY_PATH=" + testing_support::shell_quote(folder.string()) + " " +
                                testing_support::shell_quote((folder / "control_probe").string()) + " " + arguments;
    const auto result = testing_support::run_command(command);
    EXPECT_EQ(result.status, 0) << command;
    return result.output;
}

}  // namespace probe_support
