// The genre byte of a file's ID3v1 record, read by the application itself:
// the control reads every byte above its list as one value, which would
// turn "no genre" (255) and the genres other programs list beyond 147 into
// one another when a tag is written back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zubmp3::app {

// The last byte of the ID3v1 record at the end of the file at host path
// `path`; nullopt without a record. Reads 128 bytes at most.
std::optional<uint8_t> id3v1_genre_byte(const std::string& path);

}  // namespace zubmp3::app
