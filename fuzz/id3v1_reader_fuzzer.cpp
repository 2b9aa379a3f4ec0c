// The ID3v1 record reader on the last 128 bytes of any input.
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "id3/id3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < engine::kId3v1RecordSize) return 0;
    uint8_t record[engine::kId3v1RecordSize];
    std::memcpy(record, data + size - sizeof record, sizeof record);
    if (!engine::parse_id3v1_record(record)) return 0;
    for (const char* text : {engine::v1_title, engine::v1_artist, engine::v1_album, engine::v1_comment})
        if (strnlen(text, engine::kV1FieldSize) > 30) std::abort();
    if (strnlen(engine::v1_year, engine::kV1FieldSize) > 4) std::abort();
    if (engine::v1_genre < 0 || engine::v1_genre > 148 || engine::v1_track < 0 || engine::v1_track > 255) std::abort();
    return 0;
}
