// Replacing a file whole, on the handles of platform/win32.h: the new content
// is written to a new, private file that then takes the old file's place by
// one rename, with the old file's owner, group, mode, POSIX ACL and extended
// attributes. The old file is never changed, so every failure leaves it as it
// was.
//
// A replacement file is named ".zubmp3-<16 hex digits>.tmp" and its writer
// holds an exclusive lock (flock) on it for as long as the file exists under
// that name. A file of that name whose lock can be taken was left by a writer
// that is gone (killed, or its machine crashed): the next replacement made in
// the same folder by a user who may open it removes it.
#pragma once

#include <cstdint>

#include "platform/win32.h"

// The new file cannot be given the owner, or the group, of the file it is to
// replace (the writer is neither the owner nor allowed to give files away).
constexpr DWORD ERROR_INVALID_OWNER = 1307;
constexpr DWORD ERROR_INVALID_PRIMARY_GROUP = 1308;
// Reading the source of a copy failed.
constexpr DWORD ERROR_READ_FAULT = 30;
// The file to be replaced is no longer the file that was opened.
constexpr DWORD ERROR_FILE_CHANGED = 1390;

// Creates the file that is to replace `target` (a handle of CreateFileA):
// in `folder`, or beside the target (after symbolic links) when `folder` is
// null or empty. It is created exclusively under a new random name, never
// through a link, with at most the owner's read and write bits of the
// target's mode, and handed out open for reading and writing. When it lies on
// the target's device it is given the target's owner and group at once, so
// that a write that could not keep them fails before any copying
// (ERROR_INVALID_OWNER, ERROR_INVALID_PRIMARY_GROUP). Closing the handle
// before CommitReplacementFile removes the file.
HANDLE CreateReplacementFile(HANDLE target, const char* folder);

// Appends up to `count` bytes of `source`, from `offset` on, to `file`; stops
// early at the end of `source`, with the bytes appended in `*copied`. The
// kernel copies them (copy_file_range) where it can. A failed read sets
// ERROR_READ_FAULT; a failed write the write's error (ERROR_DISK_FULL, ...).
BOOL AppendFileRange(HANDLE file, HANDLE source, int64_t offset, int64_t count, int64_t* copied);

// Puts `replacement` in the place of `target`: gives it the target's owner,
// group, mode, ACL and extended attributes, flushes it to disk and renames it
// over the file the target's handle reached. A replacement made on another
// device is first copied into a second one beside the target. Fails without
// touching anything when the target's path no longer names the file opened
// (ERROR_FILE_CHANGED) or the replacement's name no longer names its file.
BOOL CommitReplacementFile(HANDLE target, HANDLE replacement);
