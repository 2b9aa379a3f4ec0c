#include "id3v2_text.h"

#include <algorithm>
#include <string>

#include "platform/text.h"

namespace engine {

namespace {

// How the texts sit in a frame's data after its encoding byte.
struct TextLayout {
    int latin1_strings = 0;  // terminated ISO-8859-1 strings first (APIC, GEOB: the MIME type)
    int raw_bytes = 0;       // then fixed bytes (COMM, USLT, USER: language; APIC: picture type)
    int encoded = 0;         // then this many encoded strings; -1: every string to the end
    bool join_values = false;
};

std::optional<TextLayout> layout_of(std::string_view id) {
    if (id == "TXXX") return TextLayout{0, 0, -1, false};
    if (!id.empty() && id[0] == 'T') return TextLayout{0, 0, -1, true};
    if (id == "COMM" || id == "USLT") return TextLayout{0, 3, -1, false};
    if (id == "USER") return TextLayout{0, 3, 1, false};
    if (id == "WXXX") return TextLayout{0, 0, 1, false};
    if (id == "APIC") return TextLayout{1, 1, 1, false};
    if (id == "GEOB") return TextLayout{1, 0, 2, false};  // file name and description
    return std::nullopt;
}

struct Piece {
    enum Kind { raw, latin1, encoded } kind;
    Bytes bytes;          // raw and latin1 pieces
    std::u16string text;  // encoded pieces
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

// More strings than a frame the writer accepts (64000 bytes) can hold: a
// frame of a huge tag made of terminators would otherwise cost some 80 bytes
// of pieces for each of its bytes.
constexpr size_t kMaxPieces = 65536;

// Splits a frame's data into its pieces; nullopt for an unknown encoding or
// a frame of more than kMaxPieces strings.
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
        if (pieces.size() == kMaxPieces) return std::nullopt;
        auto [bytes, terminated] = take_string(data, pos, width);
        pieces.push_back({Piece::encoded, {}, decode(bytes, encoding), terminated});
    }
    if (pos < data.size()) pieces.push_back({Piece::raw, Bytes(data.begin() + pos, data.end()), {}, false});
    return pieces;
}

bool fits_latin1(const std::vector<Piece>& pieces) {
    for (const Piece& piece : pieces)
        for (char16_t unit : piece.text)
            if (unit > 0xFF) return false;
    return true;
}

// An encoded piece's text in ISO-8859-1 (encoding 0) or UTF-16 with a byte
// order mark (encoding 1), with its terminator.
void append_encoded(Bytes& out, const Piece& piece, uint8_t encoding) {
    if (encoding == 0) {
        const std::string text = platform::utf16_to_latin1(piece.text);
        out.insert(out.end(), text.begin(), text.end());
        if (piece.terminated) out.push_back(0);
        return;
    }
    out.push_back(0xFF);  // byte order mark, little-endian
    out.push_back(0xFE);
    for (char16_t unit : piece.text) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
    if (piece.terminated) out.insert(out.end(), {0, 0});
}

// The pieces written back with `encoding` (0 or 1).
Bytes join_pieces(const std::vector<Piece>& pieces, uint8_t encoding) {
    Bytes out{encoding};
    for (const Piece& piece : pieces) {
        if (piece.kind == Piece::encoded) {
            append_encoded(out, piece, encoding);
            continue;
        }
        out.insert(out.end(), piece.bytes.begin(), piece.bytes.end());
        if (piece.kind == Piece::latin1 && piece.terminated) out.push_back(0);
    }
    return out;
}

}  // namespace

Bytes recode_for_v23(std::string_view id, ByteSpan data) {
    const auto layout = layout_of(id);
    if (!layout || data.empty() || (data[0] != 2 && data[0] != 3)) return Bytes(data.begin(), data.end());
    const auto pieces = split_texts(*layout, data);
    if (!pieces) return Bytes(data.begin(), data.end());
    return join_pieces(*pieces, fits_latin1(*pieces) ? 0 : 1);
}

std::optional<Latin1Data> flatten_to_latin1(std::string_view id, ByteSpan data) {
    const auto layout = layout_of(id);
    if (!layout) return Latin1Data{Bytes(data.begin(), data.end()), false};
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
    const bool lossy = !fits_latin1(*pieces);
    return Latin1Data{join_pieces(*pieces, 0), lossy};
}

std::optional<bool> has_empty_description(std::string_view id, ByteSpan data) {
    auto layout = layout_of(id);
    if (!layout) return std::nullopt;
    layout->encoded = 1;  // the description is all it needs
    const auto pieces = split_texts(*layout, data);
    if (!pieces) return std::nullopt;
    for (const Piece& piece : *pieces)  // the first encoded string is the description
        if (piece.kind == Piece::encoded) return piece.text.empty();
    return true;  // the data ends before a description
}

}  // namespace engine
