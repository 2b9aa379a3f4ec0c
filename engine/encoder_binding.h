// The outside encoder library: its six entry points, bound once, and the
// configuration record a job hands to it.
#pragma once

#include <cstdint>

#include "encoder/blade_enc.h"
#include "zubmp3/engine_results.h"

namespace engine {

struct EncoderEntryPoints {
    BEINITSTREAM init_stream = nullptr;
    BEENCODECHUNK encode_chunk = nullptr;
    BEDEINITSTREAM deinit_stream = nullptr;
    BECLOSESTREAM close_stream = nullptr;
    BEWRITEVBRHEADER write_vbr_header = nullptr;
    BEWRITEINFOTAG write_info_tag = nullptr;
};

// Loads "zubmp3enc1.dll" and resolves the six entry points, the first time it
// succeeds; 0 when they are available, 1 when not (a missing library is also
// shown in a message box).
int32_t bind_encoder_library();

// The bound entry points; valid after bind_encoder_library returned 0.
const EncoderEntryPoints& encoder_entry_points();

constexpr int32_t kStereoModeMonoDownmix = 4;

// Checks the settings (in this order: stereo mode, bitrate, quality) and fills
// `config` for an input of `channels` and `sample_rate`. Returns kJobDone, or
// the job status kJobInvalidStereoMode, kJobInvalidBitrate or
// kJobInvalidQuality. A stereo mode of 3 is stored back as 4 first.
int32_t fill_encoder_config(BE_CONFIG& config, int32_t channels, int32_t sample_rate);

}  // namespace engine
