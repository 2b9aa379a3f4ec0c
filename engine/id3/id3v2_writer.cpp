#include "id3v2_writer.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <new>

#include "../engine_state.h"
#include "../file_helpers.h"
#include "id3v2_fields.h"
#include "id3v2_reader.h"
#include "platform/win32.h"
#include "tag_files.h"

namespace engine {

char temp_folder[kTempFolderSize];

namespace {

bool temp_folder_fits = true;
uint8_t copy_buffer[4096];

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
        std::memcpy(frame.id, slot_frames[slot].id, 4);
        frame.flags[0] = slot == kEncodedBy ? 0x40 : 0x00;
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
    const auto frame = to_v23_frame(header.major, header.flags & 0x80, raw);
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

// Saves a file's attributes and makes them normal; puts them back on request.
class SavedAttributes {
public:
    explicit SavedAttributes(const char* path) : path_(path), saved_(GetFileAttributesA(path)) {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    }
    ~SavedAttributes() {
        if (saved_ != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path_, saved_);
    }
    SavedAttributes(const SavedAttributes&) = delete;
    SavedAttributes& operator=(const SavedAttributes&) = delete;

private:
    const char* path_;
    DWORD saved_;
};

// A temporary file made by create_temp_file, deleted when it goes.
class TempFile {
public:
    // In temp_folder, or beside the target when no folder was defined.
    explicit TempFile(const char* target) {
        char beside[kTempPathSize] = "";
        if (temp_folder[0] == '\0' && temp_folder_fits) folder_of_path(target, beside);
        created_ = create_temp_file(temp_folder[0] != '\0' ? temp_folder : beside, name_) == 0;
    }
    ~TempFile() {
        if (created_) DeleteFileA(name_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    bool created() const { return created_; }
    const char* name() const { return name_; }

private:
    char name_[kTempPathSize];
    bool created_ = false;
};

class OpenFile {
public:
    OpenFile(const char* path, const char* mode) : file_(win_fopen(path, mode)) {}
    ~OpenFile() { close(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    FILE* get() const { return file_; }
    // False when buffered bytes could not be written.
    bool close() {
        const bool ok = file_ == nullptr || std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    FILE* file_;
};

enum class CopyOutcome { ok, target_unopened, temp_unopened, read_failed, write_failed };

// Appends the target file from offset `skip` to the temporary file.
CopyOutcome append_rest(const char* target, int64_t skip, const char* temp) {
    OpenFile from(target, "rb");
    if (from.get() == nullptr) return CopyOutcome::target_unopened;
    OpenFile to(temp, "ab");
    if (to.get() == nullptr) return CopyOutcome::temp_unopened;
    if (skip > 0 && _fseeki64(from.get(), skip, SEEK_SET) != 0) return CopyOutcome::read_failed;
    for (;;) {
        const size_t got = std::fread(copy_buffer, 1, sizeof copy_buffer, from.get());
        if (got == 0) break;
        if (std::fwrite(copy_buffer, 1, got, to.get()) != got) return CopyOutcome::write_failed;
    }
    if (std::ferror(from.get())) return CopyOutcome::read_failed;
    return to.close() ? CopyOutcome::ok : CopyOutcome::write_failed;
}

// Writes `head` over the start of the (empty) temporary file.
bool write_head(FILE* temp, const Bytes& head) {
    return std::fwrite(head.data(), 1, head.size(), temp) == head.size();
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
    const int64_t length = get_file_length(path);
    TempFile temp(path);
    if (!temp.created()) return kWriteNoTempFile;

    // The old tag is read whole, but only when the file really holds it.
    const int64_t old_length = id3v2_tag_length(path);
    Bytes frames;
    if (old_length > 0) {
        if (old_length > length) return kWriteOldTagUnreadable;
        auto* old_tag = static_cast<uint8_t*>(tag_alloc(static_cast<size_t>(old_length) + 100));
        if (old_tag == nullptr) return kWriteOldTagUnreadable;
        int32_t result = read_file_head(path, old_tag, static_cast<size_t>(old_length)) == 0 ? kWriteOk
                                                                                          : kWriteOldTagUnreadable;
        if (result == kWriteOk)
            result = build_id3v2_frames(ByteSpan(old_tag, static_cast<size_t>(old_length)), length, frames);
        tag_free(old_tag);
        if (result != kWriteOk) return result;
    } else if (const int32_t result = build_id3v2_frames({}, length, frames); result != kWriteOk) {
        return result;
    }

    SavedAttributes attributes(path);
    {
        OpenFile head(temp.name(), "r+b");
        if (head.get() == nullptr) return kWriteTempNotReopened;
        const bool written = write_head(head.get(), render_id3v2_tag(frames));
        if (!head.close() || !written) return kWriteTempIncomplete;
    }
    switch (append_rest(path, old_length, temp.name())) {
        case CopyOutcome::ok: break;
        case CopyOutcome::target_unopened:
        case CopyOutcome::read_failed: return kWriteTargetUnreadable;
        case CopyOutcome::temp_unopened: return kWriteTempNotAppendable;
        case CopyOutcome::write_failed: return kWriteTempIncomplete;
    }
    return CopyFileA(temp.name(), path, FALSE) ? kWriteOk : kWriteCopyFailed;
}

int32_t remove_id3v2_tag(const char* path) {
    if (is_read_only_file(path)) return kRemoveReadOnly;
    {
        OpenFile probe(path, "rb");
        if (probe.get() == nullptr) return kRemoveCannotRead;
    }
    const int64_t tag_length = id3v2_tag_length(path);
    if (tag_length == 0) return kRemoveNoTag;
    if (tag_length > get_file_length(path)) return kRemoveCannotRead;
    TempFile temp(path);
    if (!temp.created()) return kRemoveNoTempFile;
    SavedAttributes attributes(path);
    switch (append_rest(path, tag_length, temp.name())) {
        case CopyOutcome::ok: break;
        case CopyOutcome::target_unopened:
        case CopyOutcome::read_failed: return kRemoveCannotRead;
        case CopyOutcome::temp_unopened:
        case CopyOutcome::write_failed: return kRemoveTempIncomplete;
    }
    return CopyFileA(temp.name(), path, FALSE) ? kRemoveOk : kRemoveCopyFailed;
}

}  // namespace engine
