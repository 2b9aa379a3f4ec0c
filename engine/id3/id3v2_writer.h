// Writing an ID3v2.3 tag from the staged values, and removing an ID3v2 tag.
// The user's file is never rewritten in place: the new file is built whole
// and takes the file's place by one rename (see replace_file).
#pragma once

#include <cstddef>
#include <cstdint>

#include "id3v2_tag.h"
#include "tag_state.h"
#include "zubmp3/engine_results.h"

namespace engine {

// "definetempfolder": where the new file of a write or removal is built
// (empty: beside the target). A text too long for the buffer leaves no folder
// defined, so that writes fail with "no temporary file" rather than use a
// truncated path.
void define_temp_folder(const char* folder);

// Largest frame the writer accepts, in the old tag and in the new one.
constexpr int64_t kMaxOldFrameSize = 64000;

using enum zubmp3::WriteId3v2Result;

// "setid3v2".
int32_t write_id3v2_tag(const char* path);

// The frames of the new tag: the twelve staged values, placed where the old
// tag held their frames and the rest in the fixed order, with every other
// frame of the old tag carried over in ID3v2.3 form. A field's frame whose
// reading lost characters is kept when the staged value is that reading.
// `old_tag` is the whole old tag (empty: none); `file_length`, the target
// file's length, is no longer needed, since every size is checked against the
// tag itself. 0; kWriteOldTagUnreadable when the old tag cannot be walked
// whole or a frame of it has no ID3v2.3 form; kWriteFrameTooLarge when a frame
// of either tag would exceed kMaxOldFrameSize.
int32_t build_id3v2_frames(ByteSpan old_tag, int64_t file_length, Bytes& frames);

// Header, frames and ten bytes of padding.
Bytes render_id3v2_tag(const Bytes& frames);

using enum zubmp3::RemoveId3v2Result;

// "remove_id3v2_tag".
int32_t remove_id3v2_tag(const char* path);

}  // namespace engine
