#include "output_file.h"

namespace engine {
namespace {

constexpr DWORD kWholeFile = 0xFFFFFFFF;  // both halves: every byte, however long

FileFacts facts_of(const BY_HANDLE_FILE_INFORMATION& info) {
    FileFacts facts;
    facts.identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    facts.length = static_cast<int64_t>(uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow);
    return facts;
}

}  // namespace

std::optional<FileFacts> file_facts(const char* path) {
    HANDLE file = CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // information only
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return facts_of(info);
}

OutputFile::~OutputFile() { abandon(); }

OutputFile::Opened OutputFile::open(const char* path) {
    path_ = path;
    handle_ = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return Opened::cannot_open;
    created_ = GetLastError() != ERROR_ALREADY_EXISTS;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle_, &info) == FALSE) {
        abandon();
        return Opened::cannot_open;
    }
    identity_ = facts_of(info).identity;
    // Another job writing this file would interleave its frames with ours. A
    // file system without locks is no reason to refuse the job.
    if (LockFile(handle_, 0, 0, kWholeFile, kWholeFile) == FALSE && GetLastError() == ERROR_LOCK_VIOLATION) {
        abandon();
        return Opened::in_use;
    }
    return Opened::ok;
}

FILE* OutputFile::start_writing() {
    if (handle_ == INVALID_HANDLE_VALUE) return nullptr;
    if (SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER || SetEndOfFile(handle_) == FALSE)
        return nullptr;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle_), 0);
    if (descriptor < 0) return nullptr;
    handle_ = INVALID_HANDLE_VALUE;  // the descriptor owns the file now
    FILE* stream = _fdopen(descriptor, "wb");
    if (stream == nullptr) _close(descriptor);
    return stream;
}

void OutputFile::abandon() {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    // Only the file this job created, and only while the name still leads to it.
    const auto now = file_facts(path_);
    if (created_ && now && now->identity == identity_ && now->length == 0) DeleteFileA(path_);
}

}  // namespace engine
