// The WAV header check, the chunk walk and the data-chunk search on arbitrary bytes.
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
    const engine::ReadAt read_at = [file](int64_t offset, uint8_t* bytes, size_t wanted) -> size_t {
        if (offset < 0 || static_cast<uint64_t>(offset) >= file.size()) return 0;
        const size_t n = std::min(wanted, file.size() - static_cast<size_t>(offset));
        std::copy_n(file.begin() + offset, n, bytes);
        return n;
    };
    const auto searched = engine::find_wav_data(file.first(std::min(size, engine::kWavSearchBytes + 4)), length);
    const auto located = engine::locate_wav_data(read_at, length);
    for (const auto& data_range : {searched, located}) {
        // The samples lie within the file (or are empty), never before its start.
        if (data_range.begin < 8 || data_range.end < data_range.begin) __builtin_trap();
        if (data_range.end > std::max(length, data_range.begin)) __builtin_trap();
    }
    // A data chunk found by walking the chunks lies inside the file.
    if (const auto walked = engine::walk_to_data_chunk(read_at, length); walked && walked->begin > length) __builtin_trap();
    return 0;
}
