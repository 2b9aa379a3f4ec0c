// The twelve ID3v2 fields the engine reads and writes: their slot in the
// engine's store, the stem of their command words, their ID3v2.3 frame, and
// the names people see. The engine, the control and the applications all
// read this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace zubmp3 {

// A field's place in the engine's store; the store walks them in this order.
enum Id3v2Slot : int {
    kComposer, kOriginalArtist, kCopyright, kUrl, kEncodedBy, kComment,
    kGenre, kYear, kAlbum, kArtist, kTitle, kTrack,
};
constexpr int kId3v2SlotCount = 12;

// How a field's value sits in its frame's content.
enum Id3v2FrameKind : int {
    kTextFrame = 1,     // an encoding byte, then the text
    kUrlFrame = 2,      // an encoding byte, a description, then the link
    kCommentFrame = 5,  // an encoding byte, a language, a short description, then the text
};

struct Id3v2Field {
    Id3v2Slot slot;
    std::string_view stem;      // the command words are "v2" stem, "v2" stem "size" and "wv2" stem
    std::string_view frame_id;  // ID3v2.3 frame identifier
    Id3v2FrameKind kind;
    std::string_view label;   // shown beside the value
    std::string_view option;  // the command-line option that sets it
    std::string_view key;     // its name in machine-readable output
};

// In slot order: kId3v2Fields[slot].slot == slot.
inline constexpr std::array<Id3v2Field, kId3v2SlotCount> kId3v2Fields = {{
    {kComposer, "Composer", "TCOM", kTextFrame, "Composer", "--composer", "composer"},
    {kOriginalArtist, "OriginalArtist", "TOPE", kTextFrame, "Original artist", "--original-artist",
     "original_artist"},
    {kCopyright, "Copyright", "TCOP", kTextFrame, "Copyright", "--copyright", "copyright"},
    {kUrl, "URL", "WXXX", kUrlFrame, "URL", "--url", "url"},
    {kEncodedBy, "EncodedBy", "TENC", kTextFrame, "Encoded by", "--encoded-by", "encoded_by"},
    {kComment, "Comment", "COMM", kCommentFrame, "Comment", "--comment", "comment"},
    {kGenre, "Genre", "TCON", kTextFrame, "Genre", "--genre", "genre"},
    {kYear, "Year", "TYER", kTextFrame, "Year", "--year", "year"},
    {kAlbum, "Album", "TALB", kTextFrame, "Album", "--album", "album"},
    {kArtist, "Artist", "TPE1", kTextFrame, "Artist", "--artist", "artist"},
    {kTitle, "Title", "TIT2", kTextFrame, "Title", "--title", "title"},
    {kTrack, "Track", "TRCK", kTextFrame, "Track", "--track", "track"},
}};

// The order in which people see the fields: the usual ones first.
inline constexpr std::array<Id3v2Slot, kId3v2SlotCount> kId3v2ShownOrder = {
    kTitle, kArtist, kAlbum, kYear, kGenre, kComment, kTrack, kEncodedBy, kUrl, kCopyright, kOriginalArtist, kComposer,
};

// A command word of a field, built at compile time: prefix, stem, suffix.
struct Id3v2Word {
    std::array<char, 32> text{};
    size_t size = 0;
    constexpr std::string_view view() const { return {text.data(), size}; }
};

constexpr Id3v2Word id3v2_word(std::string_view prefix, Id3v2Slot slot, std::string_view suffix = {}) {
    Id3v2Word word;
    for (const std::string_view part : {prefix, kId3v2Fields[slot].stem, suffix})
        for (const char c : part) word.text[word.size++] = c;
    return word;
}

namespace detail {
constexpr bool fields_in_slot_order() {
    for (int slot = 0; slot < kId3v2SlotCount; ++slot)
        if (kId3v2Fields[slot].slot != slot || kId3v2Fields[slot].frame_id.size() != 4 ||
            kId3v2Fields[slot].stem.size() > 24)  // room in Id3v2Word for "wv2" and "size"
            return false;
    return true;
}
static_assert(fields_in_slot_order());
}  // namespace detail

}  // namespace zubmp3
