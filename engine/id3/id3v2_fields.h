// The store of the twelve ID3v2 values shared by reading and writing (kept in
// tag_state.h; the fields themselves are listed in
// zubmp3/id3v2_field_table.h), and the rules that take a value out of a
// frame's content.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tag_state.h"
#include "zubmp3/id3v2_field_table.h"

namespace engine {

using enum zubmp3::Id3v2FrameKind;

// The slot whose frame is `id` (four letters), or -1.
int slot_of_frame(std::string_view id);

// Gives back every text and clears every slot; the count of tag blocks still
// alive afterwards.
int32_t release_id3v2_fields();

// Puts a copy of `text` (and `extra` spare bytes) into `slot`, giving back the
// text it held. The slot's size word then answers the text's length, so the
// size word and the getter never disagree.
void store_field_text(int slot, std::string_view text, size_t extra);

// The value in a frame's content of `n` bytes, as a zero-terminated text from
// tag_alloc (the caller owns it):
//   kind 1: the text after the encoding byte;
//   kind 2: the text after the description's terminator (position 1..n-2);
//   kind 5: the text after the short description's terminator (4..n-2).
// Each text ends at the next zero byte or the content's end. nullptr only when
// no block could be allocated.
char* extract_frame_value(const uint8_t* content, size_t n, int kind);

}  // namespace engine
