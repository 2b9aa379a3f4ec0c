// Shared by the tests that run the control library in build/lib against the
// real engine and encoder library beside it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"
#include "recorder.h"
#include "test_support.h"
#include "zubmp3/zubencode.h"

namespace real_engine {

namespace fs = std::filesystem;
inline const fs::path kLibDir = ZUBMP3_BUILD_LIB_DIR;

inline zubmp3::Text windows(const fs::path& host) {
    return platform::utf8_to_utf16(platform::to_windows_path(host.string()));
}
inline std::string utf8(const zubmp3::Text& text) { return platform::utf16_to_utf8(text); }

inline bool engine_mapped() { return testing_support::library_mapped((kLibDir / "libzubmp3enc2.so").string()); }

inline bool encoder_built() { return fs::exists(kLibDir / "libzubmp3enc1.so"); }

// The tag words answer once the tag engine is in the library.
inline bool tag_engine_built() {
    if (!encoder_built()) return false;
    Recorder events;
    zubmp3::ZUBEncode control;
    control.set_events(&events);
    control.Generate_ID3v1Genre();
    return events.genres.size() == 150 && events.genres[1].second == "Blues";
}

}  // namespace real_engine

#define ZUBMP3_REQUIRE_ENCODER()                                                             \
    do {                                                                                     \
        if (!::real_engine::encoder_built()) GTEST_SKIP() << "the encoder library is not built"; \
    } while (0)

#define ZUBMP3_REQUIRE_TAG_ENGINE()                                                         \
    do {                                                                                    \
        if (!::real_engine::tag_engine_built()) GTEST_SKIP() << "the tag engine is not built"; \
    } while (0)
