#include "id3v2_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

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

struct GenreReference {
    std::string_view name;  // empty for a number outside the list
    size_t length;          // with its parentheses
};

// The reference "(17)", "(RX)" or "(CR)" that `text` begins with; nullopt
// for anything else ("((" begins a text).
std::optional<GenreReference> leading_reference(std::string_view text) {
    if (text.size() < 2 || text[0] != '(' || text[1] == '(') return std::nullopt;
    const size_t close = text.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view inside = text.substr(1, close - 1);
    const std::string_view name = inside == "RX" ? "Remix" : inside == "CR" ? "Cover" : numbered_genre(inside);
    if (name.empty() && !all_digits(inside)) return std::nullopt;  // not a reference: plain text
    return GenreReference{name, close + 1};
}

}  // namespace

std::string genre_from_tcon(std::string_view value) {
    if (const std::string_view name = numbered_genre(value); !name.empty()) return std::string(name);
    std::string_view first;  // the first reference's name
    std::string_view rest = value;
    while (const auto reference = leading_reference(rest)) {
        if (first.empty()) first = reference->name;
        rest.remove_prefix(reference->length);
    }
    if (rest.size() >= 2 && rest[0] == '(' && rest[1] == '(') rest.remove_prefix(1);
    if (!rest.empty()) return std::string(rest);
    return std::string(first.empty() ? value : first);
}

int field_slot_of(const Frame23& frame) {
    const int slot = slot_of_frame(frame.name());
    if (slot != kComment && slot != kUrl) return slot;
    if (!frame.readable) return -1;
    const auto empty = has_empty_description(frame.name(), ByteSpan(frame.content).subspan(frame.payload));
    return empty && *empty ? slot : -1;
}

FieldReading read_field_value(int slot, const Frame23& frame) {
    if (!frame.readable) return {{}, true};
    const auto flat = flatten_to_latin1(frame.name(), ByteSpan(frame.content).subspan(frame.payload));
    if (!flat) return {{}, true};
    char* value = extract_frame_value(flat->bytes.data(), flat->bytes.size(), zubmp3::kId3v2Fields[slot].kind);
    if (value == nullptr) throw std::bad_alloc();
    FieldReading reading{value, flat->lossy};
    tag_free(value);
    if (slot == kGenre) reading.text = genre_from_tcon(reading.text);
    return reading;
}

int32_t read_id3v2_tag_bytes(ByteSpan tag) {
    Id3v2Header header;
    switch (parse_id3v2_header(tag, header)) {
        case HeaderCheck::absent: return kReadNoTag;
        case HeaderCheck::invalid: return kReadDamaged;
        case HeaderCheck::ok: break;
    }
    Bytes scratch;
    const auto area = id3v2_frame_area(tag, header, scratch);
    if (!area) return kReadDamaged;
    bool seen[kId3v2SlotCount] = {};
    FrameWalker walker(*area, header.major);
    RawFrame raw;
    // A damaged frame ends the walk; what was read before it stays.
    while (walker.next(raw)) {
        // Only the frames of the twelve fields are converted, so that a large
        // picture is never copied.
        if (slot_of_frame(v23_id_of(header.major, raw.id)) < 0) continue;
        const auto frame = to_v23_frame(header.major, header.flags & tag_flags::kUnsynchronisation, raw);
        if (!frame) continue;
        const int slot = field_slot_of(*frame);
        if (slot < 0 || seen[slot]) continue;  // the first of duplicates is the field
        seen[slot] = true;
        const FieldReading reading = read_field_value(slot, *frame);
        store_field_text(slot, reading.text, 0);
    }
    return kReadOk;
}

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// The whole tag at the start of the file, or a result other than kReadOk.
int32_t load_tag(const char* path, Bytes& tag) {
    const std::unique_ptr<FILE, FileCloser> file(win_fopen_file(path, "rb"));
    if (file == nullptr) return kReadCannotOpen;
    uint8_t head[kId3v2HeaderSize];
    Id3v2Header header;
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    switch (parse_id3v2_header(ByteSpan(head, got), header)) {
        case HeaderCheck::absent: return kReadNoTag;
        case HeaderCheck::invalid: return kReadDamaged;
        case HeaderCheck::ok: break;
    }
    // The tag is read whole only when the file really holds it.
    const int64_t length = _fseeki64(file.get(), 0, SEEK_END) == 0 ? _ftelli64(file.get()) : -1;
    if (length < 0 || kId3v2HeaderSize + header.size > static_cast<uint64_t>(length)) return kReadDamaged;
    tag.resize(kId3v2HeaderSize + header.size);
    if (_fseeki64(file.get(), 0, SEEK_SET) != 0 || std::fread(tag.data(), 1, tag.size(), file.get()) != tag.size())
        return kReadDamaged;
    return kReadOk;
}

int32_t read_tag_file(const char* path) {
    Bytes tag;
    const int32_t result = load_tag(path, tag);
    return result == kReadOk ? read_id3v2_tag_bytes(tag) : result;
}

}  // namespace

int32_t read_id3v2_tag(const char* path) {
    release_id3v2_fields();
    try {
        return read_tag_file(path);
    } catch (const std::exception&) {  // no memory for the tag: it cannot be read
        release_id3v2_fields();
        return kReadDamaged;
    }
}

}  // namespace engine
