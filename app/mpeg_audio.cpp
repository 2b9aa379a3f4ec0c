#include "mpeg_audio.h"

#include <array>
#include <fstream>
#include <vector>

namespace zubmp3::app {
namespace {

constexpr size_t kWindow = 64 * 1024;  // audio looked at after the tags
constexpr size_t kLongestFrame = 2881;  // layer II, 384 kbit/s at 8 kHz with padding, rounded up
constexpr int kMaxTags = 8;             // ID3v2 tags in a row that are skipped

// kbit/s by bitrate index 1..14: MPEG-1 layers I, II, III; MPEG-2/2.5 layer I, layers II and III.
constexpr std::array<std::array<int, 14>, 5> kBitrates = {{
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
}};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};

// Size of an ID3v2 tag (header, body, footer) at `b`, or 0 when none starts there.
size_t id3v2_size(const uint8_t* b) {
    if (b[0] != 'I' || b[1] != 'D' || b[2] != '3' || b[3] == 0xFF || b[4] == 0xFF) return 0;
    size_t body = 0;
    for (int i = 6; i < 10; ++i) {
        if (b[i] & 0x80) return 0;
        body = body << 7 | b[i];
    }
    return 10 + body + ((b[5] & 0x10) ? 10 : 0);
}

std::vector<uint8_t> read_at(std::ifstream& file, uint64_t offset, size_t count) {
    std::vector<uint8_t> bytes(count);
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(file ? count : static_cast<size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

bool same_stream(const uint8_t* a, const uint8_t* b) {
    return (a[1] & 0xFE) == (b[1] & 0xFE) && (a[2] & 0x0C) == (b[2] & 0x0C);  // version, layer, rate
}

}  // namespace

std::optional<size_t> mpeg_frame_length(const uint8_t* h) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
    const int version = (h[1] >> 3) & 3;  // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    const int layer = (h[1] >> 1) & 3;    // 1 III, 2 II, 3 I, 0 reserved
    const int bitrate_index = h[2] >> 4;
    const int rate_index = (h[2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const long bitrate = kBitrates[static_cast<size_t>(table)][static_cast<size_t>(bitrate_index - 1)] * 1000L;
    const long rate = kMpeg1Rates[static_cast<size_t>(rate_index)] / (mpeg1 ? 1 : version == 2 ? 2 : 4);
    const long padding = (h[2] >> 1) & 1;
    if (layer == 3) return static_cast<size_t>((12 * bitrate / rate + padding) * 4);
    const long factor = (layer == 1 && !mpeg1) ? 72 : 144;
    return static_cast<size_t>(factor * bitrate / rate + padding);
}

namespace {

// Where the audio starts: after the ID3v2 tags at the start of the file
// (their sizes checked against the file, their bodies never read); nullopt
// when they reach the end.
std::optional<uint64_t> audio_start(std::ifstream& file, uint64_t size) {
    uint64_t start = 0;
    for (int i = 0; i < kMaxTags; ++i) {
        const auto header = read_at(file, start, 10);
        const size_t tag = header.size() == 10 ? id3v2_size(header.data()) : 0;
        if (tag == 0) break;
        start += tag;
        if (start >= size) return std::nullopt;
    }
    return start;
}

// Where the audio ends: at the file's end or at an ID3v1 record.
uint64_t audio_end(std::ifstream& file, uint64_t start, uint64_t size) {
    if (size < start + 128) return size;
    const auto v1 = read_at(file, size - 128, 3);
    return v1.size() == 3 && v1[0] == 'T' && v1[1] == 'A' && v1[2] == 'G' ? size - 128 : size;
}

// A frame in `bytes` (read at `start`) whose successor starts where it
// ends, or which ends the audio at `end`.
bool holds_frames(const std::vector<uint8_t>& bytes, uint64_t start, uint64_t end) {
    const uint64_t window_end = start + bytes.size();
    for (size_t i = 0; i + 4 <= bytes.size() && i < kWindow; ++i) {
        const auto length = mpeg_frame_length(&bytes[i]);
        if (!length) continue;
        const uint64_t next = start + i + *length;
        if (next == end) return true;
        if (next + 4 > window_end || next + 4 > end) continue;
        const uint8_t* following = &bytes[static_cast<size_t>(next - start)];
        if (mpeg_frame_length(following) && same_stream(&bytes[i], following)) return true;
    }
    return false;
}

}  // namespace

bool has_mpeg_audio(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const auto end = file.tellg();
    if (end <= 0) return false;
    const uint64_t size = static_cast<uint64_t>(end);
    const auto start = audio_start(file, size);
    if (!start) return false;
    return holds_frames(read_at(file, *start, kWindow + kLongestFrame), *start, audio_end(file, *start, size));
}

}  // namespace zubmp3::app
