#include "lame_config.h"

#include <cstdint>
#include <limits>

namespace encoder {
namespace {

bool fits_int(uint32_t value) { return value <= static_cast<uint32_t>(std::numeric_limits<int>::max()); }

int as_int(uint32_t value) { return static_cast<int>(value); }

// nMode: the LAME mode and the number of interleaved input channels.
BE_ERR configure_mode(lame_t lame, int32_t n_mode, int& input_channels) {
    MPEG_mode mode;
    switch (n_mode) {
        case BE_MP3_MODE_STEREO: mode = STEREO, input_channels = 2; break;
        case BE_MP3_MODE_JSTEREO: mode = JOINT_STEREO, input_channels = 2; break;
        case BE_MP3_MODE_DUALCHANNEL: mode = DUAL_CHANNEL, input_channels = 2; break;
        case BE_MP3_MODE_MONO: mode = MONO, input_channels = 1; break;
        case BE_MP3_MODE_MONO_DOWNMIX: mode = MONO, input_channels = 2; break;  // LAME averages the channels
        default: return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const bool ok = lame_set_num_channels(lame, input_channels) == 0 && lame_set_mode(lame, mode) == 0;
    return ok ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

// nPreset gives LAME's algorithm quality (0 best, 9 fastest); nQuality
// overrides it when its high byte is the complement of its low byte.
BE_ERR configure_quality(lame_t lame, int32_t preset, uint16_t n_quality) {
    int quality;
    switch (preset) {
        case LQP_NORMAL_QUALITY: quality = 3; break;  // what the lame command line uses by default
        case LQP_LOW_QUALITY: quality = 9; break;
        case LQP_HIGH_QUALITY: quality = 2; break;
        default: return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const int low = n_quality & 0xFF;
    const int high = n_quality >> 8;
    if (high == (~low & 0xFF) && low <= 9) quality = low;
    return lame_set_quality(lame, quality) == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

// Sample rates, header bits, the bit reservoir and the tag frame.
BE_ERR configure_stream(lame_t lame, const BE_CONFIG& config, bool write_tag) {
    if (!fits_int(config.dwSampleRate) || !fits_int(config.dwReSampleRate)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    bool ok = lame_set_in_samplerate(lame, as_int(config.dwSampleRate)) == 0 &&
              lame_set_copyright(lame, config.bCopyright != 0) == 0 &&
              lame_set_original(lame, config.bOriginal != 0) == 0 &&
              lame_set_extension(lame, config.bPrivate != 0) == 0 &&
              lame_set_error_protection(lame, config.bCRC != 0) == 0 &&
              lame_set_strict_ISO(lame, config.bStrictIso != 0) == 0 &&
              lame_set_disable_reservoir(lame, config.bNoRes != 0) == 0 &&
              lame_set_emphasis(lame, static_cast<int>(config.dwEmphasis & 3)) == 0 &&
              // The tag frame is reserved for constant bitrate too: players then
              // know the exact length and the encoder delay and padding.
              lame_set_bWriteVbrTag(lame, write_tag ? 1 : 0) == 0;
    if (ok && config.dwReSampleRate != 0) ok = lame_set_out_samplerate(lame, as_int(config.dwReSampleRate)) == 0;
    return ok ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

vbr_mode vbr_method(int32_t method) {
    switch (method) {
        case VBR_METHOD_OLD: return vbr_rh;
        case VBR_METHOD_NEW:
        case VBR_METHOD_MTRH: return vbr_mtrh;
        case VBR_METHOD_ABR: return vbr_abr;
        default: return vbr_default;
    }
}

// Variable bitrate: dwBitrate is the minimum; the VBR fields apply only here.
BE_ERR configure_vbr(lame_t lame, const BE_CONFIG& config) {
    if (config.nVBRQuality < 0 || config.nVBRQuality > 9 || !fits_int(config.dwBitrate) ||
        !fits_int(config.dwMaxBitrate) || !fits_int(config.dwVbrAbr_bps))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const vbr_mode method = vbr_method(config.nVbrMethod);
    bool ok = lame_set_VBR(lame, method) == 0 && lame_set_VBR_q(lame, config.nVBRQuality) == 0 &&
              lame_set_VBR_min_bitrate_kbps(lame, as_int(config.dwBitrate)) == 0;
    if (ok && config.dwMaxBitrate != 0) ok = lame_set_VBR_max_bitrate_kbps(lame, as_int(config.dwMaxBitrate)) == 0;
    if (ok && method == vbr_abr) ok = lame_set_VBR_mean_bitrate_kbps(lame, as_int(config.dwVbrAbr_bps / 1000)) == 0;
    return ok ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

// Constant bitrate: only dwBitrate counts; the VBR fields are ignored.
BE_ERR configure_cbr(lame_t lame, const BE_CONFIG& config) {
    if (!fits_int(config.dwBitrate)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const bool ok = lame_set_VBR(lame, vbr_off) == 0 && lame_set_brate(lame, as_int(config.dwBitrate)) == 0;
    return ok ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

}  // namespace

BE_ERR configure(lame_t lame, const BE_CONFIG& config, bool write_tag, int& input_channels) {
    int channels = 0;
    BE_ERR error = configure_mode(lame, config.nMode, channels);
    if (error == BE_ERR_SUCCESSFUL) error = configure_quality(lame, config.nPreset, config.nQuality);
    if (error == BE_ERR_SUCCESSFUL) error = configure_stream(lame, config, write_tag);
    if (error == BE_ERR_SUCCESSFUL)
        error = config.bEnableVBR != 0 ? configure_vbr(lame, config) : configure_cbr(lame, config);
    if (error != BE_ERR_SUCCESSFUL) return error;
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    input_channels = channels;
    return BE_ERR_SUCCESSFUL;
}

}  // namespace encoder
