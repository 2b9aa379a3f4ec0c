#include "file_helpers.h"

#include <cctype>
#include <cstdio>

#include "platform/win32.h"

namespace engine {

int64_t get_file_length(const char* path) {
    FILE* file = win_fopen(path, "rb");
    if (file == nullptr) return 0;
    int64_t length = 0;
    if (_fseeki64(file, 0, SEEK_END) == 0) length = _ftelli64(file);
    std::fclose(file);
    return length < 0 ? 0 : length;
}

bool has_valid_path_form(const char* path) {
    if (path == nullptr || path[0] == '\0' || path[1] == '\0') return false;
    if (path[0] == '\\' && path[1] == '\\') return true;
    const unsigned char drive = static_cast<unsigned char>(path[0]);
    return drive < 0x80 && std::isalpha(drive) && path[1] == ':';
}

int32_t is_existing_folder(const char* path) {
    if (!has_valid_path_form(path)) return 0;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int32_t is_existing_file(const char* path) {
    if (!has_valid_path_form(path)) return 0;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

void trim_trailing_spaces(std::string& text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
}

}  // namespace engine
