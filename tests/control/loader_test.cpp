// The loader's three errors, with library files missing from the control folder,
// and the control folder as installed.
#include <gtest/gtest.h>

#include "probe_support.h"

namespace {

using namespace probe_support;

const std::string kTail = " please contact the developer developers@zubmp3.example.org\n";

// Copies build/lib/`name` into `folder` as it is installed: the file and the
// links that lead to it (libx.so -> libx.so.1 -> libx.so.1.2.0).
void copy_with_links(const std::string& name, const fs::path& folder) {
    fs::path from = kLibDir / name;
    for (; fs::is_symlink(from); from = from.parent_path() / fs::read_symlink(from))
        fs::copy_symlink(from, folder / from.filename());
    fs::copy_file(from, folder / from.filename());
}

TEST(Loader, EachMissingPieceRaisesItsError) {
    testing_support::TempDir dir;

    const fs::path no_engine = dir / "no_engine";
    make_control_folder(no_engine);
    add_library(no_engine, kFakeDir / "libzubmp3enc1.so", "libzubmp3enc1.so");
    EXPECT_EQ(run_probe(no_engine, "pause"), "error 5007\nError loading a required dll , " +
                                                 platform::to_windows_path(no_engine.string()) +
                                                 "\\zubmp3enc2.dll" + kTail);

    const fs::path no_encoder = dir / "no_encoder";
    make_control_folder(no_encoder);
    add_library(no_encoder, kFakeDir / "libzubmp3enc2.so", "libzubmp3enc2.so");
    EXPECT_EQ(run_probe(no_encoder, "pause"), "error 5008\nError loading a required dll , zubmp3enc1.dll" + kTail);

    const fs::path no_entry = dir / "no_entry";
    make_control_folder(no_entry);
    add_library(no_entry, kPartsDir / "libnoentry.so", "libzubmp3enc2.so");
    add_library(no_entry, kFakeDir / "libzubmp3enc1.so", "libzubmp3enc1.so");
    EXPECT_EQ(run_probe(no_entry, "pause"),
              "error 5007\nError locating the interface1 function on a required dll ," + kTail);

    const fs::path complete = dir / "complete";
    make_control_folder(complete);
    add_library(complete, kFakeDir / "libzubmp3enc2.so", "libzubmp3enc2.so");
    add_library(complete, kFakeDir / "libzubmp3enc1.so", "libzubmp3enc1.so");
    EXPECT_EQ(run_probe(complete, "pause"), "ok\n");
}

// The control folder as installed: the control loads its partners by their
// unversioned names, and the engine binds the encoder already in the process,
// whose SONAME (libzubmp3enc1.so.1) carries a version.
TEST(Loader, InstalledLayoutWithVersionedLibrariesEncodes) {
    testing_support::TempDir dir;
    const fs::path folder = dir / "lib" / "zubmp3";
    fs::create_directories(folder);
    for (const char* name : {"libzubmp3ctl.so", "libzubmp3enc2.so", "libzubmp3enc1.so"}) copy_with_links(name, folder);
    ASSERT_TRUE(fs::is_symlink(folder / ZUBMP3_CONTROL_SONAME));
    fs::copy_file(kPartsDir / "control_probe", folder / "control_probe");

    testing_support::write_wav(dir / "in.wav", {});
    const std::string in = platform::to_windows_path((dir / "in.wav").string());
    const std::string out = platform::to_windows_path((dir / "out.mp3").string());
    EXPECT_EQ(run_probe(folder, "encode " + testing_support::shell_quote(in) + " " + testing_support::shell_quote(out)),
              "0\n");
    EXPECT_GT(fs::file_size(dir / "out.mp3"), 1000u);
}

}  // namespace
