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

#include "id3v2_text.h"

namespace engine {

constexpr size_t kId3v2HeaderSize = 10;

// The tag header's flag bits.
namespace tag_flags {
constexpr uint8_t kUnsynchronisation = 0x80;
constexpr uint8_t kExtendedHeader = 0x40;  // 2.2: compression
constexpr uint8_t kFooter = 0x10;          // 2.4
}  // namespace tag_flags

// A frame header's flag bits: status (first byte) and format (second byte).
namespace frame_flags {
// 2.3, status
constexpr uint8_t kV23DiscardOnTagAlter = 0x80;
constexpr uint8_t kV23DiscardOnFileAlter = 0x40;
constexpr uint8_t kV23StatusMask = 0xE0;  // the two above and read-only
// 2.3, format: each adds an extra before the data, in this order
constexpr uint8_t kV23Compression = 0x80;  // 4 bytes: the decompressed size
constexpr uint8_t kV23Encryption = 0x40;   // 1 byte: the method
constexpr uint8_t kV23Grouping = 0x20;     // 1 byte: the group
// 2.4, status: the 2.3 bits one place lower
constexpr uint8_t kV24DiscardOnTagAlter = 0x40;
// 2.4, format
constexpr uint8_t kV24Grouping = 0x40;           // 1 byte: the group
constexpr uint8_t kV24Compression = 0x08;
constexpr uint8_t kV24Encryption = 0x04;         // 1 byte: the method
constexpr uint8_t kV24Unsynchronisation = 0x02;
constexpr uint8_t kV24DataLength = 0x01;         // 4 bytes, synchsafe: the data's length
}  // namespace frame_flags

struct Id3v2Header {
    int major = 0;       // 2, 3 or 4
    uint8_t flags = 0;   // tag_flags
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

// The frames of a whole tag (`tag` starts with the header), extended header
// skipped; the unsynchronisation of a whole 2.2 or 2.3 tag is undone into
// `scratch`. nullopt when the tag cannot be taken apart (a bad extended
// header, 2.2 compression).
std::optional<ByteSpan> id3v2_frame_area(ByteSpan tag, const Id3v2Header& header, Bytes& scratch);

// One frame of the area, as declared.
struct RawFrame {
    std::string_view id;  // 3 letters (2.2) or 4
    uint32_t size = 0;    // content size
    uint8_t flags[2] = {0, 0};
    ByteSpan content;
};

// Walks the frames of an area. A 2.4 frame size is synchsafe, but some
// writers store it plainly: when the synchsafe reading does not end on a frame
// boundary (the next frame's identifier, padding or the end of the area) and
// the plain one does, the plain one is taken.
class FrameWalker {
public:
    FrameWalker(ByteSpan area, int major);
    // The next frame, its size checked against the bytes there; false at the
    // end of the frames.
    bool next(RawFrame& frame);
    // After next() answered false: true when the frames ran to the end of the
    // area or to padding, false when the walk stopped at bytes that are no
    // frame or at a size beyond the area.
    bool whole() const { return whole_; }

private:
    std::optional<uint32_t> content_size(const uint8_t* header, size_t content_offset) const;
    bool is_boundary(size_t position) const;

    ByteSpan area_;
    int major_;
    size_t header_size_;
    mutable std::optional<size_t> zero_tail_;  // where the zero bytes that end the area begin
    size_t position_ = 0;
    bool whole_ = false;
};

// A frame in ID3v2.3 form.
struct Frame23 {
    char id[5] = {0, 0, 0, 0, 0};
    uint8_t flags[2] = {0, 0};
    Bytes content;                   // as an ID3v2.3 frame holds it, extras first
    size_t payload = 0;              // where the frame's data starts after the extras
    bool readable = true;            // not compressed or encrypted
    bool discard_on_change = false;  // tag alter preservation: drop when the tag changes
    std::string_view name() const { return std::string_view(id, 4); }
};

// The ID3v2.3 identifier of a frame of version `major` ("" when it has none).
std::string_view v23_id_of(int major, std::string_view id);

// The ID3v2.3 form of a frame of version `major`; nullopt when it has none
// (a 2.2 identifier without an equivalent, damaged extras or embedded frames,
// 2.4 compression without the decompressed size). Compressed and encrypted
// frames keep their data as it is, with the flags and extras of version 2.3;
// texts of 2.4 frames in UTF-16BE or UTF-8 are recoded to ISO-8859-1, or to
// UTF-16 with BOM when they do not fit; the frames embedded in CHAP and CTOC
// are converted too.
std::optional<Frame23> to_v23_frame(int major, bool tag_unsynchronised, const RawFrame& raw);

// Appends a frame in ID3v2.3 form: header, extras and data.
void append_v23_frame(Bytes& out, const Frame23& frame);

// Removes the unsynchronisation bytes (the 0x00 after each 0xFF).
Bytes undo_unsynchronisation(ByteSpan bytes);

// Big-endian and synchsafe numbers.
uint32_t get_u32_be(const uint8_t* bytes);
void put_u32_be(Bytes& out, uint32_t value);
void put_synchsafe32(Bytes& out, uint32_t value);

}  // namespace engine
