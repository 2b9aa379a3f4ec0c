#include "id3v1.h"

#include <cstring>
#include <span>

#include "genre_names.h"
#include "tag_files.h"

namespace engine {

namespace {

constexpr size_t kTextWidth = 30;
constexpr size_t kYearWidth = 4;
constexpr size_t kShortCommentWidth = 28;

// Reads the last 128 bytes of `file`. The three words answer the same
// numbers for what goes wrong here (a short read is "no tag" to the read and
// the removal).
int32_t read_last_record(const TagFile& file, int64_t& length, uint8_t (&record)[kId3v1RecordSize]) {
    static_assert(int32_t{kV1ReadCannotOpen} == kV1WriteCannotOpen);
    static_assert(int32_t{kV1RemoveCannotOpen} == kV1WriteCannotOpen);
    static_assert(int32_t{kV1ReadNoTag} == kV1WriteCannotReadEnd);
    static_assert(int32_t{kV1RemoveNoTag} == kV1WriteCannotReadEnd);
    static_assert(int32_t{kV1ReadTooShort} == kV1WriteTooShort);
    static_assert(int32_t{kV1RemoveTooShort} == kV1WriteTooShort);
    if (!file.is_open()) return kV1WriteCannotOpen;
    length = file.length();
    if (length < static_cast<int64_t>(kId3v1RecordSize)) return kV1WriteTooShort;
    return file.read_at(length - static_cast<int64_t>(kId3v1RecordSize), record, kId3v1RecordSize)
               ? kV1WriteOk
               : kV1WriteCannotReadEnd;
}

// A file with other names (hard links) is not changed in place: like an ID3v2
// write, a write or removal gives this name a new file, with the first `keep`
// bytes of the old one and then `tail`, and the other names keep the file as
// it was. Not done, the file is as it was. Write and removal share the numbers.
int32_t rewrite_whole(const TagFile& file, int64_t keep, std::span<const uint8_t> tail) {
    static_assert(int32_t{kV1RemoveCutFailed} == kV1WriteFailed);
    static_assert(int32_t{kV1RemoveOwnerNotKept} == kV1WriteOwnerNotKept);
    switch (replace_file(file, nullptr, {}, 0, keep, tail)) {
        case Replaced::ok: return kV1WriteOk;
        case Replaced::owner_not_kept: return kV1WriteOwnerNotKept;
        default: return kV1WriteFailed;
    }
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

int32_t read_id3v1_tag(const char* path) {
    const TagFile file(path, false);
    int64_t length = 0;
    uint8_t record[kId3v1RecordSize];
    const int32_t result = read_last_record(file, length, record);
    if (result != kV1ReadOk) return result;
    return parse_id3v1_record(record) ? kV1ReadOk : kV1ReadNoTag;
}

int32_t write_id3v1_tag(const char* path) {
    if (is_read_only_file(path)) return kV1WriteReadOnly;
    const TagFile file(path, true);
    int64_t length = 0;
    uint8_t old_record[kId3v1RecordSize];
    if (const int32_t result = read_last_record(file, length, old_record); result != kV1WriteOk) return result;
    // An existing record is overwritten in place; otherwise one is appended.
    const bool replace = has_marker(old_record);
    const int64_t position = replace ? length - static_cast<int64_t>(kId3v1RecordSize) : length;
    uint8_t record[kId3v1RecordSize];
    render_id3v1_record(record);
    if (file.links() > 1) return rewrite_whole(file, position, record);

    if (file.write_at(position, record, kId3v1RecordSize)) return kV1WriteOk;
    // Not written whole: the old record goes back, or the part appended comes off.
    if (replace)
        file.write_at(position, old_record, kId3v1RecordSize);
    else
        file.cut(length);
    return kV1WriteFailed;
}

int32_t remove_id3v1_tag(const char* path) {
    if (is_read_only_file(path)) return kV1RemoveReadOnly;
    const TagFile file(path, true);
    int64_t length = 0;
    uint8_t record[kId3v1RecordSize];
    if (const int32_t result = read_last_record(file, length, record); result != kV1RemoveOk) return result;
    if (!has_marker(record)) return kV1RemoveNoTag;
    const int64_t rest = length - static_cast<int64_t>(kId3v1RecordSize);
    if (file.links() > 1) return rewrite_whole(file, rest, {});
    return file.cut(rest) ? kV1RemoveOk : kV1RemoveCutFailed;
}

}  // namespace engine
