// ZUBEncode: the ID3v1 and ID3v2 tag methods. Each is a fixed conversation of
// engine commands; the engine's status is the method's result, unchanged.
#include <array>
#include <limits>
#include <mutex>
#include <new>
#include <string_view>

#include "globais.h"
#include "zubencode_impl.h"
#include "zubmp3/id3v2_field_table.h"

namespace zubmp3 {
namespace {

constexpr size_t kV1FieldRoom = 300;  // blanks handed out for each ID3v1 text
constexpr Long kLastGenre = 148;
constexpr Long kFieldRoomExtra = 10;  // an ID3v2 field gets its size plus this
// The engine builds the new file of an ID3v2 write or removal beside the
// file itself when no folder is named; a folder named by another caller of
// the shared engine is cleared.
const Text kBesideTheFile;

// Runtime errors of the automation platform, raised where sizing an ID3v2
// field's buffer goes wrong.
constexpr Long kInvalidArgumentError = 5;
constexpr Long kOverflowError = 6;
constexpr Long kOutOfMemoryError = 7;

// The engine's tag staging fields are one set per process: a conversation
// (staging, the operation, the read-back, the clean-up) holds them from its
// first word to its last, whichever control or thread speaks.
class TagConversation {
public:
    TagConversation() : lock_(mutex()) {}

private:
    static std::mutex& mutex() {
        static std::mutex conversations;
        return conversations;
    }
    std::lock_guard<std::mutex> lock_;
};

// One command with a text in the second slot (read back), "" and `number`.
Long send_text(MP3Class& bridge, const char16_t* word, Text& value, Long number = 0) {
    Text command = word;
    Text unused;
    return bridge.CallWindow2(command, value, unused, number);
}

// The same with a value the caller keeps.
Long send_copy(MP3Class& bridge, const char16_t* word, const Text& value) {
    Text copy = value;
    return send_text(bridge, word, copy);
}

Long send_number(MP3Class& bridge, const char16_t* word, Long value = 0) {
    return bridge.CallWindowLONG(word, value, 0, 0);
}

// A buffer of blanks for an ID3v2 field whose size word answered `size`.
Text field_room(Long size) {
    if (size > std::numeric_limits<Long>::max() - kFieldRoomExtra) throw AutomationError(kOverflowError, u"Overflow");
    const Long room = size + kFieldRoomExtra;
    if (room < 0) throw AutomationError(kInvalidArgumentError, u"Invalid procedure call or argument");
    try {
        return Text(static_cast<size_t>(room), u' ');
    } catch (const std::bad_alloc&) {
        throw AutomationError(kOutOfMemoryError, u"Out of memory");
    }
}

// A field's command word: prefix, the field's stem, suffix.
Text field_word(std::string_view prefix, Id3v2Slot slot, std::string_view suffix = {}) {
    const Id3v2Word word = id3v2_word(prefix, slot, suffix);
    return Text(word.view().begin(), word.view().end());
}

// The twelve texts of an ID3v2 method, by the slot of their field.
template <typename T>
std::array<T*, kId3v2SlotCount> by_slot(T& Track, T& Title, T& Artist, T& Album, T& Year, T& Genre, T& Comment,
                                        T& EncodedBy, T& URL, T& Copyright, T& OriginalArtist, T& Composer) {
    std::array<T*, kId3v2SlotCount> texts{};
    texts[kTrack] = &Track;
    texts[kTitle] = &Title;
    texts[kArtist] = &Artist;
    texts[kAlbum] = &Album;
    texts[kYear] = &Year;
    texts[kGenre] = &Genre;
    texts[kComment] = &Comment;
    texts[kEncodedBy] = &EncodedBy;
    texts[kUrl] = &URL;
    texts[kCopyright] = &Copyright;
    texts[kOriginalArtist] = &OriginalArtist;
    texts[kComposer] = &Composer;
    return texts;
}

}  // namespace

// ---- ID3v1 ----

Long ZUBEncode::Read_ID3_v1_tag(const Text& filename, Long& Track, Text& Title, Text& Artist, Text& Album,
                                Text& Year, Long& Genre, Text& Comment) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    const Long result = send_copy(bridge, u"getid3v1", filename);
    if (result != 0) return result;  // the outputs stay as passed

    const std::pair<const char16_t*, Text*> texts[] = {
        {u"v1Title", &Title}, {u"v1Artist", &Artist}, {u"v1Album", &Album}, {u"v1Year", &Year}, {u"v1Comment", &Comment}};
    for (const auto& [word, output] : texts) {
        *output = Text(kV1FieldRoom, u' ');
        send_text(bridge, word, *output);
    }
    Track = send_number(bridge, u"v1Track");
    Genre = send_number(bridge, u"v1Genre");
    return result;
}

Long ZUBEncode::Write_ID3_v1_tag(const Text& filename, Long Track, const Text& Title, const Text& Artist,
                                 const Text& Album, const Text& Year, Long Genre, const Text& Comment) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    send_copy(bridge, u"wv1Title", Title);
    send_copy(bridge, u"wv1Artist", Artist);
    send_copy(bridge, u"wv1Album", Album);
    send_copy(bridge, u"wv1Year", Year);
    send_number(bridge, u"wv1Track", Track);
    send_copy(bridge, u"wv1Comment", Comment);  // after the track: a track leaves 28 bytes of comment
    send_number(bridge, u"wv1Genre", Genre);
    return send_copy(bridge, u"setid3v1", filename);
}

Long ZUBEncode::Remove_ID3V1_tag(const Text& filename) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    return send_copy(bridge, u"removeid3v1", filename);
}

void ZUBEncode::Generate_ID3v1Genre() {
    MP3Class& bridge = impl_->engine();
    bool clear = true;
    Text genre;
    if (impl_->events != nullptr) impl_->events->ID3v1GenreList(clear, genre);
    for (Long number = 0; number <= kLastGenre; ++number) {
        Text name(kV1FieldRoom, u' ');
        send_text(bridge, u"generategenre", name, number);
        bool append = false;  // the handler gets copies
        if (impl_->events != nullptr) impl_->events->ID3v1GenreList(append, name);
    }
}

// ---- ID3v2 ----

Long ZUBEncode::Read_ID3_v2_tag(const Text& filename, Text& Track, Text& Title, Text& Artist, Text& Album,
                                Text& Year, Text& Genre, Text& Comment, Text& EncodedBy, Text& URL,
                                Text& Copyright, Text& OriginalArtist, Text& Composer) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    const Long result = send_copy(bridge, u"getid3v2", filename);
    if (result == 0) {
        const auto outputs = by_slot(Track, Title, Artist, Album, Year, Genre, Comment, EncodedBy, URL, Copyright,
                                     OriginalArtist, Composer);
        for (const Id3v2Field& field : kId3v2Fields) {
            Text& output = *outputs[field.slot];
            output = field_room(send_number(bridge, field_word("v2", field.slot, "size").c_str()));
            send_text(bridge, field_word("v2", field.slot).c_str(), output);
        }
    }
    send_number(bridge, u"v2cleanup");
    return result;
}

Long ZUBEncode::Write_ID3_v2_tag(const Text& filename, const Text& Track, const Text& Title, const Text& Artist,
                                 const Text& Album, const Text& Year, const Text& Genre, const Text& Comment,
                                 const Text& EncodedBy, const Text& URL, const Text& Copyright,
                                 const Text& OriginalArtist, const Text& Composer) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    send_copy(bridge, u"definetempfolder", kBesideTheFile);
    send_number(bridge, u"v2cleanup");
    const auto values = by_slot(Track, Title, Artist, Album, Year, Genre, Comment, EncodedBy, URL, Copyright,
                                OriginalArtist, Composer);
    for (const Id3v2Field& field : kId3v2Fields)
        send_copy(bridge, field_word("wv2", field.slot).c_str(), *values[field.slot]);
    const Long result = send_copy(bridge, u"setid3v2", filename);
    send_number(bridge, u"v2cleanup");
    return result;
}

Long ZUBEncode::Remove_ID3V2_tag(const Text& filename) {
    const TagConversation conversation;
    MP3Class& bridge = impl_->engine();
    send_copy(bridge, u"definetempfolder", kBesideTheFile);
    return send_copy(bridge, u"remove_id3v2_tag", filename);
}

}  // namespace zubmp3
