#include "globais.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "platform/text.h"
#include "platform/win32.h"

namespace zubmp3::Globais {

thread_local Text ControlFolder;

namespace {

// Upper case for ASCII and the Latin-1 letters (the 8-bit code page of paths).
char16_t to_upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    return c;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

constexpr int64_t kProbeBytes = 255;

// Device and inode of the file a path names; nullopt when it names none.
std::optional<std::array<DWORD, 3>> file_identity(const Text& path) {
    const std::string ansi = platform::utf16_to_latin1(path);
    HANDLE file = CreateFileA(ansi.c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);  // information only
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    if (!known) return std::nullopt;
    return std::array<DWORD, 3>{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

bool CheckForEquality(const Text& a, const Text& b) {
    if (std::equal(a.begin(), a.end(), b.begin(), b.end(),
                   [](char16_t x, char16_t y) { return to_upper(x) == to_upper(y); }))
        return true;
    // Two names of one existing file (a link, another spelling of the path):
    // writing the output would destroy the input.
    const auto first = file_identity(a);
    return first && first == file_identity(b);
}

bool CheckForEmpty(const Text& a) { return a.empty(); }

bool CheckInputFile(const Text& path) {
    const std::string ansi = platform::utf16_to_latin1(path);
    const DWORD attributes = GetFileAttributesA(ansi.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    // Regular files only: a FIFO or a device would hold the caller or never end.
    std::unique_ptr<FILE, FileCloser> file(win_fopen_file(ansi.c_str(), "rb"));
    if (!file) return false;
    if (_fseeki64(file.get(), 0, SEEK_END) != 0) return false;
    const int64_t length = _ftelli64(file.get());
    if (length < 0 || _fseeki64(file.get(), 0, SEEK_SET) != 0) return false;
    std::vector<char> buffer(static_cast<size_t>(std::min(length, kProbeBytes)));
    const size_t read = std::fread(buffer.data(), 1, buffer.size(), file.get());
    return read == buffer.size() && std::ferror(file.get()) == 0;
}

}  // namespace zubmp3::Globais
