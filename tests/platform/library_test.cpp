#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/library.h"
#include "platform/paths.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

bool probe_in_process() { return testing_support::library_mapped("libloadprobe.so"); }

TEST(LoadLibrary, DllNameLoadsTheSharedObjectBesideItAndCountsLoads) {
    const std::string dll = platform::to_windows_path(std::string(ZUBMP3_PROBE_DIR) + "/loadprobe.dll");
    HMODULE first = LoadLibraryA(dll.c_str());
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryA(dll.c_str());
    EXPECT_EQ(first, second);

    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(GetProcAddress(first, "probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(first, "no_such_function"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(probe_in_process());
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_FALSE(probe_in_process());
    EXPECT_FALSE(FreeLibrary(first));  // gone: 0 from now on
}

// The engine asks for the encoder by bare name; installed, the encoder's
// SONAME carries a version (libzubmp3enc1.so.1).
TEST(LoadLibrary, BareNameTakesTheResidentLibraryWithAVersionedSoname) {
    const std::string folder = std::string(ZUBMP3_PROBE_DIR) + "/versioned";
    // Loaded by its full file name, so only its SONAME libverprobe.so.3 says what it is.
    HMODULE loaded = LoadLibraryA(platform::to_windows_path(folder + "/libverprobe.so.3.1.4").c_str());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(LoadLibraryA("verprobe.dll"), loaded);
    EXPECT_EQ(platform::resident_library("libverprobe.so"), folder + "/libverprobe.so.3.1.4");
    EXPECT_EQ(platform::resident_library("libverprobe.so.3"), folder + "/libverprobe.so.3.1.4");
    EXPECT_EQ(platform::resident_library("libverprob.so"), std::nullopt);
    EXPECT_EQ(platform::resident_library("verprobe.so"), std::nullopt);

    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_FALSE(testing_support::library_mapped("libverprobe.so"));
    // Neither resident nor beside this program nor on the search path now.
    EXPECT_EQ(LoadLibraryA("verprobe.dll"), nullptr);
    EXPECT_EQ(platform::resident_library("libverprobe.so"), std::nullopt);
}

// A program finds its libraries through "$ORIGIN/../lib/..." and the loader
// names them so; the control's folder (in its messages, for its partners) is
// the folder itself.
TEST(LoadLibrary, ModuleFolderIsResolved) {
    const std::string folder = ZUBMP3_PROBE_DIR;
    std::string roundabout = "Z:" + folder + "/../probe/./libloadprobe.so";  // kept as written
    std::replace(roundabout.begin(), roundabout.end(), '/', '\\');
    HMODULE module = LoadLibraryA(roundabout.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(platform::module_folder(reinterpret_cast<const void*>(GetProcAddress(module, "probe_answer"))), folder);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(LoadLibrary, LibraryProblemSaysWhatStandsInTheWay) {
    const std::string probe = std::string(ZUBMP3_PROBE_DIR) + "/libloadprobe.so";
    EXPECT_EQ(platform::library_problem(probe, "probe_answer"), std::nullopt);
    EXPECT_EQ(platform::library_problem(probe, nullptr), std::nullopt);
    EXPECT_EQ(platform::library_problem(probe, "interface1"), "has no interface1 entry point");
    EXPECT_FALSE(probe_in_process());  // released again

    testing_support::TempDir dir;
    testing_support::write_file(dir / "libbroken.so", std::string("not a library"));
    const auto broken = platform::library_problem((dir / "libbroken.so").string(), nullptr);
    ASSERT_TRUE(broken.has_value());
    EXPECT_EQ(broken->rfind("cannot be loaded: ", 0), 0u) << *broken;
    EXPECT_EQ(broken->find(dir.path().string()), std::string::npos) << "the path is not repeated: " << *broken;
}

TEST(LoadLibrary, MissingLibraryFails) {
    EXPECT_EQ(LoadLibraryA("Z:\\nowhere\\zubmp3enc2.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryA("Q:\\absent\\x.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA("zub_no_such_library.dll"), nullptr);
}

}  // namespace
