// The tags of a file as the control reads them, and their two printed forms.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "zubmp3/engine_results.h"
#include "zubmp3/host.h"
#include "zubmp3/id3v2_field_table.h"

namespace zubmp3::app {

struct TagV1 {
    Long result = -1;  // Read_ID3_v1_tag's result; the fields hold only when it is 0
    Long track = 0;
    std::string title, artist, album, year, comment;  // UTF-8
    Long genre = 0;  // the file's byte (0 to 255)
};

struct TagV2 {
    Long result = -1;  // Read_ID3_v2_tag's result; the fields hold only when it is 0
    std::string track, title, artist, album, year, genre, comment, encoded_by, url, copyright, original_artist,
        composer;  // UTF-8
};

// One text field of a tag: its ID3v2 field (whose key, label and option it
// shows under), where it lives, and (ID3v1) how many bytes it keeps.
template <typename Tag>
struct TextField {
    Id3v2Slot slot;
    const char* key;     // JSON key
    const char* label;   // label in the table
    const char* option;  // command-line option
    std::string Tag::*member;
    int max_bytes;  // 0: no limit
};

extern const std::array<TextField<TagV1>, 5> kTagV1Texts;
extern const std::array<TextField<TagV2>, 12> kTagV2Texts;  // in the order people see them

// The value of an ID3v2 field.
std::string& field_value(TagV2& tag, Id3v2Slot slot);
const std::string& field_value(const TagV2& tag, Id3v2Slot slot);

// A tag result of `command` in words, e.g. "the file is read-only".
std::string tag_result_words(TagCommand command, Long result);

// ID3v1 genre bytes: "no genre", which other tag readers take 255 for, and
// the one the control reads for every byte above its list.
constexpr Long kGenreNone = 255;
constexpr Long kGenreUnlisted = 148;

// {"id3v1": {"result": N, "track": ..., "genre": N, "genre_name": ..., ...},
//  "id3v2": {"result": N, "title": ..., ...}} for the tags given; fields are
// null when the read failed; no genre is "genre": null, "genre_name": "none";
// a genre beyond the list has its number and "genre_name": null.
nlohmann::json tags_json(const std::optional<TagV1>& v1, const std::optional<TagV2>& v2,
                         const std::vector<std::string>& genre_names);

// The readable form: one labelled line per field of the tags given.
std::string tags_table(const std::optional<TagV1>& v1, const std::optional<TagV2>& v2,
                       const std::vector<std::string>& genre_names);

}  // namespace zubmp3::app
