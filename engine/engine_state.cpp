#include "engine_state.h"

#include <cstdlib>

namespace engine {

std::atomic<int32_t> job_status{0};
std::atomic<int32_t> job_progress{0};
std::atomic<int32_t> pause_requested{0};
std::atomic<int32_t> cancel_requested{0};

char input_wav_path[kInputPathSize];
char output_mp3_path[kOutputPathSize];
bool input_path_fits = true;
bool output_path_fits = true;

std::atomic<int32_t> setting_bitrate{128};
std::atomic<int32_t> setting_vbr{0};
std::atomic<int32_t> setting_vbr_max_bitrate{320};
std::atomic<int32_t> setting_stereo_mode{1};
std::atomic<int32_t> setting_quality{0};
std::atomic<int32_t> setting_priority{2};

std::atomic<int32_t> tag_alloc_count{0};

void* tag_alloc(size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr) ++tag_alloc_count;
    return block;
}

void tag_free(void* block) {
    if (block == nullptr) return;
    std::free(block);
    --tag_alloc_count;
}

}  // namespace engine
