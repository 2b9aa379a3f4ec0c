// The tag words of interface1.
#include <cstring>
#include <string_view>

#include "../dispatch.h"
#include "genre_names.h"
#include "id3v1.h"
#include "id3v2_fields.h"
#include "id3v2_reader.h"
#include "id3v2_writer.h"

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

constexpr Command kTagCommands[] = {
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
    {"v2Composersize", get_v2_size<kComposer>},
    {"v2OriginalArtistsize", get_v2_size<kOriginalArtist>},
    {"v2Copyrightsize", get_v2_size<kCopyright>},
    {"v2URLsize", get_v2_size<kUrl>},
    {"v2Commentsize", get_v2_size<kComment>},
    {"v2Genresize", get_v2_size<kGenre>},
    {"v2Yearsize", get_v2_size<kYear>},
    {"v2Albumsize", get_v2_size<kAlbum>},
    {"v2Artistsize", get_v2_size<kArtist>},
    {"v2Titlesize", get_v2_size<kTitle>},
    {"v2Tracksize", get_v2_size<kTrack>},
    {"v2EncodedBysize", get_v2_size<kEncodedBy>},
    {"v2EncodedBy", get_v2_text<kEncodedBy>},
    {"v2Track", get_v2_text<kTrack>},
    {"v2Title", get_v2_text<kTitle>},
    {"v2Artist", get_v2_text<kArtist>},
    {"v2Album", get_v2_text<kAlbum>},
    {"v2Year", get_v2_text<kYear>},
    {"v2Genre", get_v2_text<kGenre>},
    {"v2Comment", get_v2_text<kComment>},
    {"v2URL", get_v2_text<kUrl>},
    {"v2Copyright", get_v2_text<kCopyright>},
    {"v2OriginalArtist", get_v2_text<kOriginalArtist>},
    {"v2Composer", get_v2_text<kComposer>},
    {"v2cleanup", cleanup_id3v2},
    {"wv2Track", stage_v2<kTrack>},
    {"wv2Title", stage_v2<kTitle>},
    {"wv2Artist", stage_v2<kArtist>},
    {"wv2Album", stage_v2<kAlbum>},
    {"wv2Year", stage_v2<kYear>},
    {"wv2Genre", stage_v2<kGenre>},
    {"wv2Comment", stage_v2<kComment>},
    {"wv2EncodedBy", stage_v2<kEncodedBy>},
    {"wv2URL", stage_v2<kUrl>},
    {"wv2Copyright", stage_v2<kCopyright>},
    {"wv2OriginalArtist", stage_v2<kOriginalArtist>},
    {"wv2Composer", stage_v2<kComposer>},
    {"setid3v2", set_id3v2, kWriteOldTagUnreadable},
    {"definetempfolder", define_temp},
    {"remove_id3v2_tag", remove_id3v2, kRemoveCannotRead},
};

}  // namespace

std::span<const Command> tag_commands() { return kTagCommands; }

}  // namespace engine
