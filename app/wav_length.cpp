#include "wav_length.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace zubmp3::app {
namespace {

constexpr size_t kHeadBytes = 64 * 1024;  // chunks before "data" beyond this are not looked for

uint32_t u32_le(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

double wav_seconds(const std::vector<uint8_t>& head, uint64_t file_size) {
    // RIFF header: 0 "RIFF", 4 size, 8 "WAVE"; chunks from offset 12.
    if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0)
        return 0;
    uint32_t byte_rate = 0;
    size_t offset = 12;
    while (head.size() - offset >= 8) {
        const uint8_t* chunk = head.data() + offset;
        const uint32_t size = u32_le(chunk + 4);  // 4: chunk size
        const size_t body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // fmt body: 0 format, 2 channels, 4 sample rate, 8 byte rate
            if (size < 12 || head.size() - body < 12) return 0;
            byte_rate = u32_le(head.data() + body + 8);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (byte_rate == 0 || file_size < body) return 0;
            const uint64_t there = file_size - body;
            return static_cast<double>(size < there ? size : there) / byte_rate;
        }
        const uint64_t next = uint64_t{body} + size + (size & 1);  // chunks are padded to even sizes
        if (next > head.size()) return 0;
        offset = static_cast<size_t>(next);
    }
    return 0;
}

double wav_file_seconds(const std::string& path) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    if (error) return 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) return 0;
    std::vector<uint8_t> head(static_cast<size_t>(size < kHeadBytes ? size : kHeadBytes));
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(file.gcount()));
    return wav_seconds(head, size);
}

}  // namespace zubmp3::app
