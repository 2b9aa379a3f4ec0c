// Shared by the tests that run the control against the test engine in
// ZUBMP3_FAKE_DIR (the folder of the test program, so the control folder).
#pragma once

#include <dlfcn.h>

#include <fstream>
#include <string>

#include "fake_engine.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "test_support.h"
#include "zubmp3/host.h"

namespace fake_support {

inline const std::string kEngineFile = std::string(ZUBMP3_FAKE_DIR) + "/libzubmp3enc2.so";
inline const std::string kContact = "developers@zubmp3.example.org";

// The test engine as loaded by the control, or nullptr when it is not loaded.
inline FakeEngine* fake() {
    void* module = dlopen(kEngineFile.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module == nullptr) return nullptr;
    auto access = reinterpret_cast<FakeEngineAccess>(dlsym(module, "fake_engine"));
    dlclose(module);  // only undoes the look-up's own reference
    return access == nullptr ? nullptr : access();
}

inline bool engine_mapped() { return testing_support::library_mapped(kEngineFile); }

inline std::string utf8(const zubmp3::Text& text) { return platform::utf16_to_utf8(text); }
inline zubmp3::Text text(const std::string& utf8_text) { return platform::utf8_to_utf16(utf8_text); }

// The control folder in Windows form, without a trailing backslash.
inline std::string control_folder() { return platform::to_windows_path(ZUBMP3_FAKE_DIR); }

}  // namespace fake_support
