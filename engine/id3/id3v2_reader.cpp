#include "id3v2_reader.h"

#include <cstdio>
#include <cstring>

#include "../engine_state.h"
#include "genre_names.h"
#include "id3v2_fields.h"
#include "platform/win32.h"

namespace engine {

namespace {

bool all_digits(std::string_view text) {
    if (text.empty() || text.size() > 3) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The name of a numeric genre reference of at most three digits, or "".
std::string_view numbered_genre(std::string_view digits) {
    if (!all_digits(digits)) return {};
    const int number = std::stoi(std::string(digits));
    return number < kUnknownGenre ? genre_names[number] : std::string_view{};
}

void store_value(int slot, const char* value) {
    std::string_view text(value);
    std::string genre;
    if (slot == kGenre) {
        genre = genre_from_tcon(text);
        text = genre;
    }
    store_field_text(slot, text, 0, static_cast<int32_t>(text.size()));
}

}  // namespace

std::string genre_from_tcon(std::string_view value) {
    if (const std::string_view name = numbered_genre(value); !name.empty()) return std::string(name);
    std::string_view first;  // the first reference's name
    std::string_view rest = value;
    while (rest.size() >= 2 && rest[0] == '(' && rest[1] != '(') {
        const size_t close = rest.find(')');
        if (close == std::string_view::npos) break;
        const std::string_view inside = rest.substr(1, close - 1);
        std::string_view name = inside == "RX" ? "Remix" : inside == "CR" ? "Cover" : numbered_genre(inside);
        if (name.empty() && !all_digits(inside)) break;  // not a reference: plain text
        if (first.empty()) first = name;
        rest.remove_prefix(close + 1);
    }
    if (rest.size() >= 2 && rest[0] == '(' && rest[1] == '(') rest.remove_prefix(1);
    if (!rest.empty()) return std::string(rest);
    return std::string(first.empty() ? value : first);
}

int32_t read_id3v2_tag_bytes(ByteSpan tag) {
    Id3v2Header header;
    switch (parse_id3v2_header(tag, header)) {
        case HeaderCheck::absent: return kReadNoTag;
        case HeaderCheck::invalid: return kReadDamaged;
        case HeaderCheck::ok: break;
    }
    Bytes area;
    if (!id3v2_frame_area(tag, header, area)) return kReadDamaged;
    const bool tag_unsynchronised = header.flags & 0x80;
    FrameWalker walker(area, header.major);
    RawFrame raw;
    while (walker.next(raw)) {
        if (raw.size < 0 || static_cast<uint64_t>(raw.size) > walker.room(raw)) break;
        const ByteSpan content = walker.take(raw);
        const auto frame = to_v23_frame(header.major, tag_unsynchronised, raw, content);
        if (!frame || !frame->readable) continue;
        const std::string_view id(frame->id, 4);
        const int slot = slot_of_frame(id);
        if (slot < 0 || id3v2_fields[slot].text != nullptr) continue;  // the first of duplicates wins
        const auto flat = flatten_to_latin1(id, ByteSpan(frame->content).subspan(frame->payload));
        if (!flat) continue;
        char* value = extract_frame_value(flat->data(), flat->size(), slot_frames[slot].kind);
        if (value == nullptr) continue;
        store_value(slot, value);
        tag_free(value);
    }
    return kReadOk;
}

int32_t read_id3v2_tag(const char* path) {
    release_id3v2_fields();
    FILE* file = win_fopen_file(path, "rb");
    if (file == nullptr) return kReadCannotOpen;
    int32_t result = kReadOk;
    uint8_t head[kId3v2HeaderSize];
    Id3v2Header header;
    const size_t got = std::fread(head, 1, sizeof head, file);
    const int64_t length = _fseeki64(file, 0, SEEK_END) == 0 ? _ftelli64(file) : -1;
    switch (parse_id3v2_header(ByteSpan(head, got), header)) {
        case HeaderCheck::absent: result = kReadNoTag; break;
        case HeaderCheck::invalid: result = kReadDamaged; break;
        case HeaderCheck::ok:
            // The tag is read whole only when the file really holds it.
            if (length < 0 || kId3v2HeaderSize + header.size > static_cast<uint64_t>(length)) result = kReadDamaged;
            break;
    }
    Bytes tag;
    if (result == kReadOk) {
        tag.resize(kId3v2HeaderSize + header.size);
        if (_fseeki64(file, 0, SEEK_SET) != 0 || std::fread(tag.data(), 1, tag.size(), file) != tag.size())
            result = kReadDamaged;
    }
    std::fclose(file);
    return result == kReadOk ? read_id3v2_tag_bytes(tag) : result;
}

}  // namespace engine
