// The loader's three errors, with library files missing from the control folder.
#include <gtest/gtest.h>

#include "probe_support.h"

namespace {

using namespace probe_support;

const std::string kTail = " please contact the developer developers@zubmp3.example.org\n";

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

}  // namespace
