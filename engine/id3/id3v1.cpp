#include "id3v1.h"

#include <cstdio>
#include <cstring>

#include "../file_helpers.h"
#include "genre_names.h"
#include "platform/win32.h"
#include "tag_files.h"

namespace engine {

char v1_title[kV1FieldSize];
char v1_artist[kV1FieldSize];
char v1_album[kV1FieldSize];
char v1_year[kV1FieldSize];
char v1_comment[kV1FieldSize];
int32_t v1_track = 0;
int32_t v1_genre = 0;

namespace {

constexpr size_t kTextWidth = 30;
constexpr size_t kYearWidth = 4;
constexpr size_t kShortCommentWidth = 28;

// Opens `path` and reads its last 128 bytes. 0 read, 1 cannot open, 2 fewer
// than 128 bytes came back, 3 the file is shorter than 128 bytes. On 0 and 2
// the file stays open in `*file` with its length in `*length`.
int32_t read_last_record(const char* path, const char* mode, FILE** file, int64_t* length,
                         uint8_t (&record)[kId3v1RecordSize]) {
    *file = win_fopen(path, mode);
    if (*file == nullptr) return 1;
    *length = _fseeki64(*file, 0, SEEK_END) == 0 ? _ftelli64(*file) : -1;
    if (*length < static_cast<int64_t>(kId3v1RecordSize)) {
        std::fclose(*file);
        *file = nullptr;
        return 3;
    }
    if (_fseeki64(*file, *length - static_cast<int64_t>(kId3v1RecordSize), SEEK_SET) != 0 ||
        std::fread(record, 1, kId3v1RecordSize, *file) != kId3v1RecordSize)
        return 2;
    return 0;
}

bool has_marker(const uint8_t (&record)[kId3v1RecordSize]) { return std::memcmp(record, "TAG", 3) == 0; }

void copy_field(char (&field)[kV1FieldSize], const uint8_t* from, size_t width) {
    std::memset(field, 0, kV1FieldSize);
    std::memcpy(field, from, width);
}

}  // namespace

void stage_v1_text(char (&field)[kV1FieldSize], const char* text, size_t limit) {
    std::memset(field, 0, kV1FieldSize);
    if (text != nullptr) std::memcpy(field, text, strnlen(text, limit));
}

bool parse_id3v1_record(const uint8_t (&record)[kId3v1RecordSize]) {
    if (!has_marker(record)) return false;
    copy_field(v1_title, record + 3, kTextWidth);
    copy_field(v1_artist, record + 33, kTextWidth);
    copy_field(v1_album, record + 63, kTextWidth);
    copy_field(v1_year, record + 93, kYearWidth);
    if (record[125] == 0) {  // ID3v1.1: a zero before the track byte
        copy_field(v1_comment, record + 97, kShortCommentWidth);
        v1_track = record[126];
    } else {
        copy_field(v1_comment, record + 97, kTextWidth);
        v1_track = 0;
    }
    v1_genre = record[127] > kUnknownGenre ? kUnknownGenre : record[127];
    return true;
}

void render_id3v1_record(uint8_t (&record)[kId3v1RecordSize]) {
    std::memcpy(record + 0, "TAG", 3);                   //   0 marker
    std::memcpy(record + 3, v1_title, kTextWidth);       //   3 title
    std::memcpy(record + 33, v1_artist, kTextWidth);     //  33 artist
    std::memcpy(record + 63, v1_album, kTextWidth);      //  63 album
    std::memcpy(record + 93, v1_year, kYearWidth);       //  93 year
    if (v1_track != 0) {
        std::memcpy(record + 97, v1_comment, kShortCommentWidth);  //  97 comment (ID3v1.1)
        record[125] = 0;                                           // 125 layout marker
        record[126] = static_cast<uint8_t>(v1_track);              // 126 track
    } else {
        std::memcpy(record + 97, v1_comment, kTextWidth);          //  97 comment
    }
    record[127] = static_cast<uint8_t>(v1_genre);        // 127 genre
}

// The last 128 bytes of a file opened for reading only, closed again.
static int32_t read_tail(const char* path, int64_t* length, uint8_t (&record)[kId3v1RecordSize]) {
    FILE* file = nullptr;
    const int32_t result = read_last_record(path, "rb", &file, length, record);
    if (file != nullptr) std::fclose(file);
    return result;
}

int32_t read_id3v1_tag(const char* path) {
    int64_t length = 0;
    uint8_t record[kId3v1RecordSize];
    const int32_t result = read_tail(path, &length, record);
    if (result != 0) return result;
    return parse_id3v1_record(record) ? 0 : 2;
}

int32_t write_id3v1_tag(const char* path) {
    if (is_read_only_file(path)) return 4;
    FILE* file = nullptr;
    int64_t length = 0;
    uint8_t old_record[kId3v1RecordSize];
    const int32_t result = read_last_record(path, "r+b", &file, &length, old_record);
    if (result != 0) {
        if (file != nullptr) std::fclose(file);
        return result;
    }
    // An existing record is overwritten in place; otherwise one is appended.
    const bool replace = has_marker(old_record);
    const int64_t position = replace ? length - static_cast<int64_t>(kId3v1RecordSize) : length;
    uint8_t record[kId3v1RecordSize];
    render_id3v1_record(record);

    bool written = _fseeki64(file, position, SEEK_SET) == 0 &&
                   std::fwrite(record, 1, kId3v1RecordSize, file) == kId3v1RecordSize && std::fflush(file) == 0;
    if (!written && replace && _fseeki64(file, position, SEEK_SET) == 0) {
        std::fwrite(old_record, 1, kId3v1RecordSize, file);  // put the old record back
        std::fflush(file);
    }
    written = std::fclose(file) == 0 && written;
    if (written) return 0;
    // A record that could not be appended whole is taken off again.
    if (!replace) truncate_file(path, length);
    return 5;
}

int32_t remove_id3v1_tag(const char* path) {
    if (is_read_only_file(path)) return 4;
    int64_t length = 0;
    uint8_t record[kId3v1RecordSize];
    const int32_t result = read_tail(path, &length, record);
    if (result != 0) return result;
    if (!has_marker(record)) return 2;
    switch (truncate_file(path, length - static_cast<int64_t>(kId3v1RecordSize))) {
        case 0: return 0;
        case 1: return 1;
        default: return 5;
    }
}

}  // namespace engine
