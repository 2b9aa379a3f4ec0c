// Writing the tag frame into a finished MP3 file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "encoder/blade_enc.h"

namespace encoder {

// Offset of the first byte after an ID3v2 tag at the start of `head` (0 when
// there is none); -1 when the tag's size field is malformed.
int64_t skip_id3v2(std::span<const uint8_t> head);

// Writes `frame` over `reserved`, the frame of the same size that the stream
// wrote at the start of the MP3 file `windows_path` (after an ID3v2 tag if
// there is one). The file is left untouched unless it holds exactly
// `reserved` there; when it holds `frame` already, nothing needs writing.
BE_ERR write_tag_frame(const char* windows_path, std::span<const uint8_t> reserved, std::span<const uint8_t> frame);

}  // namespace encoder
