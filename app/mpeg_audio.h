// Whether a file is an MP3: an MPEG audio frame after its ID3v2 tags,
// followed by a second frame where the first one ends (or by the end of the
// audio). Reads at most a bounded window of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zubmp3::app {

// The length in bytes of the MPEG audio frame whose 4-byte header starts at
// `header`; nullopt when it is no frame header (free format included, whose
// length the header does not tell).
std::optional<size_t> mpeg_frame_length(const uint8_t* header);

// True when the file at host path `path` holds MPEG audio after its tags.
// Bytes beyond the ID3v2 tags that are read: at most 64 KiB.
bool has_mpeg_audio(const std::string& path);

}  // namespace zubmp3::app
