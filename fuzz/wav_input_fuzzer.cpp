// The WAV header check and the data-chunk search on arbitrary bytes.
#include <algorithm>
#include <cstdint>
#include <span>

#include "wav_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    int32_t channels = 0, sample_rate = 0;
    const int32_t verdict = engine::check_wav_header(file, channels, sample_rate);
    if (verdict == 0 && (channels < 1 || channels > 2 || sample_rate < 8000 || sample_rate > 48000)) __builtin_trap();

    const auto length = static_cast<int64_t>(size);
    const auto data_range = engine::find_wav_data(file.first(std::min(size, engine::kWavSearchBytes + 4)), length);
    // The samples lie within the file (or are empty), never before its start.
    if (data_range.begin < 8 || data_range.end < data_range.begin) __builtin_trap();
    if (data_range.end > std::max(length, data_range.begin)) __builtin_trap();
    return 0;
}
