// The six BladeEnc-style entry points over libmp3lame.
#include "encoder/blade_enc.h"

#include <lame/lame.h>

#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "info_tag.h"
#include "streams.h"

#define BE_EXPORT extern "C" __attribute__((visibility("default")))

namespace encoder {
namespace {

struct ModeChoice {
    MPEG_mode mode;
    int input_channels;
};

bool choose_mode(int32_t n_mode, ModeChoice& choice) {
    switch (n_mode) {
        case BE_MP3_MODE_STEREO: choice = {STEREO, 2}; return true;
        case BE_MP3_MODE_JSTEREO: choice = {JOINT_STEREO, 2}; return true;
        case BE_MP3_MODE_DUALCHANNEL: choice = {DUAL_CHANNEL, 2}; return true;
        case BE_MP3_MODE_MONO: choice = {MONO, 1}; return true;
        case BE_MP3_MODE_MONO_DOWNMIX: choice = {MONO, 2}; return true;  // LAME averages the channels
        default: return false;
    }
}

// LAME's algorithm quality (0 best, 9 fastest) for a preset; -1 when unknown.
int preset_quality(int32_t preset) {
    switch (preset) {
        case LQP_NORMAL_QUALITY: return 3;  // what the lame command line uses by default
        case LQP_LOW_QUALITY: return 9;
        case LQP_HIGH_QUALITY: return 2;
        default: return -1;
    }
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

bool fits_int(uint32_t value) { return value <= static_cast<uint32_t>(std::numeric_limits<int>::max()); }

BE_ERR configure(lame_t lame, const BE_CONFIG& config, int& input_channels) {
    ModeChoice choice{};
    if (!choose_mode(config.nMode, choice)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    int quality = preset_quality(config.nPreset);
    if (quality < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int low = config.nQuality & 0xFF;
    const int high = config.nQuality >> 8;
    if (high == (~low & 0xFF) && low <= 9) quality = low;
    if (!fits_int(config.dwSampleRate) || !fits_int(config.dwReSampleRate) || !fits_int(config.dwBitrate) ||
        !fits_int(config.dwMaxBitrate) || !fits_int(config.dwVbrAbr_bps))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    bool ok = lame_set_num_channels(lame, choice.input_channels) == 0 &&
              lame_set_in_samplerate(lame, static_cast<int>(config.dwSampleRate)) == 0 &&
              lame_set_mode(lame, choice.mode) == 0 && lame_set_quality(lame, quality) == 0 &&
              lame_set_copyright(lame, config.bCopyright != 0) == 0 &&
              lame_set_original(lame, config.bOriginal != 0) == 0 &&
              lame_set_extension(lame, config.bPrivate != 0) == 0 &&
              lame_set_error_protection(lame, config.bCRC != 0) == 0 &&
              lame_set_strict_ISO(lame, config.bStrictIso != 0) == 0 &&
              lame_set_disable_reservoir(lame, config.bNoRes != 0) == 0 &&
              lame_set_emphasis(lame, static_cast<int>(config.dwEmphasis & 3)) == 0 &&
              // The tag frame is reserved for constant bitrate too: players then
              // know the exact length and the encoder delay and padding.
              lame_set_bWriteVbrTag(lame, 1) == 0;
    if (ok && config.dwReSampleRate != 0) ok = lame_set_out_samplerate(lame, static_cast<int>(config.dwReSampleRate)) == 0;
    if (ok && config.bEnableVBR != 0) {
        if (config.nVBRQuality < 0 || config.nVBRQuality > 9) return BE_ERR_INVALID_FORMAT_PARAMETERS;
        const vbr_mode method = vbr_method(config.nVbrMethod);
        ok = lame_set_VBR(lame, method) == 0 && lame_set_VBR_q(lame, config.nVBRQuality) == 0 &&
             lame_set_VBR_min_bitrate_kbps(lame, static_cast<int>(config.dwBitrate)) == 0;
        if (ok && config.dwMaxBitrate != 0)
            ok = lame_set_VBR_max_bitrate_kbps(lame, static_cast<int>(config.dwMaxBitrate)) == 0;
        if (ok && method == vbr_abr)
            ok = lame_set_VBR_mean_bitrate_kbps(lame, static_cast<int>(config.dwVbrAbr_bps / 1000)) == 0;
    } else if (ok) {
        ok = lame_set_VBR(lame, vbr_off) == 0 && lame_set_brate(lame, static_cast<int>(config.dwBitrate)) == 0;
    }
    if (!ok) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    lame_set_write_id3tag_automatic(lame, 0);
    if (lame_init_params(lame) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    input_channels = choice.input_channels;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR from_lame_result(int result) {
    return result == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
}

}  // namespace
}  // namespace encoder

using encoder::Stream;

BE_EXPORT BE_ERR beInitStream(BE_CONFIG* config, uint32_t* samples, uint32_t* mp3_buffer_size, HBE_STREAM* stream) {
    if (config == nullptr || samples == nullptr || mp3_buffer_size == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_LAME) return BE_ERR_INVALID_FORMAT;
    if (config->dwStructVersion < 1 || config->dwStructSize < BE_CONFIG_SIZE) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    auto opened = std::unique_ptr<Stream>(new (std::nothrow) Stream);
    if (opened == nullptr || (opened->lame = lame_init()) == nullptr) return BE_ERR_NO_MORE_HANDLES;
    int channels = 0;
    if (const BE_ERR error = encoder::configure(opened->lame, *config, channels); error != BE_ERR_SUCCESSFUL)
        return error;
    const int frame_size = lame_get_framesize(opened->lame);
    if (frame_size <= 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    opened->input_channels = channels;
    opened->samples_per_chunk = static_cast<uint32_t>(frame_size * channels);
    opened->mp3_buffer_size = static_cast<uint32_t>(frame_size * 5 / 4 + 7200);  // lame.h's worst case

    const uint32_t per_chunk = opened->samples_per_chunk;
    const uint32_t buffer_size = opened->mp3_buffer_size;
    const HBE_STREAM handle = encoder::add_stream(std::move(opened));
    if (handle == 0) return BE_ERR_NO_MORE_HANDLES;
    *samples = per_chunk;
    *mp3_buffer_size = buffer_size;
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM handle, uint32_t count, int16_t* pcm, uint8_t* output,
                               uint32_t* output_bytes) {
    Stream* stream = encoder::find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || output_bytes == nullptr || (pcm == nullptr && count != 0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *output_bytes = 0;
    if (stream->flushed || count > stream->samples_per_chunk) return BE_ERR_INVALID_FORMAT_PARAMETERS;

    // A value left over from an incomplete last frame is dropped.
    const int frames = static_cast<int>(count) / stream->input_channels;
    const int buffer_size = static_cast<int>(stream->mp3_buffer_size);
    const int result = stream->input_channels == 2
                           ? lame_encode_buffer_interleaved(stream->lame, pcm, frames, output, buffer_size)
                           : lame_encode_buffer(stream->lame, pcm, pcm, frames, output, buffer_size);
    if (result < 0) return encoder::from_lame_result(result);
    *output_bytes = static_cast<uint32_t>(result);
    return BE_ERR_SUCCESSFUL;
}

BE_EXPORT BE_ERR beDeinitStream(HBE_STREAM handle, uint8_t* output, uint32_t* output_bytes) {
    Stream* stream = encoder::find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    if (output == nullptr || output_bytes == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *output_bytes = 0;
    if (stream->flushed) return BE_ERR_SUCCESSFUL;  // the stream holds nothing more
    const int result = lame_encode_flush(stream->lame, output, static_cast<int>(stream->mp3_buffer_size));
    if (result < 0) return encoder::from_lame_result(result);
    stream->flushed = true;
    encoder::set_last_flushed(handle);
    *output_bytes = static_cast<uint32_t>(result);
    return BE_ERR_SUCCESSFUL;
}

BE_EXPORT BE_ERR beCloseStream(HBE_STREAM handle) {
    return encoder::remove_stream(handle) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

BE_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM handle, const char* file_name) {
    Stream* stream = encoder::find_stream(handle);
    if (stream == nullptr) return BE_ERR_INVALID_HANDLE;
    // Before the flush the tag would describe frames that never reached the file.
    if (!stream->flushed || file_name == nullptr) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    std::vector<uint8_t> frame(2048);
    size_t size = lame_get_lametag_frame(stream->lame, frame.data(), frame.size());
    if (size > frame.size()) {
        frame.resize(size);
        size = lame_get_lametag_frame(stream->lame, frame.data(), frame.size());
        if (size > frame.size()) return BE_ERR_BUFFER_TOO_SMALL;
    }
    if (size == 0) return BE_ERR_SUCCESSFUL;  // LAME reserved no frame
    return encoder::write_tag_frame(file_name, std::span<const uint8_t>(frame.data(), size));
}

BE_EXPORT BE_ERR beWriteVBRHeader(const char* file_name) {
    const HBE_STREAM handle = encoder::last_flushed();
    if (handle == 0) return BE_ERR_INVALID_HANDLE;
    return beWriteInfoTag(handle, file_name);
}
