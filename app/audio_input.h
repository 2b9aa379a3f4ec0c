// What the application does with an input before the control sees it: the
// control takes only canonical 16-bit PCM WAV at nine rates, so anything else
// libsndfile can read is converted into a temporary file of that kind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zubmp3::app {

struct InputProbe {
    enum class Kind {
        direct,   // the control takes the file as it is
        convert,  // libsndfile reads it; the control takes the converted copy
        refused,  // readable, but cannot be encoded (more than two channels)
        unknown,  // neither can tell: the control is asked and answers
    };
    Kind kind = Kind::unknown;
    int channels = 0;
    int sample_rate = 0;
    int64_t frames = 0;     // 0 when not known
    std::string why;        // convert: what the control would refuse, e.g. "24-bit samples, 96000 Hz";
                            // refused and unknown: the reason in words, e.g. "not a WAV file"
    double seconds() const { return sample_rate > 0 ? static_cast<double>(frames) / sample_rate : 0; }
};

// True for the nine rates the encoder takes.
bool is_encoder_rate(int rate);

// The rate a converted copy gets: the lowest rate the encoder takes that is
// not below `rate` (nothing audible is lost), or 48000 for higher rates.
int encoder_rate_for(int rate);

// The control's refusals read from a WAV header image (the file's first
// bytes): "" when the control takes it, otherwise what it refuses in words.
// `riff_wave` tells whether the image is a RIFF/WAVE file at all.
std::string header_refusals(const std::vector<uint8_t>& head, bool& riff_wave);

InputProbe probe_input(const std::string& path);

struct ConvertHooks {
    std::function<void(int percent)> progress;  // 0..100, called when the figure changes
    std::function<bool()> cancelled;            // asked between blocks
};

enum class ConvertResult { done, cancelled, failed };

// Writes `input` to `output` as 16-bit PCM WAV (canonical header) at
// encoder_rate_for its rate, with TPDF dither wherever samples lose
// precision. On failure `error` says why; the caller removes `output` unless
// the result is done.
ConvertResult convert_to_pcm16(const std::string& input, const std::string& output, const ConvertHooks& hooks,
                               std::string& error);

}  // namespace zubmp3::app
