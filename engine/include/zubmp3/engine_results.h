// What the engine answers: the entry point's type, the statuses of an
// encoding job and the results of each tag command. The engine, the control
// and the applications all take their numbers (and the descriptions that
// belong to them) from here.
#pragma once

#include <cstdint>

namespace zubmp3 {

// interface1 of the engine: a command word and three address-wide slots.
using Interface1Function = int32_t (*)(const char* command, intptr_t value, intptr_t text, intptr_t index);

// "intreturn": the state of the last encoding job. A finished job is 0 or
// 100 plus the reason it stopped.
enum JobStatus : int32_t {
    kJobDone = 0,
    kJobEncoderUnavailable = 101,   // the encoder library cannot be loaded or lacks an entry point
    kJobInvalidWav = 102,           // not a WAV file the engine takes, or the path did not fit
    kJobCannotOpenWav = 103,        // the input cannot be opened, or a read failed
    kJobCannotCreateMp3 = 104,      // the output cannot be opened (or is the input itself)
    kJobStreamRefused = 105,        // the encoder refused the settings
    kJobEncoderFailed = 106,        // the encoder failed, no memory, no worker thread
    kJobWriteError = 107,           // the output could not be written, or changed under the job
    kJobInvalidBitrate = 108,
    kJobInvalidQuality = 109,
    kJobFileNameMissing = 110,
    kJobCannotCreateFolder = 111,
    kJobCancelled = 112,
    kJobInvalidStereoMode = 120,
    kJobRunning = 1000,
};

// The control's message for a job status, as its ErrorCode event carries it;
// the messages are the system's own and kept word for word, spelling and
// trailing blanks included. nullptr for a number that is not a finished job's
// failure.
constexpr const char* job_status_message(int32_t status) {
    switch (status) {
        case kJobEncoderUnavailable: return "Unable to load required dll";
        case kJobInvalidWav: return "Invalid wav file";
        case kJobCannotOpenWav: return "Error openning the wav file";
        case kJobCannotCreateMp3: return "Cannot create the destination mp3 file";
        case kJobStreamRefused: return "Error opening encoding stream or invalid settings";
        case kJobEncoderFailed: return "Encoder failed, contact the developer";
        case kJobWriteError: return "Output file write error";
        case kJobInvalidBitrate: return "Invalid bitrate value ";
        case kJobInvalidQuality: return "Invalid quality settings";
        case kJobFileNameMissing: return "Destination filename is missing";
        case kJobCannotCreateFolder: return "Cannot create destination folder";
        case kJobCancelled: return "User abort";
        case kJobInvalidStereoMode: return "Invalid stereo mode value";
        default: return nullptr;
    }
}

// "getid3v1".
enum ReadId3v1Result : int32_t {
    kV1ReadOk = 0,
    kV1ReadCannotOpen = 1,  // also: not a regular file
    kV1ReadNoTag = 2,
    kV1ReadTooShort = 3,    // the file is shorter than a record
};

// "setid3v1".
enum WriteId3v1Result : int32_t {
    kV1WriteOk = 0,
    kV1WriteCannotOpen = 1,     // cannot be opened for writing, or not a regular file
    kV1WriteCannotReadEnd = 2,  // the last 128 bytes cannot be read
    kV1WriteTooShort = 3,
    kV1WriteReadOnly = 4,
    kV1WriteFailed = 5,         // the record could not be written; the file is as it was
    kV1WriteOwnerNotKept = 6,   // hard links: the new file cannot be given the owner and group
};

// "removeid3v1".
enum RemoveId3v1Result : int32_t {
    kV1RemoveOk = 0,
    kV1RemoveCannotOpen = 1,
    kV1RemoveNoTag = 2,
    kV1RemoveTooShort = 3,
    kV1RemoveReadOnly = 4,
    kV1RemoveCutFailed = 5,
    kV1RemoveOwnerNotKept = 6,
};

// "getid3v2".
enum ReadId3v2Result : int32_t {
    kReadOk = 0,
    kReadCannotOpen = 1,
    kReadNoTag = 2,
    kReadDamaged = 3,  // a bad header, a tag longer than the file, an unreadable extended header; no memory
};

// "setid3v2".
enum WriteId3v2Result : int32_t {
    kWriteOk = 0,
    kWriteReadOnly = 1,
    kWriteNoTempFile = 2,
    kWriteOldTagUnreadable = 3,    // also: no memory
    kWriteTempNotReopened = 4,     // no longer given: the new file is never reopened
    kWriteTargetUnreadable = 5,    // also: not a regular file
    kWriteTempNotAppendable = 6,   // no longer given
    kWriteCopyFailed = 7,          // the new file could not take the file's place
    kWriteFrameTooLarge = 8,
    kWriteTempIncomplete = 9,      // the new file could not be written whole (disk full)
    kWriteOwnerNotKept = 10,       // the new file cannot be given the file's owner and group
};

// "remove_id3v2_tag".
enum RemoveId3v2Result : int32_t {
    kRemoveOk = 0,
    kRemoveReadOnly = 1,
    kRemoveNoTag = 2,
    kRemoveNoTempFile = 3,
    kRemoveCannotRead = 4,   // cannot open or read the file (or no regular file), its tag runs past its end; no memory
    kRemoveCopyFailed = 5,   // the new file could not take the file's place
    kRemoveTempIncomplete = 6,
    kRemoveOwnerNotKept = 7,  // the new file cannot be given the file's owner and group
};

// The six tag commands whose results are described.
enum class TagCommand { read_v1, write_v1, remove_v1, read_v2, write_v2, remove_v2 };

// A result of `command` in words; "" for a number the command does not give.
constexpr const char* tag_result_description(TagCommand command, int32_t result) {
    switch (command) {
        case TagCommand::read_v1:
            switch (result) {
                case kV1ReadOk: return "tag read";
                case kV1ReadCannotOpen: return "the file cannot be opened";
                case kV1ReadNoTag: return "no tag";
                case kV1ReadTooShort: return "the file is shorter than a tag";
                default: return "";
            }
        case TagCommand::write_v1:
            switch (result) {
                case kV1WriteOk: return "tag written";
                case kV1WriteCannotOpen: return "the file cannot be opened for writing, or is not a regular file";
                case kV1WriteCannotReadEnd: return "the end of the file cannot be read";
                case kV1WriteTooShort: return "the file is shorter than a tag";
                case kV1WriteReadOnly: return "the file is read-only";
                case kV1WriteFailed: return "the record could not be written";
                case kV1WriteOwnerNotKept:
                    return "the file has other hard links and a new file cannot be given its owner and group";
                default: return "";
            }
        case TagCommand::remove_v1:
            switch (result) {
                case kV1RemoveOk: return "tag removed";
                case kV1RemoveCannotOpen: return "the file cannot be opened, or is not a regular file";
                case kV1RemoveNoTag: return "no tag";
                case kV1RemoveTooShort: return "the file is shorter than a tag";
                case kV1RemoveReadOnly: return "the file is read-only";
                case kV1RemoveCutFailed: return "the file could not be cut";
                case kV1RemoveOwnerNotKept:
                    return "the file has other hard links and a new file cannot be given its owner and group";
                default: return "";
            }
        case TagCommand::read_v2:
            switch (result) {
                case kReadOk: return "tag read";
                case kReadCannotOpen: return "the file cannot be opened";
                case kReadNoTag: return "no tag";
                case kReadDamaged: return "the tag is damaged";
                default: return "";
            }
        case TagCommand::write_v2:
            switch (result) {
                case kWriteOk: return "tag written";
                case kWriteReadOnly: return "the file is read-only";
                case kWriteNoTempFile: return "no new file can be made in the file's folder";
                case kWriteOldTagUnreadable: return "the old tag cannot be read";
                case kWriteTargetUnreadable: return "the file cannot be opened for reading, or is not a regular file";
                case kWriteCopyFailed: return "the new file cannot take the place of the old one";
                case kWriteFrameTooLarge: return "a frame of the old tag is larger than 64000 bytes";
                case kWriteTempIncomplete: return "the new file could not be written whole";
                case kWriteOwnerNotKept: return "a new file cannot be given the file's owner and group";
                default: return "";
            }
        case TagCommand::remove_v2:
            switch (result) {
                case kRemoveOk: return "tag removed";
                case kRemoveReadOnly: return "the file is read-only";
                case kRemoveNoTag: return "no tag";
                case kRemoveNoTempFile: return "no new file can be made in the file's folder";
                case kRemoveCannotRead: return "the file or its tag cannot be read, or it is not a regular file";
                case kRemoveCopyFailed: return "the new file cannot take the place of the old one";
                case kRemoveTempIncomplete: return "the new file could not be written whole";
                case kRemoveOwnerNotKept: return "a new file cannot be given the file's owner and group";
                default: return "";
            }
    }
    return "";
}

}  // namespace zubmp3
