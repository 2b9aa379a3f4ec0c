#include "id3v2_tag.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/text.h"
#include "platform/win32.h"

namespace engine {

namespace {

bool is_synchsafe(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (bytes[i] & 0x80) return false;
    return true;
}

uint32_t get_synchsafe32(const uint8_t* b) {
    return (uint32_t{b[0]} << 21) | (uint32_t{b[1]} << 14) | (uint32_t{b[2]} << 7) | b[3];
}

bool is_frame_id_char(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// ID3v2.2 identifiers with an ID3v2.3 equivalent of the same layout (PIC is
// converted separately).
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
};

// ---- Encoded texts ----

// How the texts sit in a frame's data after its encoding byte.
struct TextLayout {
    int latin1_strings = 0;  // terminated ISO-8859-1 strings first (APIC: the MIME type)
    int raw_bytes = 0;       // then fixed bytes (COMM, USLT: language; APIC: picture type)
    int encoded = 0;         // then this many encoded strings; -1: every string to the end
    bool join_values = false;
};

std::optional<TextLayout> layout_of(std::string_view id) {
    if (id == "TXXX") return TextLayout{0, 0, -1, false};
    if (!id.empty() && id[0] == 'T') return TextLayout{0, 0, -1, true};
    if (id == "COMM" || id == "USLT") return TextLayout{0, 3, -1, false};
    if (id == "WXXX") return TextLayout{0, 0, 1, false};
    if (id == "APIC") return TextLayout{1, 1, 1, false};
    return std::nullopt;
}

struct Piece {
    enum Kind { raw, latin1, encoded } kind;
    Bytes bytes;           // raw and latin1 pieces
    std::u16string text;   // encoded pieces
    bool terminated = false;
};

// One string of `width`-byte units starting at `pos`; moves `pos` past it and
// its terminator.
std::pair<ByteSpan, bool> take_string(ByteSpan data, size_t& pos, size_t width) {
    const size_t start = pos;
    for (size_t i = start; i + width <= data.size(); i += width) {
        if (data[i] == 0 && (width == 1 || data[i + 1] == 0)) {
            pos = i + width;
            return {data.subspan(start, i - start), true};
        }
    }
    pos = data.size();
    size_t length = data.size() - start;
    length -= length % width;
    return {data.subspan(start, length), false};
}

std::u16string decode(ByteSpan bytes, uint8_t encoding) {
    std::u16string out;
    switch (encoding) {
        case 0:
            for (uint8_t b : bytes) out.push_back(b);
            return out;
        case 3:
            return platform::utf8_to_utf16(
                std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        default: {
            bool big_endian = encoding == 2;
            size_t i = 0;
            if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) big_endian = false, i = 2;
            else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) big_endian = true, i = 2;
            for (; i + 1 < bytes.size(); i += 2)
                out.push_back(big_endian ? static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1])
                                         : static_cast<char16_t>((bytes[i + 1] << 8) | bytes[i]));
            return out;
        }
    }
}

// Splits a frame's data into its pieces; nullopt for an unknown encoding.
std::optional<std::vector<Piece>> split_texts(const TextLayout& layout, ByteSpan data) {
    std::vector<Piece> pieces;
    if (data.empty()) return pieces;
    const uint8_t encoding = data[0];
    if (encoding > 3) return std::nullopt;
    const size_t width = encoding == 1 || encoding == 2 ? 2 : 1;
    size_t pos = 1;
    for (int i = 0; i < layout.latin1_strings && pos < data.size(); ++i) {
        auto [bytes, terminated] = take_string(data, pos, 1);
        pieces.push_back({Piece::latin1, Bytes(bytes.begin(), bytes.end()), {}, terminated});
    }
    if (pos < data.size() && layout.raw_bytes > 0) {
        const size_t count = std::min(data.size() - pos, static_cast<size_t>(layout.raw_bytes));
        pieces.push_back({Piece::raw, Bytes(data.begin() + pos, data.begin() + pos + count), {}, false});
        pos += count;
    }
    for (int i = 0; (layout.encoded < 0 || i < layout.encoded) && pos < data.size(); ++i) {
        auto [bytes, terminated] = take_string(data, pos, width);
        pieces.push_back({Piece::encoded, {}, decode(bytes, encoding), terminated});
    }
    if (pos < data.size()) pieces.push_back({Piece::raw, Bytes(data.begin() + pos, data.end()), {}, false});
    return pieces;
}

void append(Bytes& out, std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }

// The pieces written back with `encoding` (0 or 1).
Bytes join_pieces(const std::vector<Piece>& pieces, uint8_t encoding) {
    Bytes out{encoding};
    for (const Piece& piece : pieces) {
        if (piece.kind != Piece::encoded) {
            out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
            if (piece.kind == Piece::latin1 && piece.terminated) out.push_back(0);
            continue;
        }
        if (encoding == 0) {
            append(out, platform::utf16_to_latin1(piece.text));
            if (piece.terminated) out.push_back(0);
        } else {
            out.push_back(0xFF);  // byte order mark, little-endian
            out.push_back(0xFE);
            for (char16_t unit : piece.text) {
                out.push_back(static_cast<uint8_t>(unit));
                out.push_back(static_cast<uint8_t>(unit >> 8));
            }
            if (piece.terminated) out.insert(out.end(), {0, 0});
        }
    }
    return out;
}

// ID3v2.4 texts in encodings 2 and 3, which ID3v2.3 lacks, recoded.
Bytes recode_for_v23(std::string_view id, ByteSpan data) {
    const auto layout = layout_of(id);
    if (!layout || data.empty() || (data[0] != 2 && data[0] != 3)) return Bytes(data.begin(), data.end());
    const auto pieces = split_texts(*layout, data);
    if (!pieces) return Bytes(data.begin(), data.end());
    bool fits_latin1 = true;
    for (const Piece& piece : *pieces)
        for (char16_t unit : piece.text) fits_latin1 = fits_latin1 && unit <= 0xFF;
    return join_pieces(*pieces, fits_latin1 ? 0 : 1);
}

// ID3v2.2 PIC (3-letter image format) as ID3v2.3 APIC (MIME type).
std::optional<Bytes> picture_from_v22(ByteSpan data) {
    if (data.size() < 5) return std::nullopt;
    std::string format(reinterpret_cast<const char*>(data.data() + 1), 3);
    for (char& c : format) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    const std::string mime = format == "jpg" ? "image/jpeg" : "image/" + format;
    Bytes out{data[0]};     // 0 encoding
    append(out, mime);      // 1 MIME type
    out.push_back(0);
    out.insert(out.end(), data.begin() + 4, data.end());  // picture type, description, picture
    return out;
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
    const bool footer = header.major == 4 && (header.flags & 0x10);
    header.total = static_cast<uint32_t>(kId3v2HeaderSize) + header.size + (footer ? 10u : 0u);
    return HeaderCheck::ok;
}

uint32_t id3v2_tag_length_of(ByteSpan head) {
    Id3v2Header header;
    return parse_id3v2_header(head, header) == HeaderCheck::ok ? header.total : 0;
}

int32_t id3v2_tag_length(const char* path) {
    FILE* file = win_fopen(path, "rb");
    if (file == nullptr) return 0;
    uint8_t head[kId3v2HeaderSize];
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return static_cast<int32_t>(id3v2_tag_length_of(ByteSpan(head, got)));
}

bool id3v2_frame_area(ByteSpan tag, const Id3v2Header& header, Bytes& area) {
    if (tag.size() < kId3v2HeaderSize + header.size) return false;
    const ByteSpan body = tag.subspan(kId3v2HeaderSize, header.size);
    if (header.major == 2 && (header.flags & 0x40)) return false;  // compressed: no known scheme
    area = header.major < 4 && (header.flags & 0x80) ? undo_unsynchronisation(body) : Bytes(body.begin(), body.end());
    if (header.major == 2 || !(header.flags & 0x40)) return true;
    // Extended header: 2.3 counts its size without the size field, 2.4 with it.
    if (area.size() < 4) return false;
    uint64_t skip = 0;
    if (header.major == 3) {
        skip = 4 + uint64_t{get_u32_be(area.data())};
    } else {
        if (!is_synchsafe(area.data(), 4)) return false;
        skip = get_synchsafe32(area.data());
        if (skip < 6) return false;
    }
    if (skip > area.size()) return false;
    area.erase(area.begin(), area.begin() + static_cast<std::ptrdiff_t>(skip));
    return true;
}

bool FrameWalker::next(RawFrame& frame) {
    const size_t header_size = major_ == 2 ? 6 : 10;
    const size_t id_length = major_ == 2 ? 3 : 4;
    if (area_.size() - position_ < header_size || area_[position_] == 0) return false;
    const uint8_t* h = area_.data() + position_;
    for (size_t i = 0; i < id_length; ++i)
        if (!is_frame_id_char(h[i])) return false;
    frame.id = std::string_view(reinterpret_cast<const char*>(h), id_length);
    if (major_ == 2) {
        frame.size = (int64_t{h[3]} << 16) | (int64_t{h[4]} << 8) | h[5];  // 3 size
        frame.flags[0] = frame.flags[1] = 0;
    } else {
        if (major_ == 4) {
            if (!is_synchsafe(h + 4, 4)) return false;
            frame.size = get_synchsafe32(h + 4);                    // 4 synchsafe size
        } else {
            frame.size = static_cast<int32_t>(get_u32_be(h + 4));   // 4 size, signed
        }
        frame.flags[0] = h[8];                                      // 8 status flags
        frame.flags[1] = h[9];                                      // 9 format flags
    }
    frame.offset = position_ + header_size;
    return true;
}

ByteSpan FrameWalker::take(const RawFrame& frame) {
    const size_t size = static_cast<size_t>(frame.size);
    position_ = frame.offset + size;
    return area_.subspan(frame.offset, size);
}

std::optional<Frame23> to_v23_frame(int major, bool tag_unsynchronised, const RawFrame& raw, ByteSpan content) {
    Frame23 frame;
    // Version 2.4's recording time stands for the year; 2.3 tags hold it too.
    const std::string_view id = raw.id == "TDRC" ? std::string_view("TYER") : raw.id;
    if (major == 3) {
        std::memcpy(frame.id, id.data(), 4);
        frame.flags[0] = raw.flags[0];
        frame.flags[1] = raw.flags[1];
        frame.content.assign(content.begin(), content.end());
        frame.discard_on_change = raw.flags[0] & 0x80;
        frame.readable = !(raw.flags[1] & 0xC0);  // compression, encryption
        frame.payload = (raw.flags[1] & 0x20) ? 1 : 0;  // group byte
        if (frame.payload > frame.content.size()) return std::nullopt;
        return frame;
    }
    if (major == 2) {
        std::optional<Bytes> data;
        if (raw.id == "PIC") {
            std::memcpy(frame.id, "APIC", 4);
            data = picture_from_v22(content);
        } else {
            for (const IdPair& pair : kV22Ids)
                if (raw.id == pair.v22) {
                    std::memcpy(frame.id, pair.v23, 4);
                    data = Bytes(content.begin(), content.end());
                }
        }
        if (!data) return std::nullopt;
        frame.content = std::move(*data);
        return frame;
    }
    // ID3v2.4: extras after the header are a group byte, an encryption method
    // and a data length indicator, in that order.
    const uint8_t format = raw.flags[1];
    if (format & 0x0C) return std::nullopt;  // compressed or encrypted
    const size_t group = (format & 0x40) ? 1 : 0;
    const size_t extras = group + ((format & 0x01) ? 4 : 0);
    if (content.size() < extras) return std::nullopt;
    ByteSpan data = content.subspan(extras);
    Bytes plain = (format & 0x02) || tag_unsynchronised ? undo_unsynchronisation(data) : Bytes(data.begin(), data.end());
    std::memcpy(frame.id, id.data(), 4);
    frame.flags[0] = static_cast<uint8_t>((raw.flags[0] << 1) & 0xE0);  // tag alter, file alter, read only
    frame.flags[1] = group ? 0x20 : 0x00;                                // grouping
    frame.discard_on_change = raw.flags[0] & 0x40;
    if (group) frame.content.push_back(content[0]);
    frame.payload = group;
    const Bytes recoded = recode_for_v23(std::string_view(frame.id, 4), plain);
    frame.content.insert(frame.content.end(), recoded.begin(), recoded.end());
    return frame;
}

std::optional<Bytes> flatten_to_latin1(std::string_view id, ByteSpan data) {
    const auto layout = layout_of(id);
    if (!layout) return Bytes(data.begin(), data.end());
    auto pieces = split_texts(*layout, data);
    if (!pieces) return std::nullopt;
    if (layout->join_values) {
        // Values separated by terminators (ID3v2.4) become one text with '/'.
        while (!pieces->empty() && pieces->back().text.empty()) pieces->pop_back();
        std::u16string joined;
        for (const Piece& piece : *pieces) {
            if (!joined.empty() || &piece != &pieces->front()) joined += u'/';
            joined += piece.text;
        }
        pieces->assign(1, Piece{Piece::encoded, {}, joined, false});
    }
    return join_pieces(*pieces, 0);
}

}  // namespace engine
