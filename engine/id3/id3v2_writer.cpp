#include "id3v2_writer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <cstring>

#include "../engine_state.h"
#include "../file_helpers.h"
#include "id3v2_fields.h"
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
