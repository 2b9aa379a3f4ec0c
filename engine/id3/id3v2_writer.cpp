#include "id3v2_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "id3v2_fields.h"
#include "id3v2_reader.h"
#include "tag_files.h"

namespace engine {

namespace {

// The order in which frames not found in the old tag are appended.
constexpr int kFixedOrder[kId3v2SlotCount] = {
    kEncodedBy, kUrl, kCopyright, kOriginalArtist, kComposer, kGenre,
    kTrack, kComment, kYear, kAlbum, kArtist, kTitle,
};

constexpr uint32_t kMaxSynchsafe = 0x0FFFFFFF;

// A staged value, "" for none.
const char* staged_text(int slot) {
    return id3v2_fields[slot].text != nullptr ? id3v2_fields[slot].text : "";
}

// The language of a comment frame, or three zero bytes when it has none.
std::array<uint8_t, 3> language_of(const Frame23& comment) {
    std::array<uint8_t, 3> language{0, 0, 0};
    const ByteSpan data = ByteSpan(comment.content).subspan(comment.payload);
    if (comment.readable && data.size() >= 4) std::copy(data.begin() + 1, data.begin() + 4, language.begin());
    return language;
}

// The frames of the new tag, in the order they are added.
class NewFrames {
public:
    explicit NewFrames(Bytes& out) : out_(out) { std::fill(std::begin(pending_), std::end(pending_), true); }

    bool pending(int slot) const { return pending_[slot]; }

    // A field's frame with its staged value. Before the value: the encoding
    // byte (ISO-8859-1), then for WXXX an empty description, for COMM the
    // language (three zero bytes for a new comment) and an empty description.
    int32_t add_field(int slot, std::array<uint8_t, 3> language = {0, 0, 0}) {
        pending_[slot] = false;
        const char* value = staged_text(slot);
        const size_t length = std::strlen(value);
        const uint8_t prefix[5] = {0, language[0], language[1], language[2], 0};
        const size_t prefix_length = slot == kUrl ? 2 : slot == kComment ? 5 : 1;
        if (prefix_length + length > kMaxOldFrameSize) return kWriteFrameTooLarge;
        Frame23 frame;
        std::memcpy(frame.id, zubmp3::kId3v2Fields[slot].frame_id.data(), 4);
        frame.flags[0] = slot == kEncodedBy ? frame_flags::kV23DiscardOnFileAlter : 0;
        if (slot == kUrl) frame.content = {0, 0};
        else if (slot == kComment) frame.content.assign(prefix, prefix + 5);
        else frame.content = {0};
        frame.content.insert(frame.content.end(), value, value + length);
        append_v23_frame(out_, frame);
        return kWriteOk;
    }

    // A field's frame of the old tag: kept when the staged value is what the
    // reader made of it and that reading lost characters (the caller wrote
    // back a field it did not change); else replaced by the staged value.
    int32_t replace_field(int slot, const Frame23& old) {
        const FieldReading reading = read_field_value(slot, old);
        if (reading.lossy && reading.text == staged_text(slot)) {
            pending_[slot] = false;
            return add(old);
        }
        return add_field(slot, slot == kComment ? language_of(old) : std::array<uint8_t, 3>{0, 0, 0});
    }

    // A frame carried from the old tag.
    int32_t add(const Frame23& frame) {
        if (frame.content.size() > kMaxOldFrameSize) return kWriteFrameTooLarge;
        append_v23_frame(out_, frame);
        return kWriteOk;
    }

    // The fields the old tag did not hold, in the fixed order.
    int32_t add_pending() {
        for (int slot : kFixedOrder)
            if (pending_[slot])
                if (const int32_t result = add_field(slot); result != kWriteOk) return result;
        return kWriteOk;
    }

private:
    Bytes& out_;
    bool pending_[kId3v2SlotCount];
};

// One frame of the old tag into the new one.
int32_t carry_frame(const Id3v2Header& header, const RawFrame& raw, NewFrames& frames) {
    if (raw.size > kMaxOldFrameSize) return kWriteFrameTooLarge;
    const auto frame = to_v23_frame(header.major, header.flags & tag_flags::kUnsynchronisation, raw);
    if (!frame) return kWriteOldTagUnreadable;  // no ID3v2.3 form: it cannot be carried
    const int slot = field_slot_of(*frame);
    if (slot >= 0 && frames.pending(slot)) return frames.replace_field(slot, *frame);
    if (slot >= 0 && slot != kComment && slot != kUrl) return kWriteOk;  // a field's second frame is dropped
    if (frame->discard_on_change) return kWriteOk;
    return frames.add(*frame);
}

// The old tag's frames into the new tag; every frame must be walked.
int32_t carry_old_frames(ByteSpan old_tag, NewFrames& frames) {
    Id3v2Header header;
    if (parse_id3v2_header(old_tag, header) != HeaderCheck::ok) return kWriteOldTagUnreadable;
    Bytes scratch;
    const auto area = id3v2_frame_area(old_tag, header, scratch);
    if (!area) return kWriteOldTagUnreadable;
    FrameWalker walker(*area, header.major);
    RawFrame raw;
    while (walker.next(raw))
        if (const int32_t result = carry_frame(header, raw, frames); result != kWriteOk) return result;
    return walker.whole() ? kWriteOk : kWriteOldTagUnreadable;
}

// The number of each outcome of replace_file, for one command.
struct ReplaceResults {
    int32_t no_file, owner_not_kept, write_failed, read_failed, not_placed;
};
constexpr ReplaceResults kWriteResults{kWriteNoTempFile, kWriteOwnerNotKept, kWriteTempIncomplete,
                                       kWriteTargetUnreadable, kWriteCopyFailed};
constexpr ReplaceResults kRemoveResults{kRemoveNoTempFile, kRemoveOwnerNotKept, kRemoveTempIncomplete,
                                        kRemoveCannotRead, kRemoveCopyFailed};

int32_t result_of(Replaced outcome, const ReplaceResults& results) {
    switch (outcome) {
        case Replaced::ok: return 0;
        case Replaced::no_file: return results.no_file;
        case Replaced::owner_not_kept: return results.owner_not_kept;
        case Replaced::write_failed: return results.write_failed;
        case Replaced::read_failed: return results.read_failed;
        case Replaced::not_placed: return results.not_placed;
    }
    return results.not_placed;
}

// Where the new file is built: the folder of "definetempfolder" without its
// trailing blanks, or "" (beside the target). False when the folder given did
// not fit its buffer.
bool replacement_folder(std::string& folder) {
    folder = temp_folder;
    folder.erase(folder.find_last_not_of(' ') + 1);
    return temp_folder_fits;
}

// The length of the ID3v2 tag the file starts with (0: none); -1 when the
// file cannot be read.
int64_t tag_length_of(const TagFile& file, int64_t file_length) {
    uint8_t head[kId3v2HeaderSize];
    const size_t got = static_cast<size_t>(std::min<int64_t>(file_length, kId3v2HeaderSize));
    if (file_length < 0 || !file.read_at(0, head, got)) return -1;
    return id3v2_tag_length_of(ByteSpan(head, got));
}

// The frames of the new tag, with the old tag (read whole, but only when the
// file really holds it) walked for the frames to carry over.
int32_t new_frames(const TagFile& file, int64_t file_length, int64_t old_length, Bytes& frames) {
    if (old_length == 0) return build_id3v2_frames({}, file_length, frames);
    if (old_length > file_length) return kWriteOldTagUnreadable;
    auto* old_tag = static_cast<uint8_t*>(tag_alloc(static_cast<size_t>(old_length) + 100));
    if (old_tag == nullptr) return kWriteOldTagUnreadable;
    const int32_t result = file.read_at(0, old_tag, static_cast<size_t>(old_length))
                               ? build_id3v2_frames(ByteSpan(old_tag, static_cast<size_t>(old_length)), file_length,
                                                    frames)
                               : kWriteOldTagUnreadable;
    tag_free(old_tag);
    return result;
}

}  // namespace

void define_temp_folder(const char* folder) {
    const size_t length = folder == nullptr ? 0 : strnlen(folder, kTempFolderSize);
    temp_folder_fits = length < kTempFolderSize;
    const size_t kept = temp_folder_fits ? length : 0;
    if (kept > 0) std::memcpy(temp_folder, folder, kept);
    temp_folder[kept] = '\0';
}

int32_t build_id3v2_frames(ByteSpan old_tag, int64_t /*file_length*/, Bytes& frames) {
    try {
        NewFrames tag(frames);
        if (!old_tag.empty())
            if (const int32_t result = carry_old_frames(old_tag, tag); result != kWriteOk) return result;
        if (const int32_t result = tag.add_pending(); result != kWriteOk) return result;
    } catch (const std::bad_alloc&) {  // no memory to hold the old tag's frames
        return kWriteOldTagUnreadable;
    }
    return frames.size() + 10 > kMaxSynchsafe ? kWriteFrameTooLarge : kWriteOk;
}

Bytes render_id3v2_tag(const Bytes& frames) {
    const uint32_t size = static_cast<uint32_t>(frames.size() + 10);  // frames and padding
    Bytes tag{'I', 'D', '3',  // 0 identifier
              3, 0,           // 3 version 2.3.0
              0};             // 5 flags
    put_synchsafe32(tag, size);  // 6 size
    tag.insert(tag.end(), frames.begin(), frames.end());  // 10 frames
    tag.insert(tag.end(), 10, 0);                          // padding
    return tag;
}

int32_t write_id3v2_tag(const char* path) {
    if (is_read_only_file(path)) return kWriteReadOnly;
    const TagFile file(path, false);
    const int64_t length = file.is_open() ? file.length() : -1;
    const int64_t old_length = tag_length_of(file, length);
    if (old_length < 0) return kWriteTargetUnreadable;
    Bytes frames;
    if (const int32_t result = new_frames(file, length, old_length, frames); result != kWriteOk) return result;
    std::string folder;
    if (!replacement_folder(folder)) return kWriteNoTempFile;
    const Bytes tag = render_id3v2_tag(frames);
    return result_of(replace_file(file, folder.c_str(), tag, old_length, -1, {}), kWriteResults);
}

int32_t remove_id3v2_tag(const char* path) {
    if (is_read_only_file(path)) return kRemoveReadOnly;
    const TagFile file(path, false);
    const int64_t length = file.is_open() ? file.length() : -1;
    const int64_t tag_length = tag_length_of(file, length);
    if (tag_length < 0) return kRemoveCannotRead;
    if (tag_length == 0) return kRemoveNoTag;
    if (tag_length > length) return kRemoveCannotRead;
    std::string folder;
    if (!replacement_folder(folder)) return kRemoveNoTempFile;
    return result_of(replace_file(file, folder.c_str(), {}, tag_length, -1, {}), kRemoveResults);
}

}  // namespace engine
