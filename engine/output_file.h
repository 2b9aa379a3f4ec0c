// The output file of a job. It is opened without truncation first, so that a
// job refused before it encodes leaves an existing file as it was (and takes
// back a file it created), and truncated only when the encoding starts. It is
// locked while the job writes it, and its identity is kept, so that the end
// of the job can tell whether the path still names the file it wrote.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/win32.h"

namespace engine {

// Device and inode: one file, whatever name led to it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileFacts {
    FileIdentity identity;
    int64_t length = 0;
};

// The file a path names now; nullopt when there is none.
std::optional<FileFacts> file_facts(const char* path);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();  // an output never started is taken back, as abandon()

    enum class Opened { ok, cannot_open, in_use };
    // Opens the file or creates it, and locks it against other jobs.
    Opened open(const char* path);
    const FileIdentity& identity() const { return identity_; }

    // Truncates the file and hands it over as a stream for writing (the
    // caller closes it); nullptr when that fails.
    FILE* start_writing();
    // Before writing started: closes the file and deletes it when open()
    // created it, so a refused job leaves nothing new behind.
    void abandon();

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    const char* path_ = nullptr;
    bool created_ = false;
    FileIdentity identity_;
};

}  // namespace engine
