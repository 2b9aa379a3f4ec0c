// What the application adds to the control's errors about its libraries.
#include <gtest/gtest.h>

#include "library_hint.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using zubmp3::app::library_hint;

const fs::path kLibDir = ZUBMP3_BUILD_LIB_DIR;

TEST(LibraryHint, NamesTheFileThatIsMissingOrUnusableAndWhere) {
    testing_support::TempDir dir;
    const std::string folder = dir.path().string();
    EXPECT_EQ(library_hint(5007, folder), "libzubmp3enc2.so not found in " + folder);
    EXPECT_EQ(library_hint(5008, folder), "libzubmp3enc1.so not found in " + folder);

    testing_support::write_file(dir / "libzubmp3enc2.so", std::string("\x7f" "ELF and nothing after"));
    const auto broken = library_hint(5007, folder);
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(broken->rfind(folder + "/libzubmp3enc2.so cannot be loaded: ", 0), 0u) << *broken;

    // A library, but not an engine.
    fs::remove(dir / "libzubmp3enc2.so");
    fs::copy_file(kLibDir / "libzubmp3enc1.so", dir / "libzubmp3enc2.so");
    EXPECT_EQ(library_hint(5007, folder), folder + "/libzubmp3enc2.so has no interface1 entry point");

    // Nothing wrong with the file (any more): where the control looked.
    fs::copy_file(kLibDir / "libzubmp3enc1.so", dir / "libzubmp3enc1.so");
    EXPECT_EQ(library_hint(5008, folder), "the control looked for libzubmp3enc1.so in " + folder);
    EXPECT_EQ(library_hint(5006, folder), "the engine library in use is " + folder + "/libzubmp3enc2.so");
    EXPECT_EQ(library_hint(5, folder), std::nullopt);
    EXPECT_EQ(library_hint(5009, folder), std::nullopt);
}

TEST(LibraryHint, TheControlFolderIsWhereTheControlWasLoadedFrom) {
    const zubmp3::AutomationError in_use(0, u"");  // this program uses the control library
    EXPECT_EQ(zubmp3::app::control_library_folder(), fs::canonical(kLibDir).string());
}

}  // namespace
