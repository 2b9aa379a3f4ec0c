#include "encoder_binding.h"

#include <algorithm>
#include <cstring>

#include "engine_state.h"
#include "job.h"
#include "platform/win32.h"
#include "trace.h"

namespace engine {
namespace {

HMODULE encoder_library = nullptr;  // set once, never released
EncoderEntryPoints entry_points;

template <typename Function>
bool resolve(HMODULE module, const char* name, Function& slot) {
    slot = reinterpret_cast<Function>(GetProcAddress(module, name));
    return slot != nullptr;
}

bool is_accepted_bitrate(int32_t bitrate) {
    constexpr int32_t kBitrates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    return std::find(std::begin(kBitrates), std::end(kBitrates), bitrate) != std::end(kBitrates);
}

}  // namespace

int32_t bind_encoder_library() {
    if (encoder_library != nullptr) return 0;
    HMODULE module = LoadLibraryA("zubmp3enc1.dll");
    if (module == nullptr) {
        show_debug_message("Unable to load library zubmp3enc1.dll \n");
        return 1;
    }
    engine_trace("ok loading the library \n");
    EncoderEntryPoints found;
    const bool complete = resolve(module, "beInitStream", found.init_stream) &&
                          resolve(module, "beEncodeChunk", found.encode_chunk) &&
                          resolve(module, "beDeinitStream", found.deinit_stream) &&
                          resolve(module, "beCloseStream", found.close_stream) &&
                          resolve(module, "beWriteVBRHeader", found.write_vbr_header) &&
                          resolve(module, "beWriteInfoTag", found.write_info_tag);
    if (!complete) {
        engine_trace("unable to find the required functions \n");
        FreeLibrary(module);  // nothing of a failed binding is kept
        return 1;
    }
    entry_points = found;
    encoder_library = module;
    engine_trace("functions loaded \n");
    return 0;
}

const EncoderEntryPoints& encoder_entry_points() { return entry_points; }

int32_t fill_encoder_config(BE_CONFIG& config, int32_t channels, int32_t sample_rate) {
    std::memset(&config, 0, sizeof config);
    int32_t stereo_mode = setting_stereo_mode.load();
    if (stereo_mode == 3) {  // "mono" for two channels: downmixed by the encoder
        stereo_mode = kStereoModeMonoDownmix;
        setting_stereo_mode = stereo_mode;
    }
    const int32_t bitrate = setting_bitrate;
    const int32_t quality = setting_quality;
    const bool vbr = setting_vbr != 0;
    if (stereo_mode < 0 || stereo_mode > 4) {
        engine_trace("Invalid stereo mode value \n");
        return kJobInvalidStereoMode;
    }
    if (!is_accepted_bitrate(bitrate)) {
        engine_trace("Invalid bitrate value\n");
        return kJobInvalidBitrate;
    }
    if (quality < 0 || quality > 2) {
        engine_trace("Invalid quality settings \n");
        return kJobInvalidQuality;
    }
    if (vbr) engine_trace("usando vbr settings \n");

    config.dwConfig = BE_CONFIG_LAME;
    config.dwStructVersion = 1;
    config.dwStructSize = BE_CONFIG_SIZE;
    config.dwSampleRate = static_cast<uint32_t>(sample_rate);
    config.dwReSampleRate = 0;
    config.nMode = channels == 1 ? BE_MP3_MODE_MONO : stereo_mode;
    config.dwBitrate = static_cast<uint32_t>(bitrate);
    config.dwMaxBitrate = static_cast<uint32_t>(setting_vbr_max_bitrate.load());
    config.nPreset = quality;
    config.dwMpegVersion = 1;
    config.bOriginal = 1;
    config.bWriteVBRHeader = vbr ? 1 : 0;
    config.bEnableVBR = vbr ? 1 : 0;
    config.bNoRes = 1;
    return kJobDone;
}

}  // namespace engine
