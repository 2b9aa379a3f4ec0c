// Helpers of the hardening tests: filling a device to a chosen level, listing
// folders, counting threads, a reference MP3.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace hardening {

namespace fs = std::filesystem;
using testing_support::Bytes;

// The names in `folder` (not recursive).
std::set<std::string> names_in(const fs::path& folder);

using testing_support::thread_count;

// Grows `filler` until its device is full, then cuts it so that exactly
// `free_bytes` (a multiple of the page size) are free again.
void leave_free(const fs::path& filler, uintmax_t free_bytes);

// Creates empty files in `folder` until the device has no inode left; answers how many.
int use_up_inodes(const fs::path& folder);

// An MP3 file of `seconds` of a sine, encoded by the lame command line.
Bytes lame_mp3(double seconds, int channels = 2);

}  // namespace hardening
