#include "id3v2_tag.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace engine {

namespace {

using namespace frame_flags;

bool is_synchsafe(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] & 0x80) return false;
    return true;
}

uint32_t get_synchsafe32(const uint8_t* b) {
    return (uint32_t{b[0]} << 21) | (uint32_t{b[1]} << 14) | (uint32_t{b[2]} << 7) | b[3];
}

bool is_frame_id(const uint8_t* bytes, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (!((bytes[i] >= 'A' && bytes[i] <= 'Z') || (bytes[i] >= '0' && bytes[i] <= '9'))) return false;
    return true;
}

// Where the zero bytes that end `bytes` begin (padding is long: compared in blocks).
size_t zero_tail_of(ByteSpan bytes) {
    static constexpr uint8_t kZeros[256] = {};
    size_t tail = bytes.size();
    while (tail >= sizeof kZeros && std::memcmp(bytes.data() + tail - sizeof kZeros, kZeros, sizeof kZeros) == 0)
        tail -= sizeof kZeros;
    while (tail > 0 && bytes[tail - 1] == 0) --tail;
    return tail;
}

// ID3v2.2 identifiers and their ID3v2.3 equivalents. All but PIC and LNK
// (converted on their own) keep their layout. CRM (encrypted meta frame) and
// identifiers not listed have no equivalent.
struct IdPair {
    const char* v22;
    const char* v23;
};
constexpr IdPair kV22Ids[] = {
    {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TP3", "TPE3"},
    {"TP4", "TPE4"}, {"TCM", "TCOM"}, {"TXT", "TEXT"}, {"TLA", "TLAN"}, {"TCO", "TCON"}, {"TAL", "TALB"},
    {"TPA", "TPOS"}, {"TRK", "TRCK"}, {"TRC", "TSRC"}, {"TYE", "TYER"}, {"TDA", "TDAT"}, {"TIM", "TIME"},
    {"TRD", "TRDA"}, {"TMT", "TMED"}, {"TFT", "TFLT"}, {"TBP", "TBPM"}, {"TCR", "TCOP"}, {"TPB", "TPUB"},
    {"TEN", "TENC"}, {"TSS", "TSSE"}, {"TOF", "TOFN"}, {"TLE", "TLEN"}, {"TSI", "TSIZ"}, {"TDY", "TDLY"},
    {"TKE", "TKEY"}, {"TOT", "TOAL"}, {"TOA", "TOPE"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TXX", "TXXX"},
    {"WAF", "WOAF"}, {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"},
    {"WXX", "WXXX"}, {"COM", "COMM"}, {"ULT", "USLT"}, {"UFI", "UFID"}, {"CNT", "PCNT"}, {"POP", "POPM"},
    {"BUF", "RBUF"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"}, {"GEO", "GEOB"}, {"IPL", "IPLS"},
    {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"REV", "RVRB"}, {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"},
    {"PIC", "APIC"}, {"LNK", "LINK"},
    // Written by widespread players though not in the 2.2 standard: compilation,
    // sort orders, grouping, movement.
    {"TCP", "TCMP"}, {"TST", "TSOT"}, {"TSA", "TSOA"}, {"TSP", "TSOP"}, {"TS2", "TSO2"}, {"TSC", "TSOC"},
    {"GP1", "GRP1"}, {"MVN", "MVNM"}, {"MVI", "MVIN"},
};

std::string_view v22_equivalent(std::string_view id) {
    for (const IdPair& pair : kV22Ids)
        if (id == pair.v22) return pair.v23;
    return {};
}

// ID3v2.2 PIC (3-letter image format) as ID3v2.3 APIC (MIME type).
std::optional<Bytes> picture_from_v22(ByteSpan data) {
    if (data.size() < 5) return std::nullopt;
    std::string format(reinterpret_cast<const char*>(data.data() + 1), 3);
    for (char& c : format) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string mime = format == "jpg" ? "image/jpeg" : "image/" + format;
    Bytes out{data[0]};                                   // 0 encoding
    out.insert(out.end(), mime.begin(), mime.end());      // 1 MIME type
    out.push_back(0);
    out.insert(out.end(), data.begin() + 4, data.end());  // picture type, description, picture
    return out;
}

// ID3v2.2 LNK as ID3v2.3 LINK: the linked frame's identifier in 2.3 form.
std::optional<Bytes> link_from_v22(ByteSpan data) {
    if (data.size() < 3) return std::nullopt;
    const std::string_view linked = v22_equivalent(std::string_view(reinterpret_cast<const char*>(data.data()), 3));
    if (linked.empty()) return std::nullopt;
    Bytes out(linked.begin(), linked.end());              // 0 frame identifier
    out.insert(out.end(), data.begin() + 3, data.end());  // 4 URL, ID and additional data
    return out;
}

std::optional<Frame23> from_v22(const RawFrame& raw) {
    const std::string_view id = v22_equivalent(raw.id);
    if (id.empty()) return std::nullopt;
    std::optional<Bytes> data;
    if (raw.id == "PIC") data = picture_from_v22(raw.content);
    else if (raw.id == "LNK") data = link_from_v22(raw.content);
    else data = Bytes(raw.content.begin(), raw.content.end());
    if (!data) return std::nullopt;
    Frame23 frame;
    std::memcpy(frame.id, id.data(), 4);
    frame.content = std::move(*data);
    return frame;
}

std::optional<Frame23> from_v23(const RawFrame& raw) {
    Frame23 frame;
    std::memcpy(frame.id, v23_id_of(3, raw.id).data(), 4);
    frame.flags[0] = raw.flags[0];
    frame.flags[1] = raw.flags[1];
    frame.content.assign(raw.content.begin(), raw.content.end());
    frame.discard_on_change = raw.flags[0] & kV23DiscardOnTagAlter;
    // Compressed or encrypted data is carried, never read; a group byte comes before the data.
    frame.readable = !(raw.flags[1] & (kV23Compression | kV23Encryption));
    frame.payload = (raw.flags[1] & kV23Grouping) ? 1 : 0;
    if (frame.payload > frame.content.size()) frame.readable = false;
    return frame;
}

// The extras after an ID3v2.4 frame header, in this order: group, encryption
// method, data length indicator.
struct Extras24 {
    std::optional<uint8_t> group;
    std::optional<uint8_t> method;
    std::optional<uint32_t> length;
    size_t size = 0;
};

std::optional<Extras24> extras_of(const RawFrame& raw) {
    const uint8_t format = raw.flags[1];
    const ByteSpan x = raw.content;
    Extras24 extras;
    extras.size = ((format & kV24Grouping) ? 1 : 0) + ((format & kV24Encryption) ? 1 : 0) +
                  ((format & kV24DataLength) ? 4 : 0);
    if (x.size() < extras.size) return std::nullopt;
    size_t at = 0;
    if (format & kV24Grouping) extras.group = x[at++];
    if (format & kV24Encryption) extras.method = x[at++];
    if ((format & kV24DataLength) && is_synchsafe(x.data() + at, 4)) extras.length = get_synchsafe32(x.data() + at);
    return extras;
}

// The extras of 2.3 in their order, with their format flags: decompressed
// size, encryption method, group.
void put_v23_extras(Frame23& frame, const Extras24& extras, bool compressed) {
    if (compressed) {
        frame.flags[1] |= kV23Compression;
        put_u32_be(frame.content, *extras.length);
    }
    if (extras.method) {
        frame.flags[1] |= kV23Encryption;
        frame.content.push_back(*extras.method);
    }
    if (extras.group) {
        frame.flags[1] |= kV23Grouping;
        frame.content.push_back(*extras.group);
    }
    frame.payload = frame.content.size();
}

std::optional<Frame23> from_v24(const RawFrame& raw, bool tag_unsynchronised, int depth);

// Moves `pos` past a zero-terminated string; false when it has no terminator.
bool skip_string(ByteSpan data, size_t& pos) {
    const auto end = std::find(data.begin() + static_cast<std::ptrdiff_t>(pos), data.end(), 0);
    if (end == data.end()) return false;
    pos = static_cast<size_t>(end - data.begin()) + 1;
    return true;
}

// Where the frames embedded in a CHAP or CTOC frame's data start.
std::optional<size_t> embedded_frames_offset(std::string_view id, ByteSpan data) {
    size_t pos = 0;
    if (!skip_string(data, pos)) return std::nullopt;  // element ID
    if (id == "CHAP") {
        pos += 16;  // start and end time, start and end offset
    } else {
        if (data.size() - pos < 2) return std::nullopt;
        const int children = data[pos + 1];  // flags, entry count
        pos += 2;
        for (int i = 0; i < children; ++i)
            if (!skip_string(data, pos)) return std::nullopt;  // child element IDs
    }
    if (pos > data.size()) return std::nullopt;
    return pos;
}

// Chapters hold frames; chapters nested deeper than this are refused.
constexpr int kMaxChapterDepth = 4;

// The data of a 2.4 CHAP or CTOC frame with its embedded frames in 2.3 form.
std::optional<Bytes> chapter_to_v23(std::string_view id, const Bytes& data, int depth) {
    if (depth >= kMaxChapterDepth) return std::nullopt;
    const auto start = embedded_frames_offset(id, data);
    if (!start) return std::nullopt;
    Bytes out(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(*start));
    FrameWalker walker(ByteSpan(data).subspan(*start), 4);
    RawFrame raw;
    while (walker.next(raw)) {
        const auto frame = from_v24(raw, false, depth + 1);
        if (!frame) return std::nullopt;
        append_v23_frame(out, *frame);
    }
    if (!walker.whole()) return std::nullopt;
    return out;
}

std::optional<Frame23> from_v24(const RawFrame& raw, bool tag_unsynchronised, int depth) {
    const auto extras = extras_of(raw);
    if (!extras) return std::nullopt;
    const bool compressed = raw.flags[1] & kV24Compression;
    if (compressed && !extras->length) return std::nullopt;  // 2.3 needs the decompressed size
    const ByteSpan data = raw.content.subspan(extras->size);
    const bool unsynchronised = (raw.flags[1] & kV24Unsynchronisation) || tag_unsynchronised;
    const Bytes plain = unsynchronised ? undo_unsynchronisation(data) : Bytes(data.begin(), data.end());
    Frame23 frame;
    std::memcpy(frame.id, v23_id_of(4, raw.id).data(), 4);
    frame.flags[0] = static_cast<uint8_t>((raw.flags[0] << 1) & kV23StatusMask);  // the same bits, one place up
    frame.discard_on_change = raw.flags[0] & kV24DiscardOnTagAlter;
    put_v23_extras(frame, *extras, compressed);
    frame.readable = !compressed && !extras->method;
    if (!frame.readable) {  // carried as it is, never expanded
        frame.content.insert(frame.content.end(), plain.begin(), plain.end());
        return frame;
    }
    const bool chapter = frame.name() == "CHAP" || frame.name() == "CTOC";
    const auto converted = chapter ? chapter_to_v23(frame.name(), plain, depth) : recode_for_v23(frame.name(), plain);
    if (!converted) return std::nullopt;
    frame.content.insert(frame.content.end(), converted->begin(), converted->end());
    return frame;
}

}  // namespace

uint32_t get_u32_be(const uint8_t* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

void put_u32_be(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void put_synchsafe32(Bytes& out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<uint8_t>((value >> shift) & 0x7F));
}

Bytes undo_unsynchronisation(ByteSpan bytes) {
    Bytes out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0x00) ++i;
    }
    return out;
}

HeaderCheck parse_id3v2_header(ByteSpan head, Id3v2Header& header) {
    if (head.size() < kId3v2HeaderSize || std::memcmp(head.data(), "ID3", 3) != 0) return HeaderCheck::absent;
    const uint8_t* h = head.data();
    // 0 "ID3", 3 major version, 4 revision, 5 flags, 6 synchsafe size
    if (h[3] < 2 || h[3] > 4 || h[4] == 0xFF || !is_synchsafe(h + 6, 4)) return HeaderCheck::invalid;
    header.major = h[3];
    header.flags = h[5];
    header.size = get_synchsafe32(h + 6);
    const bool footer = header.major == 4 && (header.flags & tag_flags::kFooter);
    header.total = static_cast<uint32_t>(kId3v2HeaderSize) + header.size + (footer ? 10u : 0u);
    return HeaderCheck::ok;
}

uint32_t id3v2_tag_length_of(ByteSpan head) {
    Id3v2Header header;
    return parse_id3v2_header(head, header) == HeaderCheck::ok ? header.total : 0;
}

std::optional<ByteSpan> id3v2_frame_area(ByteSpan tag, const Id3v2Header& header, Bytes& scratch) {
    if (tag.size() < kId3v2HeaderSize + header.size) return std::nullopt;
    // The bit stands for compression in 2.2, a scheme that was never defined.
    if (header.major == 2 && (header.flags & tag_flags::kExtendedHeader)) return std::nullopt;
    ByteSpan area = tag.subspan(kId3v2HeaderSize, header.size);
    if (header.major < 4 && (header.flags & tag_flags::kUnsynchronisation)) {
        scratch = undo_unsynchronisation(area);
        area = scratch;
    }
    if (header.major == 2 || !(header.flags & tag_flags::kExtendedHeader)) return area;
    // Extended header: 2.3 counts its size without the size field, 2.4 with it.
    if (area.size() < 4) return std::nullopt;
    uint64_t skip = 0;
    if (header.major == 3) {
        skip = 4 + uint64_t{get_u32_be(area.data())};
    } else {
        if (!is_synchsafe(area.data(), 4)) return std::nullopt;
        skip = get_synchsafe32(area.data());
        if (skip < 6) return std::nullopt;
    }
    if (skip > area.size()) return std::nullopt;
    return area.subspan(static_cast<size_t>(skip));
}

FrameWalker::FrameWalker(ByteSpan area, int major)
    : area_(area), major_(major), header_size_(major == 2 ? 6 : 10) {}

bool FrameWalker::is_boundary(size_t position) const {
    if (position > area_.size()) return false;
    if (!zero_tail_) zero_tail_ = zero_tail_of(area_);  // found once, when a size first needs it
    if (position >= *zero_tail_) return true;  // the end, or padding to the end
    return area_.size() - position >= header_size_ && is_frame_id(area_.data() + position, header_size_ == 6 ? 3 : 4);
}

std::optional<uint32_t> FrameWalker::content_size(const uint8_t* h, size_t content_offset) const {
    if (major_ == 2) return (uint32_t{h[3]} << 16) | (uint32_t{h[4]} << 8) | h[5];  // 3 size, 24 bits
    const uint32_t plain = get_u32_be(h + 4);                                       // 4 size
    if (major_ == 3) return plain <= 0x7FFFFFFF ? std::optional<uint32_t>(plain) : std::nullopt;
    if (!is_synchsafe(h + 4, 4)) {
        if (is_boundary(content_offset + plain)) return plain;
        return std::nullopt;
    }
    const uint32_t synchsafe = get_synchsafe32(h + 4);
    if (synchsafe != plain && !is_boundary(content_offset + synchsafe) && is_boundary(content_offset + plain))
        return plain;
    return synchsafe;
}

bool FrameWalker::next(RawFrame& frame) {
    const size_t left = area_.size() - position_;
    whole_ = left == 0 || area_[position_] == 0;  // the end, or padding
    if (whole_) return false;
    const uint8_t* h = area_.data() + position_;
    const size_t id_length = major_ == 2 ? 3 : 4;
    if (left < header_size_ || !is_frame_id(h, id_length)) return false;
    const size_t offset = position_ + header_size_;
    const auto size = content_size(h, offset);
    if (!size || *size > area_.size() - offset) return false;
    frame.id = std::string_view(reinterpret_cast<const char*>(h), id_length);  // 0 identifier
    frame.size = *size;
    frame.flags[0] = major_ == 2 ? 0 : h[8];  // 8 status flags
    frame.flags[1] = major_ == 2 ? 0 : h[9];  // 9 format flags
    frame.content = area_.subspan(offset, *size);
    position_ = offset + *size;
    return true;
}

std::string_view v23_id_of(int major, std::string_view id) {
    if (major == 2) return v22_equivalent(id);
    // Version 2.4's recording time stands for the year; 2.3 tags hold it too.
    return id == "TDRC" ? std::string_view("TYER") : id;
}

std::optional<Frame23> to_v23_frame(int major, bool tag_unsynchronised, const RawFrame& raw) {
    switch (major) {
        case 2: return from_v22(raw);
        case 3: return from_v23(raw);
        default: return from_v24(raw, tag_unsynchronised, 0);
    }
}

void append_v23_frame(Bytes& out, const Frame23& frame) {
    out.insert(out.end(), frame.id, frame.id + 4);                       // 0 identifier
    put_u32_be(out, static_cast<uint32_t>(frame.content.size()));        // 4 size
    out.push_back(frame.flags[0]);                                       // 8 status flags
    out.push_back(frame.flags[1]);                                       // 9 format flags
    out.insert(out.end(), frame.content.begin(), frame.content.end());  // 10 extras and data
}

}  // namespace engine
