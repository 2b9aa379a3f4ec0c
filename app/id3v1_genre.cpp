#include "id3v1_genre.h"

#include <array>
#include <fstream>

namespace zubmp3::app {

std::optional<uint8_t> id3v1_genre_byte(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 128> record{};
    if (!file.seekg(-static_cast<std::streamoff>(record.size()), std::ios::end)) return std::nullopt;
    if (!file.read(record.data(), record.size())) return std::nullopt;
    if (record[0] != 'T' || record[1] != 'A' || record[2] != 'G') return std::nullopt;
    return static_cast<uint8_t>(record[127]);
}

}  // namespace zubmp3::app
