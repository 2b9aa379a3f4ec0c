// ZUBEncode: the ID3v1 and ID3v2 tag methods. Each is a fixed conversation of
// engine commands; the engine's status is the method's result, unchanged.
#include <limits>
#include <mutex>
#include <new>

#include "globais.h"
#include "zubencode_impl.h"

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

// The twelve ID3v2 fields in the engine's order: size word, getter, stager.
struct V2Field {
    const char16_t* size_word;
    const char16_t* get_word;
    const char16_t* stage_word;
};
constexpr V2Field kV2Fields[12] = {
    {u"v2Composersize", u"v2Composer", u"wv2Composer"},
    {u"v2OriginalArtistsize", u"v2OriginalArtist", u"wv2OriginalArtist"},
    {u"v2Copyrightsize", u"v2Copyright", u"wv2Copyright"},
    {u"v2URLsize", u"v2URL", u"wv2URL"},
    {u"v2EncodedBysize", u"v2EncodedBy", u"wv2EncodedBy"},
    {u"v2Commentsize", u"v2Comment", u"wv2Comment"},
    {u"v2Genresize", u"v2Genre", u"wv2Genre"},
    {u"v2Yearsize", u"v2Year", u"wv2Year"},
    {u"v2Albumsize", u"v2Album", u"wv2Album"},
    {u"v2Artistsize", u"v2Artist", u"wv2Artist"},
    {u"v2Titlesize", u"v2Title", u"wv2Title"},
    {u"v2Tracksize", u"v2Track", u"wv2Track"},
};

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
        Text* const outputs[12] = {&Composer, &OriginalArtist, &Copyright, &URL, &EncodedBy, &Comment,
                                   &Genre,    &Year,           &Album,     &Artist, &Title,   &Track};
        for (size_t i = 0; i < 12; ++i) {
            *outputs[i] = field_room(send_number(bridge, kV2Fields[i].size_word));
            send_text(bridge, kV2Fields[i].get_word, *outputs[i]);
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
    const Text* const values[12] = {&Composer, &OriginalArtist, &Copyright, &URL, &EncodedBy, &Comment,
                                    &Genre,    &Year,           &Album,     &Artist, &Title,   &Track};
    for (size_t i = 0; i < 12; ++i) send_copy(bridge, kV2Fields[i].stage_word, *values[i]);
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
