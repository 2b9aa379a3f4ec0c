// File routines of the tag code: cutting a file, reading its head, and
// temporary files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine {

// Cuts the existing file to `length` bytes. 0 done, 1 cannot open, 2 cannot
// position, 3 cannot set the end.
int32_t truncate_file(const char* path, int64_t length);

// Reads the first `count` bytes of the file into `buffer`. 0 all read, 1 cannot
// open, 2 fewer read.
int32_t read_file_head(const char* path, uint8_t* buffer, size_t count);

// Size of the buffer that receives a temporary file's name.
constexpr size_t kTempPathSize = 300;

// Creates a new, uniquely named empty file "zub<hex>.tmp" in `folder` (trailing
// blanks removed, backslash added) and writes its name to `out`. 0 on success;
// 1 with `out` empty on failure.
int32_t create_temp_file(const char* folder, char (&out)[kTempPathSize]);

// The folder part of a Windows path, with its final backslash ("" when none).
void folder_of_path(const char* path, char (&out)[kTempPathSize]);

}  // namespace engine
