#include "wav_input.h"

#include <algorithm>
#include <cstring>

#include "platform/win32.h"

namespace engine {
namespace {

uint32_t u16_le(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t u32_le(const uint8_t* p) { return u16_le(p) | u16_le(p + 2) << 16; }

bool is_accepted_rate(uint32_t rate) {
    constexpr uint32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

}  // namespace

int32_t check_wav_header(std::span<const uint8_t> head, int32_t& channels, int32_t& sample_rate) {
    uint8_t h[kWavHeaderBytes] = {};  // a short file reads as zeros beyond its end
    std::copy_n(head.begin(), std::min(head.size(), sizeof h), h);

    if (std::memcmp(h + 0, "RIFF", 4) != 0) return kWavNotRiffWave;  //  0 chunk id
    if (std::memcmp(h + 8, "WAVE", 4) != 0) return kWavNotRiffWave;  //  8 form type
    const int32_t result = u16_le(h + 20) != 1 ? kWavNotPcm : kWavAccepted;  // 20 format tag: PCM
    if (u16_le(h + 34) != 16) return kWavNot16Bits;                          // 34 bits per sample
    const uint32_t channel_count = u16_le(h + 22);                           // 22 channels
    channels = static_cast<int32_t>(channel_count);
    if (channel_count != 1 && channel_count != 2) return kWavBadChannelCount;
    const uint32_t rate = u32_le(h + 24);                                    // 24 sample rate
    sample_rate = static_cast<int32_t>(rate);
    if (!is_accepted_rate(rate)) return kWavBadSampleRate;
    return result;
}

int32_t read_wav_header(const char* path, int32_t& channels, int32_t& sample_rate) {
    FILE* file = win_fopen(path, "rb");
    if (file == nullptr) return kWavCannotOpen;
    uint8_t head[kWavHeaderBytes];
    const size_t read = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return check_wav_header(std::span<const uint8_t>(head, read), channels, sample_rate);
}

namespace {

constexpr uint32_t kStreamedSize = 0xFFFFFFFF;  // "to the end", however long the file

// End of a data chunk of `size` bytes beginning at `begin`: streamed sizes
// (0, 0xFFFFFFFF) and sizes beyond the file run to the end of the file.
int64_t data_end(int64_t begin, uint32_t size, int64_t file_length) {
    const int64_t file_end = std::max(file_length, begin);
    if (size == 0 || size == kStreamedSize || size > file_length - begin) return file_end;
    return begin + size;
}

bool is_chunk_id(const uint8_t* id) {
    return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

std::optional<WavData> walk_to_data_chunk(const ReadAt& read_at, int64_t file_length) {
    constexpr int64_t kFirstChunk = 12;  // after "RIFF", its size and "WAVE"
    int64_t at = kFirstChunk;
    for (int walked = 0; walked < kMaxChunksWalked; ++walked) {
        uint8_t header[8];  // 0 id, 4 size
        if (at > file_length - 8 || read_at(at, header, sizeof header) != sizeof header) return std::nullopt;
        if (!is_chunk_id(header)) return std::nullopt;
        const uint32_t size = u32_le(header + 4);
        const int64_t body = at + 8;
        if (std::memcmp(header, "data", 4) == 0) return WavData{body, data_end(body, size, file_length)};
        const int64_t padded = int64_t{size} + (size & 1);
        if (padded > file_length - body) return std::nullopt;  // runs past the end of the file
        at = body + padded;
    }
    return std::nullopt;
}

WavData find_wav_data(std::span<const uint8_t> head, int64_t file_length) {
    WavData data;
    data.end = std::max(file_length, kWavFallbackStart);
    if (head.size() < kWavSearchBytes) return data;  // short file: from byte 60

    for (size_t p = 0; p + 4 <= kWavSearchBytes; ++p) {
        if (std::memcmp(head.data() + p, "data", 4) != 0) continue;
        data.begin = static_cast<int64_t>(p) + 8;  // past the tag and the size field
        data.end = std::max(file_length, data.begin);
        // Trailing chunks (LIST, id3, ...) are not sound: stop at the end of
        // the data chunk when its size can be right.
        if (head.size() >= p + 8) data.end = data_end(data.begin, u32_le(head.data() + p + 4), file_length);
        return data;
    }
    return data;
}

WavData locate_wav_data(const ReadAt& read_at, int64_t file_length) {
    if (const auto chunk = walk_to_data_chunk(read_at, file_length)) return *chunk;
    uint8_t head[kWavSearchBytes + 4] = {};
    const size_t read = read_at(0, head, sizeof head);
    return find_wav_data(std::span<const uint8_t>(head, read), file_length);
}

WavData seek_wav_data(FILE* file) {
    int64_t length = 0;
    if (_fseeki64(file, 0, SEEK_END) == 0) length = std::max<int64_t>(_ftelli64(file), 0);
    const ReadAt read_at = [file](int64_t offset, uint8_t* bytes, size_t size) -> size_t {
        if (_fseeki64(file, offset, SEEK_SET) != 0) return 0;
        return std::fread(bytes, 1, size, file);
    };
    const WavData data = locate_wav_data(read_at, length);
    _fseeki64(file, data.begin, SEEK_SET);
    return data;
}

}  // namespace engine
