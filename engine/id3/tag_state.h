// The tag code's process-wide state: the values staged for the next ID3v1
// and ID3v2 write (or filled by the last read), the folder where rewrites
// build their new file, and the counted allocation of tag texts. One set per
// loaded engine; the control holds it for one tag conversation at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "zubmp3/id3v2_field_table.h"

namespace engine {

// ---- ID3v1 ----

constexpr size_t kV1FieldSize = 100;

extern char v1_title[kV1FieldSize];
extern char v1_artist[kV1FieldSize];
extern char v1_album[kV1FieldSize];
extern char v1_year[kV1FieldSize];
extern char v1_comment[kV1FieldSize];
extern int32_t v1_track;  // 0: no track number (ID3v1 layout)
extern int32_t v1_genre;

// ---- ID3v2 ----

using zubmp3::Id3v2Slot;
using enum zubmp3::Id3v2Slot;
using zubmp3::kId3v2SlotCount;

struct id3v2_field {
    int32_t size;  // what the size word answers
    char* text;    // zero-terminated, from tag_alloc; null: no value
};

// The store of the twelve values, by slot.
extern id3v2_field id3v2_fields[kId3v2SlotCount];

// "definetempfolder": where the new file of a write or removal is built
// (empty: beside the target). False when the folder given did not fit.
constexpr size_t kTempFolderSize = 320;
extern char temp_folder[kTempFolderSize];
extern bool temp_folder_fits;

// ---- Allocation ----

// Counting allocation pair for tag texts: the count of blocks alive is what
// "v2cleanup" answers, and what the tests watch for leaks.
extern std::atomic<int32_t> tag_alloc_count;
void* tag_alloc(size_t size);
void tag_free(void* block);

}  // namespace engine
