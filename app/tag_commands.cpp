// zubmp3 tags, tag-v1, tag-v2, untag, genres, about and the version text.
#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>

#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "tag_view.h"

namespace zubmp3::app {
namespace {

// ID3v1 genre byte for "no genre": other tag readers take 255 as none, and
// the control reads every byte above its list as its last entry, " ".
constexpr Long kNoGenre = 255;
constexpr Long kListedNoGenre = 148;

const std::map<Long, std::string> kV1WriteResults = {
    {1, "the file cannot be opened for writing, or is not a regular file"},
    {2, "the end of the file cannot be read"},
    {3, "the file is shorter than a tag"},
    {4, "the file is read-only"},
    {5, "the record could not be written"},
    {6, "the file has other hard links and a new file cannot be given its owner and group"},
};

const std::map<Long, std::string> kV2WriteResults = {
    {1, "the file is read-only"},
    {2, "no new file can be made in the file's folder"},
    {3, "the old tag cannot be read"},
    {5, "the file cannot be opened for reading, or is not a regular file"},
    {7, "the new file cannot take the place of the old one"},
    {8, "a frame of the old tag is larger than 64000 bytes"},
    {9, "the new file could not be written whole"},
    {10, "a new file cannot be given the file's owner and group"},
};

const std::map<Long, std::string> kV1RemoveResults = {
    {1, "the file cannot be opened, or is not a regular file"},
    {3, "the file is shorter than a tag"},
    {4, "the file is read-only"},
    {5, "the file could not be cut"},
    {6, "the file has other hard links and a new file cannot be given its owner and group"},
};

const std::map<Long, std::string> kV2RemoveResults = {
    {1, "the file is read-only"},
    {3, "no new file can be made in the file's folder"},
    {4, "the file or its tag cannot be read, or it is not a regular file"},
    {5, "the new file cannot take the place of the old one"},
    {6, "the new file could not be written whole"},
    {7, "a new file cannot be given the file's owner and group"},
};

int tag_method_failed(const std::string& method, Long result, const std::string& meaning) {
    complain(method + " returned " + std::to_string(result) + (meaning.empty() ? "" : " (" + meaning + ")"));
    return kControlError;
}

std::string meaning(const std::map<Long, std::string>& table, Long result) {
    const auto found = table.find(result);
    return found == table.end() ? std::string() : found->second;
}

template <typename Tag>
Tag failed_read(Long result) {
    Tag tag;
    tag.result = result;
    return tag;
}

TagV1 read_v1(ZUBEncode& control, const Text& path) {
    TagV1 tag;
    Text title, artist, album, year, comment;
    tag.result = control.Read_ID3_v1_tag(path, tag.track, title, artist, album, year, tag.genre, comment);
    if (tag.result != 0) return failed_read<TagV1>(tag.result);
    tag.title = to_utf8(title);
    tag.artist = to_utf8(artist);
    tag.album = to_utf8(album);
    tag.year = to_utf8(year);
    tag.comment = to_utf8(comment);
    return tag;
}

TagV2 read_v2(ZUBEncode& control, const Text& path) {
    std::array<Text, 12> t;
    TagV2 tag;
    tag.result = control.Read_ID3_v2_tag(path, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10],
                                         t[11]);
    if (tag.result != 0) return failed_read<TagV2>(tag.result);
    std::string* fields[] = {&tag.track,     &tag.title,      &tag.artist, &tag.album,
                             &tag.year,      &tag.genre,      &tag.comment, &tag.encoded_by,
                             &tag.url,       &tag.copyright,  &tag.original_artist, &tag.composer};
    for (size_t i = 0; i < t.size(); ++i) *fields[i] = to_utf8(t[i]);
    return tag;
}

std::vector<std::string> genre_names(ZUBEncode& control, EventHandlers& events) {
    std::vector<std::string> names;
    events.on_genre = [&](bool clear, const Text& genre) {
        if (clear) names.clear();
        else names.push_back(to_utf8(genre));
    };
    control.Generate_ID3v1Genre();
    events.on_genre = nullptr;
    return names;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A genre number 0..255, or a name of the list, letter case ignored.
Long genre_number(const std::string& given, const std::vector<std::string>& names) {
    if (!given.empty() && std::all_of(given.begin(), given.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (given.size() > 3 || std::stoi(given) > 255)
            throw UsageError("--genre: the number " + given + " is not between 0 and 255");
        return std::stoi(given);
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] != " " && lower(names[i]) == lower(given)) return static_cast<Long>(i);
    throw UsageError("--genre: '" + given + "' is not a genre name (see zubmp3 genres)");
}

// Warns about what the tag will not keep as typed.
void check_fits(const std::string& option, const std::string& value, size_t max_bytes) {
    const Text text = to_text(value);
    if (!fits_latin1(text))
        complain("warning: " + option + " has characters outside Latin-1; they are stored as '?'");
    if (max_bytes != 0 && text.size() > max_bytes)
        complain("warning: " + option + " is cut to " + std::to_string(max_bytes) + " characters");
}

}  // namespace

int run_tags(const std::string& file, bool json) {
    const Text path = control_path(file);
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);
    const TagV1 v1 = read_v1(control, path);
    const TagV2 v2 = read_v2(control, path);
    const auto names = genre_names(control, events);

    if (json)
        std::cout << tags_json(v1, v2, names).dump(2) << '\n';
    else
        std::cout << tags_table(v1, v2, names);
    // A tag that is not there is an answer; a file that cannot be read is not.
    int status = kSuccess;
    if (v1.result != 0 && v1.result != kNoTag)
        status = tag_method_failed("Read_ID3_v1_tag", v1.result, describe_v1_read(v1.result));
    if (v2.result != 0 && v2.result != kNoTag)
        status = tag_method_failed("Read_ID3_v2_tag", v2.result, describe_v2_read(v2.result));
    return status;
}

int run_tag_v1(const TagV1Options& options) {
    const Text path = control_path(options.file);
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);

    // Fields not given keep the values the file has.
    TagV1 tag = read_v1(control, path);
    if (tag.result != 0) {
        tag = TagV1{};
        tag.genre = kNoGenre;
    }
    else if (tag.genre == kListedNoGenre) tag.genre = kNoGenre;

    if (options.genre) tag.genre = genre_number(*options.genre, genre_names(control, events));
    if (options.track) tag.track = *options.track;
    for (const auto& given : options.texts) {
        for (const auto& field : kTagV1Texts) {
            if (given.option != field.option) continue;
            const bool short_comment = field.member == &TagV1::comment && tag.track != 0;
            check_fits(given.option, given.value, short_comment ? 28 : static_cast<size_t>(field.max_bytes));
            tag.*field.member = given.value;
        }
    }

    const Long result = control.Write_ID3_v1_tag(path, tag.track, to_text(tag.title), to_text(tag.artist),
                                                 to_text(tag.album), to_text(tag.year), tag.genre,
                                                 to_text(tag.comment));
    if (result != 0) return tag_method_failed("Write_ID3_v1_tag", result, meaning(kV1WriteResults, result));
    return kSuccess;
}

int run_tag_v2(const TagV2Options& options) {
    const Text path = control_path(options.file);
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);

    TagV2 tag = read_v2(control, path);  // fields not given keep the values the file has
    if (tag.result != 0) tag = TagV2{};
    for (const auto& given : options.texts) {
        for (const auto& field : kTagV2Texts) {
            if (given.option != field.option) continue;
            check_fits(given.option, given.value, 0);
            tag.*field.member = given.value;
        }
    }

    const Long result = control.Write_ID3_v2_tag(
        path, to_text(tag.track), to_text(tag.title), to_text(tag.artist), to_text(tag.album), to_text(tag.year),
        to_text(tag.genre), to_text(tag.comment), to_text(tag.encoded_by), to_text(tag.url),
        to_text(tag.copyright), to_text(tag.original_artist), to_text(tag.composer));
    if (result != 0) return tag_method_failed("Write_ID3_v2_tag", result, meaning(kV2WriteResults, result));
    return kSuccess;
}

int run_untag(const UntagOptions& options) {
    const Text path = control_path(options.file);
    const bool both = !options.v1 && !options.v2;
    ZUBEncode control;
    int status = kSuccess;
    // Removing a tag that is not there leaves the file as asked: not an error.
    const auto remove = [&](const char* method, const char* kind, Long result,
                            const std::map<Long, std::string>& meanings) {
        if (result == kNoTag) complain(std::string("no ") + kind + " tag in " + options.file);
        else if (result != 0) status = tag_method_failed(method, result, meaning(meanings, result));
    };
    if (options.v1 || both) remove("Remove_ID3V1_tag", "ID3v1", control.Remove_ID3V1_tag(path), kV1RemoveResults);
    if (options.v2 || both) remove("Remove_ID3V2_tag", "ID3v2", control.Remove_ID3V2_tag(path), kV2RemoveResults);
    return status;
}

int run_genres() {
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);
    const auto names = genre_names(control, events);
    for (size_t i = 0; i < names.size(); ++i) std::cout << i << ' ' << names[i] << '\n';
    return kSuccess;
}

int run_about() {
    ZUBEncode control;
    control.About();
    return kSuccess;
}

std::string control_name() {
    ZUBEncode control;
    return to_utf8(control.ControlName());
}

}  // namespace zubmp3::app
