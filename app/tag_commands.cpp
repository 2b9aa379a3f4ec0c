// The tag edits of tag-v1, tag-v2 and encode, and the tag commands tags,
// tag-v1, tag-v2, untag, genres and about.
#include "tag_commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <map>

#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "file_problem.h"
#include "id3v1_genre.h"
#include "mpeg_audio.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tag_view.h"

namespace zubmp3::app {
namespace {

constexpr Long kLargestV1Track = 255;

// A field option of the tag commands and of encode: the ID3v2 field whose
// option and label it takes, whether the ID3v1 tag has it too, and what the
// help says beyond the label (for both tags, for ID3v1 alone, for ID3v2 alone).
struct EditField {
    Id3v2Slot slot;
    bool v1;
    const char* more = nullptr;
    const char* v1_more = nullptr;
    const char* v2_more = nullptr;
};

// In the order people see the fields.
constexpr EditField kEditFields[] = {
    {kTitle, true},
    {kArtist, true},
    {kAlbum, true},
    {kYear, true, "four digits"},
    {kComment, true},
    {kTrack, true, "N or N/M (ID3v1 keeps N, up to 255)", "N (0 to 255; N/M is taken as N)", "N or N/M"},
    {kGenre, true, "a name or number of the genres list, or none (ID3v2 takes any text)",
     "a name or number (0 to 255) of the genres list, or none",
     "any text; a number of the genres list is written as its name; none empties it"},
    {kEncodedBy, false},
    {kUrl, false},
    {kCopyright, false},
    {kOriginalArtist, false},
    {kComposer, false},
};

// The option's name without its dashes: the key of TagEdits::values.
std::string option_name(Id3v2Slot slot) { return std::string(kId3v2Fields[slot].option.substr(2)); }

std::string option_help(const EditField& field, TagChoice offered) {
    const char* more = offered == TagChoice::v1 && field.v1_more   ? field.v1_more
                       : offered == TagChoice::v2 && field.v2_more ? field.v2_more
                                                                   : field.more;
    std::string help(kId3v2Fields[field.slot].label);
    if (more) help += std::string(": ") + more;
    if (!field.v1 && offered == TagChoice::both) help += " (ID3v2 only)";
    return help;
}

bool all_digits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Checks of single values, as CLI11 validators (an empty value empties the field).
const CLI::Validator kYearCheck(
    [](std::string& value) {
        return value.empty() || (value.size() == 4 && all_digits(value)) ? std::string()
                                                                         : "'" + value + "' is not a year of four digits";
    },
    "YYYY");

const CLI::Validator kTrackCheck(
    [](std::string& value) {
        const auto slash = value.find('/');
        const bool ok = value.empty() || (slash == std::string::npos
                                              ? all_digits(value)
                                              : all_digits(value.substr(0, slash)) && all_digits(value.substr(slash + 1)));
        return ok ? std::string() : "'" + value + "' is not a track number N or N/M";
    },
    "N|N/M");

bool writes_v1(TagChoice tag) { return tag != TagChoice::v2; }
bool writes_v2(TagChoice tag) { return tag != TagChoice::v1; }

// The ID3v1 track of "N" or "N/M" (0 for none).
Long v1_track(const std::string& value) {
    const std::string number = value.substr(0, value.find('/'));
    if (number.empty()) return 0;
    if (number.size() > 3 || std::stol(number) > kLargestV1Track) return -1;
    return static_cast<Long>(std::stol(number));
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

std::vector<std::string> genre_names() {
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);
    return genre_names(control, events);
}

// The ID3v1 genre byte of a number, a name of the list (letter case
// ignored) or "none"; -1 when there is none such.
Long v1_genre(const std::string& given, const std::vector<std::string>& names) {
    if (given.empty() || lower(given) == "none") return kGenreNone;
    if (all_digits(given)) return given.size() <= 3 && std::stol(given) <= 255 ? static_cast<Long>(std::stol(given)) : -1;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] != " " && lower(names[i]) == lower(given)) return static_cast<Long>(i);
    return -1;
}

// The ID3v2 genre text: a number of the list becomes its name.
std::string v2_genre(const std::string& given, const std::vector<std::string>& names) {
    if (lower(given) == "none") return {};
    if (!all_digits(given)) return given;
    const Long number = v1_genre(given, names);
    if (number == kGenreNone || number == kGenreUnlisted) return {};
    return number >= 0 && static_cast<size_t>(number) < names.size() ? names[static_cast<size_t>(number)] : given;
}

// How many characters the ID3v1 tag keeps of the field `name`; 0 when it
// has no such field.
size_t v1_width(const std::string& name, bool short_comment) {
    for (const auto& field : kTagV1Texts)
        if (option_name(field.slot) == name) return name == "comment" && short_comment ? 28 : field.max_bytes;
    return 0;
}

// Warns, once per command, about what the tags will not keep as typed.
void warn_about_texts(const TagEdits& edits) {
    const auto track = edits.values.find("track");
    const bool short_comment = track != edits.values.end() && v1_track(track->second) > 0;
    for (const auto& [name, value] : edits.values) {
        const Text text = to_text(value);
        if (!fits_latin1(text))
            complain("warning: --" + name + " has characters outside Latin-1; they are stored as '?'");
        const size_t width = writes_v1(edits.tag) ? v1_width(name, short_comment) : 0;
        if (width != 0 && text.size() > width)
            complain("warning: --" + name + " is cut to " + std::to_string(width) + " characters in the ID3v1 tag");
    }
}

// What cannot be written as asked; a usage error of the command.
void check_edits(const TagEdits& edits) {
    for (const auto& field : kEditFields)
        if (!field.v1 && edits.tag == TagChoice::v1 && edits.values.count(option_name(field.slot)))
            throw CLI::ValidationError(std::string(kId3v2Fields[field.slot].option),
                                       "the ID3v1 tag has no such field (write it with --tag v2 or both)");
    if (!writes_v1(edits.tag)) return;
    if (const auto track = edits.values.find("track"); track != edits.values.end() && v1_track(track->second) < 0)
        throw CLI::ValidationError("--track", "the ID3v1 tag holds track numbers up to 255");
    const auto genre = edits.values.find("genre");
    if (genre == edits.values.end() || v1_genre(genre->second, genre_names()) >= 0) return;
    if (all_digits(genre->second))
        throw CLI::ValidationError("--genre", "the number " + genre->second + " is not between 0 and 255");
    if (edits.tag == TagChoice::v1)
        throw CLI::ValidationError("--genre", "'" + genre->second + "' is not a genre name (see zubmp3 genres)");
    complain("warning: '" + genre->second + "' is not an ID3v1 genre; only the ID3v2 tag gets it");
}

// The control's ID3v2 methods take and give the fields in this order.
constexpr std::array<Id3v2Slot, kId3v2SlotCount> kMethodOrder = {
    kTrack, kTitle, kArtist, kAlbum, kYear, kGenre, kComment, kEncodedBy, kUrl, kCopyright, kOriginalArtist, kComposer,
};

TagV1 read_v1(ZUBEncode& control, const Text& path) {
    TagV1 tag;
    Text title, artist, album, year, comment;
    tag.result = control.Read_ID3_v1_tag(path, tag.track, title, artist, album, year, tag.genre, comment);
    if (tag.result != 0) {
        TagV1 failed;
        failed.result = tag.result;
        return failed;
    }
    tag.title = to_utf8(title);
    tag.artist = to_utf8(artist);
    tag.album = to_utf8(album);
    tag.year = to_utf8(year);
    tag.comment = to_utf8(comment);
    return tag;
}

// The tag as the control reads it, with the file's own genre byte where the
// control reads one value for many.
TagV1 read_v1(ZUBEncode& control, const Text& path, const std::string& file) {
    TagV1 tag = read_v1(control, path);
    if (tag.result != kV1ReadOk || tag.genre != kGenreUnlisted) return tag;
    if (const auto host = host_path(file))
        if (const auto byte = id3v1_genre_byte(*host)) tag.genre = *byte;
    return tag;
}

TagV2 read_v2(ZUBEncode& control, const Text& path) {
    std::array<Text, kId3v2SlotCount> t;  // in kMethodOrder
    TagV2 tag;
    tag.result = control.Read_ID3_v2_tag(path, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10],
                                         t[11]);
    if (tag.result != 0) {
        TagV2 failed;
        failed.result = tag.result;
        return failed;
    }
    for (size_t i = 0; i < t.size(); ++i) field_value(tag, kMethodOrder[i]) = to_utf8(t[i]);
    return tag;
}

// The value given for the field of `slot`, if any.
const std::string* given(const TagEdits& edits, Id3v2Slot slot) {
    const auto found = edits.values.find(option_name(slot));
    return found == edits.values.end() ? nullptr : &found->second;
}

Long write_v1(ZUBEncode& control, EventHandlers& events, const std::string& file, const TagEdits& edits) {
    // Fields not given keep the values the file has, its genre byte included.
    const Text path = control_path(file);
    TagV1 tag = read_v1(control, path, file);
    if (tag.result != 0) {
        tag = TagV1{};
        tag.genre = kGenreNone;
    } else if (tag.genre == kGenreUnlisted) {
        tag.genre = kGenreNone;  // the file's byte could not be read: no genre, as before
    }
    if (const auto* genre = given(edits, kGenre)) {
        const Long number = v1_genre(*genre, genre_names(control, events));
        if (number >= 0) tag.genre = number;  // a name only ID3v2 takes was announced when parsed
    }
    if (const auto* track = given(edits, kTrack)) tag.track = std::max<Long>(v1_track(*track), 0);
    for (const auto& field : kTagV1Texts)
        if (const auto* value = given(edits, field.slot)) tag.*field.member = *value;
    return control.Write_ID3_v1_tag(path, tag.track, to_text(tag.title), to_text(tag.artist), to_text(tag.album),
                                    to_text(tag.year), tag.genre, to_text(tag.comment));
}

Long write_v2(ZUBEncode& control, EventHandlers& events, const Text& path, const TagEdits& edits) {
    TagV2 tag = read_v2(control, path);  // fields not given keep the values the file has
    if (tag.result != 0) tag = TagV2{};
    for (const auto& field : kTagV2Texts)
        if (const auto* value = given(edits, field.slot)) tag.*field.member = *value;
    if (const auto* genre = given(edits, kGenre)) tag.genre = v2_genre(*genre, genre_names(control, events));
    std::array<Text, kId3v2SlotCount> t;  // in kMethodOrder
    for (size_t i = 0; i < t.size(); ++i) t[i] = to_text(field_value(tag, kMethodOrder[i]));
    return control.Write_ID3_v2_tag(path, t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8], t[9], t[10], t[11]);
}

}  // namespace

// ---- reports ----

nlohmann::json FileReport::json() const {
    nlohmann::json out = {{"file", file}, {"error", error.empty() ? nlohmann::json() : nlohmann::json(error)}};
    const auto answer = [](const TagAnswer& a) {
        return nlohmann::json{{"result", a.result}, {"error", a.error.empty() ? nlohmann::json() : nlohmann::json(a.error)}};
    };
    if (v1) out["id3v1"] = answer(*v1);
    if (v2) out["id3v2"] = answer(*v2);
    return out;
}

bool FileReport::failed() const {
    return !error.empty() || (v1 && !v1->error.empty()) || (v2 && !v2->error.empty());
}

void FileReport::complain_once(const char* done) const {
    if (!error.empty()) complain(file + ": " + error);
    if (v1 && !v1->error.empty()) complain(file + ": ID3v1 tag " + done + ": " + v1->error);
    if (v2 && !v2->error.empty()) complain(file + ": ID3v2 tag " + done + ": " + v2->error);
}

// ---- the edits ----

namespace {

void add_field_option(CLI::App& command, TagEdits& edits, const EditField& field, TagChoice offered) {
    const std::string name = option_name(field.slot);
    auto* option = command.add_option_function<std::string>(
        "--" + name, [&edits, name](const std::string& value) { edits.values[name] = value; },
        option_help(field, offered));
    if (field.slot == kYear) option->check(kYearCheck);
    if (field.slot == kTrack) option->check(kTrackCheck);
}

void add_tag_choice_option(CLI::App& command, TagEdits& edits) {
    command
        .add_option_function<std::string>(
            "--tag",
            [&edits](const std::string& value) {
                edits.tag = value == "v1" ? TagChoice::v1 : value == "v2" ? TagChoice::v2 : TagChoice::both;
            },
            "Which tags the field options write (default both)")
        ->transform(CLI::IsMember({"v1", "v2", "both"}, CLI::ignore_case));
}

}  // namespace

void add_tag_edit_options(CLI::App& command, TagEdits& edits, TagChoice offered) {
    if (offered != TagChoice::both) edits.tag = offered;
    for (const auto& field : kEditFields)
        if (offered != TagChoice::v1 || field.v1) add_field_option(command, edits, field, offered);
    if (offered == TagChoice::both) add_tag_choice_option(command, edits);
    command.parse_complete_callback([&edits] {
        if (edits.empty()) return;
        check_edits(edits);
        warn_about_texts(edits);
    });
}

FileReport write_tag_edits(const std::string& file, const TagEdits& edits) {
    FileReport report;
    report.file = file;
    if (const auto problem = file_problem(file, FileNeed::write)) {
        report.error = *problem;
        return report;
    }
    if (!edits.force && !has_mpeg_audio(host_path(file).value_or(file))) {
        report.error = "not an MP3 file (no MPEG audio frame after its tags); --force writes the tag anyway";
        return report;
    }
    const Text path = control_path(file);
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);
    if (writes_v1(edits.tag)) {
        const Long result = write_v1(control, events, file, edits);
        report.v1 = TagAnswer{result, result == kV1WriteOk ? "" : tag_result_words(TagCommand::write_v1, result)};
    }
    if (writes_v2(edits.tag)) {
        const Long result = write_v2(control, events, path, edits);
        report.v2 = TagAnswer{result, result == kWriteOk ? "" : tag_result_words(TagCommand::write_v2, result)};
    }
    return report;
}

int apply_tag_edits(const std::string& mp3, const TagEdits& edits) {
    if (edits.empty()) return kSuccess;
    const FileReport report = write_tag_edits(mp3, edits);
    report.complain_once("not written");
    return report.failed() ? kControlError : kSuccess;
}

// ---- the commands ----

namespace {

template <typename One>
int for_each_file(const std::vector<std::string>& files, One one) {
    int status = kSuccess;
    for (const auto& file : files)
        if (one(file) != kSuccess) status = kControlError;
    return status;
}

}  // namespace

int run_tag_write(const TagWriteOptions& options) {
    return for_each_file(options.files, [&](const std::string& file) {
        const FileReport report = write_tag_edits(file, options.edits);
        report.complain_once("not written");
        if (options.json) std::cout << report.json().dump() << '\n' << std::flush;
        return report.failed() ? kControlError : kSuccess;
    });
}

namespace {

// What went wrong in reading a file's tags: a file problem says it all; a
// tag that is not there is an answer, not a failure.
FileReport read_report(const std::string& file, const std::optional<std::string>& problem,
                       const std::optional<TagV1>& v1, const std::optional<TagV2>& v2) {
    FileReport report;
    report.file = file;
    report.error = problem.value_or("");
    if (problem) return report;
    if (v1) {
        const bool answered = v1->result == kV1ReadOk || v1->result == kV1ReadNoTag;
        report.v1 = TagAnswer{v1->result, answered ? "" : tag_result_words(TagCommand::read_v1, v1->result)};
    }
    if (v2) {
        const bool answered = v2->result == kReadOk || v2->result == kReadNoTag;
        report.v2 = TagAnswer{v2->result, answered ? "" : tag_result_words(TagCommand::read_v2, v2->result)};
    }
    return report;
}

int print_tags(const std::string& file, const TagReadOptions& options) {
    const bool both = !options.v1 && !options.v2;
    const Text path = control_path(file);
    ZUBEncode control;
    EventHandlers events;
    control.set_events(&events);
    // Reads change nothing, so the control is asked even about a file with
    // a problem: its results stay in the JSON.
    const auto problem = file_problem(file, FileNeed::read);
    std::optional<TagV1> v1;
    std::optional<TagV2> v2;
    if (options.v1 || both) v1 = read_v1(control, path, file);
    if (options.v2 || both) v2 = read_v2(control, path);
    const auto names = genre_names(control, events);

    if (options.json) {
        nlohmann::json out = tags_json(v1, v2, names);
        out["file"] = file;
        out["error"] = problem ? nlohmann::json(*problem) : nlohmann::json();
        std::cout << out.dump() << '\n';
    } else {
        if (options.files.size() > 1) std::cout << (&file == &options.files.front() ? "" : "\n") << file << ":\n";
        std::cout << tags_table(v1, v2, names);
    }
    std::cout << std::flush;
    const FileReport report = read_report(file, problem, v1, v2);
    report.complain_once("not read");
    return report.failed() ? kControlError : kSuccess;
}

// Removing a tag that is not there leaves the file as asked: not an error.
TagAnswer removal(TagCommand command, Long result) {
    const bool done = result == kV1RemoveOk || (command == TagCommand::remove_v1 ? result == kV1RemoveNoTag
                                                                                  : result == kRemoveNoTag);
    return TagAnswer{result, done ? "" : tag_result_words(command, result)};
}

FileReport remove_tags(const std::string& file, const UntagOptions& options) {
    const bool both = !options.v1 && !options.v2;
    FileReport report;
    report.file = file;
    if (const auto problem = file_problem(file, FileNeed::write)) {
        report.error = *problem;
        return report;
    }
    const Text path = control_path(file);
    ZUBEncode control;
    if (options.v1 || both) {
        report.v1 = removal(TagCommand::remove_v1, control.Remove_ID3V1_tag(path));
        if (report.v1->result == kV1RemoveNoTag && !options.json) complain(file + ": no ID3v1 tag to remove");
    }
    if (options.v2 || both) {
        report.v2 = removal(TagCommand::remove_v2, control.Remove_ID3V2_tag(path));
        if (report.v2->result == kRemoveNoTag && !options.json) complain(file + ": no ID3v2 tag to remove");
    }
    return report;
}

}  // namespace

int run_tags(const TagReadOptions& options) {
    return for_each_file(options.files, [&](const std::string& file) { return print_tags(file, options); });
}

int run_untag(const UntagOptions& options) {
    return for_each_file(options.files, [&](const std::string& file) {
        const FileReport report = remove_tags(file, options);
        report.complain_once("not removed");
        if (options.json) std::cout << report.json().dump() << '\n' << std::flush;
        return report.failed() ? kControlError : kSuccess;
    });
}

int run_genres(bool json) {
    const auto names = genre_names();
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (size_t i = 0; i < names.size(); ++i)
            if (names[i] != " ") list.push_back({{"number", i}, {"name", names[i]}});
        std::cout << list.dump() << '\n';
        return kSuccess;
    }
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
