// Reading an ID3v2 tag into the store id3v2_fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "id3v2_tag.h"
#include "zubmp3/engine_results.h"

namespace engine {

using enum zubmp3::ReadId3v2Result;

// "getid3v2": empties the store, then fills it from the tag at the start of
// the file.
int32_t read_id3v2_tag(const char* path);

// Fills the (emptied) store from a whole tag in memory, header first.
int32_t read_id3v2_tag_bytes(ByteSpan tag);

// The field whose value a frame in ID3v2.3 form holds, or -1: the frames of
// the twelve fields, COMM and WXXX only with an empty description.
int field_slot_of(const Frame23& frame);

// A field's value as the reader takes it from the field's frame, in
// ISO-8859-1; `lossy` when the frame holds more than that text tells (a
// character ISO-8859-1 cannot hold, a compressed, encrypted or unknown
// encoding).
struct FieldReading {
    std::string text;
    bool lossy = false;
};
FieldReading read_field_value(int slot, const Frame23& frame);

// A TCON value as a genre name: "(17)", "17" and "(17)" followed by nothing
// become "Rock"; "(RX)" and "(CR)" become "Remix" and "Cover"; a refinement
// after the references wins ("(17)Indie Rock" is "Indie Rock"; "((" is "(").
std::string genre_from_tcon(std::string_view value);

}  // namespace engine
