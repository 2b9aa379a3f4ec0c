// ID3v2 tag structure shared by the reader and the writer: the header, the
// frame area, the frame walk, and frames brought into ID3v2.3 form. Versions
// 2.2, 2.3 and 2.4 are understood. Every size read from the bytes is checked
// against the bytes there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace engine {

using ByteSpan = std::span<const uint8_t>;
using Bytes = std::vector<uint8_t>;

constexpr size_t kId3v2HeaderSize = 10;

struct Id3v2Header {
    int major = 0;       // 2, 3 or 4
    uint8_t flags = 0;   // 0x80 unsynchronisation, 0x40 extended header (2.2: compression), 0x10 footer (2.4)
    uint32_t size = 0;   // bytes after the header, footer not included
    uint32_t total = 0;  // the whole tag: header, size, footer
};

enum class HeaderCheck { ok, absent, invalid };

// Looks at the first 10 bytes: absent without "ID3"; invalid for a version
// other than 2.2 to 2.4, a revision of 0xFF or a size byte with bit 7 set.
HeaderCheck parse_id3v2_header(ByteSpan head, Id3v2Header& header);

// Length of the tag that `head` begins with, header (and footer) included;
// 0 when it does not begin with a valid ID3v2 header.
uint32_t id3v2_tag_length_of(ByteSpan head);
// The same for the file at `path`; 0 also when it cannot be read.
int32_t id3v2_tag_length(const char* path);

// The frames of a whole tag (`tag` starts with the header): unsynchronisation
// of the whole tag undone (2.2, 2.3), extended header skipped. False when the
// tag cannot be taken apart (a bad extended header, 2.2 compression).
bool id3v2_frame_area(ByteSpan tag, const Id3v2Header& header, Bytes& area);

// One frame header in the area, as declared.
struct RawFrame {
    std::string_view id;  // 3 letters (2.2) or 4
    int64_t size = 0;     // declared content size; negative when a 2.3 size has bit 31 set
    uint8_t flags[2] = {0, 0};
    size_t offset = 0;    // where the content starts in the area
};

class FrameWalker {
public:
    FrameWalker(ByteSpan area, int major) : area_(area), major_(major) {}
    // The next frame header; false at padding, at the end of the area, or at
    // bytes that are no frame header.
    bool next(RawFrame& frame);
    // Content bytes that remain in the area after the header of `frame`.
    size_t room(const RawFrame& frame) const { return area_.size() - frame.offset; }
    // The frame's content (its size must fit the room) and a step past it.
    ByteSpan take(const RawFrame& frame);

private:
    ByteSpan area_;
    int major_;
    size_t position_ = 0;
};

// A frame in ID3v2.3 form.
struct Frame23 {
    char id[5] = {0, 0, 0, 0, 0};
    uint8_t flags[2] = {0, 0};
    Bytes content;               // as an ID3v2.3 frame holds it
    size_t payload = 0;          // offset of the frame's data after its group byte
    bool readable = true;        // not compressed or encrypted
    bool discard_on_change = false;  // tag alter preservation: drop when the tag changes
};

// The ID3v2.3 form of a frame of a tag of version `major`; nullopt when it has
// none (an unknown 2.2 identifier, 2.4 compression or encryption, damaged
// extras). Texts of 2.4 frames in UTF-16BE or UTF-8 are recoded to ISO-8859-1,
// or to UTF-16 with BOM when they do not fit.
std::optional<Frame23> to_v23_frame(int major, bool tag_unsynchronised, const RawFrame& raw, ByteSpan content);

// A frame's data with every encoded text turned into ISO-8859-1 ('?' for what
// it cannot hold), single zero terminators and encoding byte 0; the values of a
// text frame are joined with '/'. nullopt for an unknown encoding.
std::optional<Bytes> flatten_to_latin1(std::string_view id, ByteSpan data);

// Removes the unsynchronisation bytes (the 0x00 after each 0xFF).
Bytes undo_unsynchronisation(ByteSpan bytes);

// Big-endian and synchsafe numbers.
uint32_t get_u32_be(const uint8_t* bytes);
void put_u32_be(Bytes& out, uint32_t value);
void put_synchsafe32(Bytes& out, uint32_t value);

}  // namespace engine
