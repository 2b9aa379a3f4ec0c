#include "id3v2_writer.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "../engine_state.h"
#include "../file_helpers.h"
#include "id3v2_fields.h"
#include "tag_files.h"

namespace engine {

char temp_folder[kTempFolderSize];

namespace {

bool temp_folder_fits = true;

// The order in which frames not found in the old tag are appended.
constexpr int kFixedOrder[kId3v2SlotCount] = {
    kEncodedBy, kUrl, kCopyright, kOriginalArtist, kComposer, kGenre,
    kTrack, kComment, kYear, kAlbum, kArtist, kTitle,
};

constexpr uint32_t kMaxSynchsafe = 0x0FFFFFFF;

void append_frame_header(Bytes& out, const char* id, uint32_t size, uint8_t flag0, uint8_t flag1) {
    out.insert(out.end(), id, id + 4);  // 0 identifier
    put_u32_be(out, size);              // 4 content size
    out.push_back(flag0);               // 8 status flags
    out.push_back(flag1);               // 9 format flags
}

void append_new_frame(Bytes& out, int slot) {
    const char* value = id3v2_fields[slot].text != nullptr ? id3v2_fields[slot].text : "";
    const size_t length = std::strlen(value);
    // Before the value: the encoding byte (ISO-8859-1), then for WXXX an empty
    // description, for COMM a language of three zero bytes and an empty description.
    static constexpr uint8_t kPrefix[5] = {0, 0, 0, 0, 0};
    const size_t prefix = slot == kUrl ? 2 : slot == kComment ? 5 : 1;
    const uint8_t flag0 = slot == kEncodedBy ? 0x40 : 0x00;
    append_frame_header(out, slot_frames[slot].id, static_cast<uint32_t>(prefix + length), flag0, 0x00);
    out.insert(out.end(), kPrefix, kPrefix + prefix);
    out.insert(out.end(), value, value + length);
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
    trim_trailing_spaces(folder);
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

int32_t build_id3v2_frames(ByteSpan old_tag, int64_t file_length, Bytes& frames) {
    bool pending[kId3v2SlotCount];
    std::fill(std::begin(pending), std::end(pending), true);
    Id3v2Header header;
    Bytes area;
    if (!old_tag.empty() && parse_id3v2_header(old_tag, header) == HeaderCheck::ok &&
        id3v2_frame_area(old_tag, header, area)) {
        FrameWalker walker(area, header.major);
        RawFrame raw;
        while (walker.next(raw)) {
            // An implausible size ends the walk; nothing after it is carried over.
            if (raw.size < 0 || raw.size >= file_length) break;
            if (raw.size > kMaxOldFrameSize) return kWriteFrameTooLarge;
            if (static_cast<uint64_t>(raw.size) > walker.room(raw)) break;
            const ByteSpan content = walker.take(raw);
            const auto frame = to_v23_frame(header.major, header.flags & 0x80, raw, content);
            if (!frame) continue;
            const int slot = slot_of_frame(std::string_view(frame->id, 4));
            if (slot >= 0) {
                if (pending[slot]) append_new_frame(frames, slot);
                pending[slot] = false;  // a second one is dropped
                continue;
            }
            if (frame->discard_on_change) continue;
            append_frame_header(frames, frame->id, static_cast<uint32_t>(frame->content.size()), frame->flags[0],
                                frame->flags[1]);
            frames.insert(frames.end(), frame->content.begin(), frame->content.end());
        }
    }
    for (int slot : kFixedOrder)
        if (pending[slot]) append_new_frame(frames, slot);
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
