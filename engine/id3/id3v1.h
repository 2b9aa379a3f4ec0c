// ID3v1 tags: the 128-byte record at the end of an MP3 file, and reading,
// writing and removing it (the staged values are in tag_state.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tag_state.h"
#include "zubmp3/engine_results.h"

namespace engine {

using enum zubmp3::ReadId3v1Result;
using enum zubmp3::WriteId3v1Result;
using enum zubmp3::RemoveId3v1Result;

constexpr size_t kId3v1RecordSize = 128;

// Clears `field` and stages at most `limit` bytes of `text` (null: empty).
void stage_v1_text(char (&field)[kV1FieldSize], const char* text, size_t limit);

// Fills the staging fields from a record; false (nothing changed) when it does
// not begin with "TAG".
bool parse_id3v1_record(const uint8_t (&record)[kId3v1RecordSize]);
// The record for the staged values.
void render_id3v1_record(uint8_t (&record)[kId3v1RecordSize]);

// The readers and writers open regular files only ("cannot open" for a
// folder, device, FIFO or socket). A file with other hard links is given a
// new file under the name written to; the other names keep the old one.
// "getid3v1": a ReadId3v1Result.
int32_t read_id3v1_tag(const char* path);
// "setid3v1": a WriteId3v1Result; the file is left as it was unless written.
int32_t write_id3v1_tag(const char* path);
// "removeid3v1": a RemoveId3v1Result; a read-only file is not opened.
int32_t remove_id3v1_tag(const char* path);

}  // namespace engine
