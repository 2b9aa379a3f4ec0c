#include "engine_state.h"

namespace engine {

std::atomic<int32_t> job_status{0};
std::atomic<int32_t> job_progress{0};
std::atomic<int32_t> pause_requested{0};
std::atomic<int32_t> cancel_requested{0};
std::atomic<int32_t> job_held{0};

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

}  // namespace engine
