// The tag words of interface1.
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

#include "dispatch.h"
#include "id3/genre_names.h"
#include "id3/id3v1.h"
#include "id3/id3v2_fields.h"
#include "id3/id3v2_reader.h"
#include "id3/id3v2_writer.h"

namespace engine {
namespace {

// A file path argument; a missing one names no file.
const char* path_of(const CommandArgs& args) {
    const char* path = as_text(args.value);
    return path != nullptr ? path : "";
}

// ---- ID3v1 ----

int32_t get_id3v1(const CommandArgs& args) { return read_id3v1_tag(path_of(args)); }
int32_t set_id3v1(const CommandArgs& args) { return write_id3v1_tag(path_of(args)); }
int32_t remove_id3v1(const CommandArgs& args) { return remove_id3v1_tag(path_of(args)); }

int32_t get_v1_genre(const CommandArgs&) { return v1_genre; }
int32_t get_v1_track(const CommandArgs&) { return v1_track; }

void copy_text(const CommandArgs& args, const char* text) {
    if (char* buffer = as_buffer(args.value)) std::memcpy(buffer, text, std::strlen(text) + 1);
}

template <char (&Field)[kV1FieldSize]>
int32_t get_v1_text(const CommandArgs& args) {
    copy_text(args, Field);
    return 0;
}

template <char (&Field)[kV1FieldSize], size_t Limit>
int32_t stage_v1(const CommandArgs& args) {
    stage_v1_text(Field, as_text(args.value), Limit);
    return 0;
}

// The comment keeps 28 bytes when a track number is staged, else 30.
int32_t stage_v1_comment(const CommandArgs& args) {
    stage_v1_text(v1_comment, as_text(args.value), v1_track != 0 ? 28 : 30);
    return 0;
}

int32_t stage_v1_genre(const CommandArgs& args) {
    v1_genre = as_int(args.value);
    return 0;
}

int32_t stage_v1_track(const CommandArgs& args) {
    v1_track = as_int(args.value);
    return 0;
}

int32_t generate_genre(const CommandArgs& args) {
    copy_text(args, genre_name(static_cast<int>(args.index)));
    return 0;
}

// ---- ID3v2 ----

int32_t get_id3v2(const CommandArgs& args) { return read_id3v2_tag(path_of(args)); }
int32_t set_id3v2(const CommandArgs& args) { return write_id3v2_tag(path_of(args)); }
int32_t remove_id3v2(const CommandArgs& args) { return remove_id3v2_tag(path_of(args)); }
int32_t cleanup_id3v2(const CommandArgs&) { return release_id3v2_fields(); }

int32_t define_temp(const CommandArgs& args) {
    define_temp_folder(as_text(args.value));
    return 0;
}

template <int Slot>
int32_t get_v2_size(const CommandArgs&) {
    return id3v2_fields[Slot].size;
}

template <int Slot>
int32_t get_v2_text(const CommandArgs& args) {
    copy_text(args, id3v2_fields[Slot].text != nullptr ? id3v2_fields[Slot].text : "");
    return 0;
}

// A copy in a block of the text's length plus 100 bytes. The size word then
// answers the staged text's length: a caller sizing its buffer from it can
// take what the getter copies.
template <int Slot>
int32_t stage_v2(const CommandArgs& args) {
    const std::string_view text = as_text(args.value) != nullptr ? as_text(args.value) : "";
    store_field_text(Slot, text, 100);
    return 0;
}

// Each field's three words: "v2<stem>size", "v2<stem>" and "wv2<stem>".
template <int Slot>
constexpr zubmp3::Id3v2Word kSizeWord = zubmp3::id3v2_word("v2", static_cast<Id3v2Slot>(Slot), "size");
template <int Slot>
constexpr zubmp3::Id3v2Word kGetWord = zubmp3::id3v2_word("v2", static_cast<Id3v2Slot>(Slot));
template <int Slot>
constexpr zubmp3::Id3v2Word kStageWord = zubmp3::id3v2_word("wv2", static_cast<Id3v2Slot>(Slot));

template <int... Slot>
constexpr auto field_commands(std::integer_sequence<int, Slot...>) {
    return std::array{Command{kSizeWord<Slot>.view(), get_v2_size<Slot>}...,
                      Command{kGetWord<Slot>.view(), get_v2_text<Slot>}...,
                      Command{kStageWord<Slot>.view(), stage_v2<Slot>}...};
}

// The words of ID3v1, genres, and ID3v2 as a whole; the field words follow.
constexpr Command kTagWords[] = {
    {"getid3v1", get_id3v1, kV1ReadCannotOpen},
    {"v1Genre", get_v1_genre},
    {"v1Comment", get_v1_text<v1_comment>},
    {"v1Year", get_v1_text<v1_year>},
    {"v1Album", get_v1_text<v1_album>},
    {"v1Artist", get_v1_text<v1_artist>},
    {"v1Title", get_v1_text<v1_title>},
    {"v1Track", get_v1_track},
    {"generategenre", generate_genre},
    {"wv1Genre", stage_v1_genre},
    {"wv1Comment", stage_v1_comment},
    {"wv1Year", stage_v1<v1_year, 4>},
    {"wv1Album", stage_v1<v1_album, 30>},
    {"wv1Artist", stage_v1<v1_artist, 30>},
    {"wv1Title", stage_v1<v1_title, 30>},
    {"wv1Track", stage_v1_track},
    {"setid3v1", set_id3v1, kV1WriteCannotOpen},
    {"removeid3v1", remove_id3v1, kV1RemoveCannotOpen},
    {"getid3v2", get_id3v2, kReadDamaged},
    {"v2cleanup", cleanup_id3v2},
    {"setid3v2", set_id3v2, kWriteOldTagUnreadable},
    {"definetempfolder", define_temp},
    {"remove_id3v2_tag", remove_id3v2, kRemoveCannotRead},
};

constexpr auto kFieldCommands = field_commands(std::make_integer_sequence<int, kId3v2SlotCount>());

constexpr auto kTagCommands = join_commands(std::to_array(kTagWords), kFieldCommands);

}  // namespace

std::span<const Command> tag_commands() { return kTagCommands; }

}  // namespace engine
