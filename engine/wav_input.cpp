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

    if (std::memcmp(h + 0, "RIFF", 4) != 0) return 2;  //  0 chunk id
    if (std::memcmp(h + 8, "WAVE", 4) != 0) return 2;  //  8 form type
    const int32_t result = u16_le(h + 20) != 1 ? 3 : 0;  // 20 format tag: PCM
    if (u16_le(h + 34) != 16) return 7;                // 34 bits per sample
    const uint32_t channel_count = u16_le(h + 22);     // 22 channels
    channels = static_cast<int32_t>(channel_count);
    if (channel_count != 1 && channel_count != 2) return 8;
    const uint32_t rate = u32_le(h + 24);              // 24 sample rate
    sample_rate = static_cast<int32_t>(rate);
    if (!is_accepted_rate(rate)) return 19;
    return result;
}

int32_t read_wav_header(const char* path, int32_t& channels, int32_t& sample_rate) {
    FILE* file = win_fopen(path, "rb");
    if (file == nullptr) return 1;
    uint8_t head[kWavHeaderBytes];
    const size_t read = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return check_wav_header(std::span<const uint8_t>(head, read), channels, sample_rate);
}

WavData find_wav_data(std::span<const uint8_t> head, int64_t file_length) {
    WavData data;
    data.end = std::max(file_length, kWavFallbackStart);
    if (head.size() < kWavSearchBytes) return data;  // short file: from byte 60

    for (size_t p = 0; p + 4 <= kWavSearchBytes; ++p) {
        if (std::memcmp(head.data() + p, "data", 4) != 0) continue;
        data.begin = static_cast<int64_t>(p) + 8;  // past the tag and the size field
        data.end = std::max(file_length, data.begin);
        if (head.size() >= p + 8) {
            // Trailing chunks (LIST, id3, ...) are not sound: stop at the end of
            // the data chunk when its size can be right. Streams written with
            // size 0 or 0xFFFFFFFF run to the end of the file.
            const int64_t size = u32_le(head.data() + p + 4);
            if (size != 0 && size <= file_length - data.begin) data.end = data.begin + size;
        }
        return data;
    }
    return data;
}

WavData seek_wav_data(FILE* file) {
    int64_t length = 0;
    if (_fseeki64(file, 0, SEEK_END) == 0) length = std::max<int64_t>(_ftelli64(file), 0);
    uint8_t head[kWavSearchBytes + 4] = {};
    size_t read = 0;
    if (_fseeki64(file, 0, SEEK_SET) == 0) read = std::fread(head, 1, sizeof head, file);
    const WavData data = find_wav_data(std::span<const uint8_t>(head, read), length);
    _fseeki64(file, data.begin, SEEK_SET);
    return data;
}

}  // namespace engine
