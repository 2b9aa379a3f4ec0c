// The playing time of a WAV file, for the speed figure of the progress line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zubmp3::app {

// Seconds of sound in a RIFF/WAVE image: the "data" chunk's size (clamped to
// the bytes really there) over the "fmt " chunk's byte rate; 0 when the
// image is not a WAV file this can tell.
double wav_seconds(const std::vector<uint8_t>& head, uint64_t file_size);

// The same for a file; reads only its first few kilobytes.
double wav_file_seconds(const std::string& path);

}  // namespace zubmp3::app
