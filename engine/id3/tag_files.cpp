#include "tag_files.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "../file_helpers.h"
#include "platform/win32.h"

namespace engine {

int32_t truncate_file(const char* path, int64_t length) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    LONG high = static_cast<LONG>(static_cast<uint64_t>(length) >> 32);
    const DWORD low = SetFilePointer(file, static_cast<LONG>(static_cast<uint32_t>(length)), &high, FILE_BEGIN);
    int32_t result = 0;
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS)
        result = 2;
    else if (!SetEndOfFile(file))
        result = 3;
    CloseHandle(file);
    return result;
}

int32_t read_file_head(const char* path, uint8_t* buffer, size_t count) {
    FILE* file = win_fopen(path, "rb");
    if (file == nullptr) return 1;
    const size_t got = std::fread(buffer, 1, count, file);
    std::fclose(file);
    return got == count ? 0 : 2;
}

int32_t create_temp_file(const char* folder, char (&out)[kTempPathSize]) {
    out[0] = '\0';
    std::string name = folder == nullptr ? "" : folder;
    trim_trailing_spaces(name);
    if (name.empty()) return 1;
    if (name.back() != '\\') name += '\\';
    char created[MAX_PATH];
    if (GetTempFileNameA(name.c_str(), "zub", 0, created) == 0) return 1;
    const size_t length = strnlen(created, sizeof created);
    if (length >= kTempPathSize) {
        DeleteFileA(created);
        return 1;
    }
    std::memcpy(out, created, length + 1);
    return 0;
}

void folder_of_path(const char* path, char (&out)[kTempPathSize]) {
    out[0] = '\0';
    if (path == nullptr) return;
    const char* slash = std::strrchr(path, '\\');
    if (slash == nullptr) return;
    const size_t length = static_cast<size_t>(slash - path) + 1;
    if (length >= kTempPathSize) return;
    std::memcpy(out, path, length);
    out[length] = '\0';
}

}  // namespace engine
