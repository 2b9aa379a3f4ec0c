#include "tag_files.h"

#include "platform/replace.h"

namespace engine {

bool is_read_only_file(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

TagFile::TagFile(const char* path, bool writable)
    : handle_(CreateFileA(path, writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                          nullptr)) {}

TagFile::~TagFile() {
    if (is_open()) CloseHandle(handle_);
}

int64_t TagFile::length() const {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(handle_, FileStandardInfo, &info, sizeof info) ? info.EndOfFile : -1;
}

uint32_t TagFile::links() const {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(handle_, FileStandardInfo, &info, sizeof info) ? info.NumberOfLinks : 0;
}

bool TagFile::seek(int64_t offset) const {
    LONG high = static_cast<LONG>(static_cast<uint64_t>(offset) >> 32);
    const DWORD low = SetFilePointer(handle_, static_cast<LONG>(static_cast<uint32_t>(offset)), &high, FILE_BEGIN);
    return low != INVALID_SET_FILE_POINTER || GetLastError() == ERROR_SUCCESS;
}

bool TagFile::read_at(int64_t offset, uint8_t* buffer, size_t count) const {
    DWORD got = 0;
    return seek(offset) && ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr) && got == count;
}

bool TagFile::write_at(int64_t offset, const uint8_t* bytes, size_t count) const {
    DWORD written = 0;
    return seek(offset) && WriteFile(handle_, bytes, static_cast<DWORD>(count), &written, nullptr) &&
           written == count;
}

bool TagFile::cut(int64_t length) const { return seek(length) && SetEndOfFile(handle_); }

namespace {

Replaced failure_of_creation() {
    const DWORD error = GetLastError();
    return error == ERROR_INVALID_OWNER || error == ERROR_INVALID_PRIMARY_GROUP ? Replaced::owner_not_kept
                                                                                : Replaced::no_file;
}

Replaced failure_of_copy() {
    return GetLastError() == ERROR_READ_FAULT ? Replaced::read_failed : Replaced::write_failed;
}

// The new file, removed again unless it took the user's file's place.
class Replacement {
public:
    Replacement(const TagFile& file, const char* folder) : handle_(CreateReplacementFile(file.handle(), folder)) {}
    ~Replacement() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};

bool write_bytes(HANDLE file, std::span<const uint8_t> bytes) {
    DWORD written = 0;
    return bytes.empty() ||
           (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
}

}  // namespace

Replaced replace_file(const TagFile& file, const char* folder, std::span<const uint8_t> head, int64_t offset,
                      int64_t count, std::span<const uint8_t> tail) {
    const Replacement replacement(file, folder);
    if (replacement.handle() == INVALID_HANDLE_VALUE) return failure_of_creation();
    if (!write_bytes(replacement.handle(), head)) return Replaced::write_failed;
    int64_t copied = 0;
    if (!AppendFileRange(replacement.handle(), file.handle(), offset, count < 0 ? INT64_MAX : count, &copied))
        return failure_of_copy();
    if (count >= 0 && copied != count) return Replaced::read_failed;  // the file is shorter than it was
    if (!write_bytes(replacement.handle(), tail)) return Replaced::write_failed;
    if (CommitReplacementFile(file.handle(), replacement.handle())) return Replaced::ok;
    return failure_of_creation() == Replaced::owner_not_kept ? Replaced::owner_not_kept : Replaced::not_placed;
}

}  // namespace engine
