// The files of the tag code: a user's file, opened by handle, and the new
// file that replaces it whole when a tag changes its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/win32.h"

namespace engine {

// A user's file, open for reading, or for reading and writing. Only a regular
// file opens: a folder, device, FIFO or socket is refused at once. A symbolic
// link is followed.
class TagFile {
public:
    TagFile(const char* path, bool writable);
    ~TagFile();
    TagFile(const TagFile&) = delete;
    TagFile& operator=(const TagFile&) = delete;

    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE handle() const { return handle_; }
    // The length in bytes (-1 when it cannot be told) and the number of
    // names the file has (hard links; 0 when it cannot be told).
    int64_t length() const;
    uint32_t links() const;
    // Exactly `count` bytes at `offset`, or false.
    bool read_at(int64_t offset, uint8_t* buffer, size_t count) const;
    bool write_at(int64_t offset, const uint8_t* bytes, size_t count) const;
    // Cuts the file to `length` bytes.
    bool cut(int64_t length) const;

private:
    bool seek(int64_t offset) const;
    HANDLE handle_;
};

// True when the file's attributes can be read and carry the read-only
// attribute: a tag change refuses such a file before opening it.
bool is_read_only_file(const char* path);

// What became of a replacement.
enum class Replaced {
    ok,
    no_file,         // no new file could be made in the folder
    owner_not_kept,  // the new file cannot be given the file's owner and group
    write_failed,    // the new file could not be written whole (device full)
    read_failed,     // the user's file could not be read
    not_placed,      // the new file could not take the file's place
};

// Replaces the user's file whole by `head`, then `count` of its own bytes
// from `offset` on (-1: all of them to its end), then `tail`. The new file is
// made in `folder` (null or empty: beside the file, after symbolic links),
// readable by its writer alone while it is written, and takes the file's
// place by one rename with the file's owner, group, mode, ACL and extended
// attributes. Unless the result is ok, the file is as it was and nothing is
// left behind.
Replaced replace_file(const TagFile& file, const char* folder, std::span<const uint8_t> head, int64_t offset,
                      int64_t count, std::span<const uint8_t> tail);

}  // namespace engine
