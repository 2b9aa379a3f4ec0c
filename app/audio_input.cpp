#include "audio_input.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace zubmp3::app {
namespace {

constexpr std::array<int, 9> kEncoderRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr size_t kHeadBytes = 64 * 1024;  // a data chunk further in is left to the converter
constexpr int kBlockFrames = 8192;

uint32_t u16_le(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t u32_le(const uint8_t* p) { return u16_le(p) | u16_le(p + 2) << 16; }

std::vector<uint8_t> read_head(const std::string& path, bool& opened) {
    std::ifstream file(path, std::ios::binary);
    opened = static_cast<bool>(file);
    std::vector<uint8_t> head(kHeadBytes);
    if (opened) file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(opened ? static_cast<size_t>(file.gcount()) : 0);
    return head;
}

// True when a walk over the chunks from offset 12 reaches a "data" chunk
// within the image: the engine finds the samples where they are.
bool data_chunk_reached(const std::vector<uint8_t>& head) {
    size_t at = 12;
    while (head.size() >= 8 && at <= head.size() - 8) {
        const uint8_t* chunk = head.data() + at;  // 0 id, 4 size
        if (std::memcmp(chunk, "data", 4) == 0) return true;
        const uint64_t next = uint64_t{at} + 8 + u32_le(chunk + 4) + (u32_le(chunk + 4) & 1);
        if (next > head.size()) return false;
        at = static_cast<size_t>(next);
    }
    return false;
}

void add(std::string& list, const std::string& item) { list += (list.empty() ? "" : ", ") + item; }

bool is_accepted_rate(uint32_t rate) {
    return std::find(kEncoderRates.begin(), kEncoderRates.end(), static_cast<int>(rate)) != kEncoderRates.end();
}

// What the control refuses in a format chunk body: 0 format tag, 2
// channels, 4 sample rate, 8 byte rate, 12 block align, 14 bits per sample.
std::string format_refusals(const uint8_t* fmt) {
    const uint32_t tag = u16_le(fmt), channels = u16_le(fmt + 2), rate = u32_le(fmt + 4), bits = u16_le(fmt + 14);
    std::string refusals;
    if (tag == 3) add(refusals, "floating-point samples");
    else if (tag == 0xFFFE) add(refusals, "extensible format");
    else if (tag != 1) add(refusals, "compressed samples (format " + std::to_string(tag) + ")");
    if (bits != 16 && tag != 3) add(refusals, std::to_string(bits) + "-bit samples");
    if (channels != 1 && channels != 2) add(refusals, std::to_string(channels) + " channels");
    if (!is_accepted_rate(rate)) add(refusals, std::to_string(rate) + " Hz");
    return refusals;
}

// A libsndfile handle closed with its owner.
struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

struct SoxrDeleter {
    void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, SoxrDeleter>;

// Integer sources of at most 16 bits come through a float read exactly.
bool exact_in_16_bits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16: return true;
        default: return false;
    }
}

// Turns float samples (full scale +-1) into 16-bit ones, with triangular
// (TPDF) dither of +-1 LSB when asked.
class Quantiser {
public:
    explicit Quantiser(bool dither) : dither_(dither) {}
    void run(const float* in, size_t count, std::vector<short>& out) {
        out.resize(count);
        for (size_t i = 0; i < count; ++i) {
            float v = in[i] * 32768.0f;
            if (dither_) v += uniform_(random_) - uniform_(random_);
            out[i] = static_cast<short>(std::clamp(std::lrint(v), -32768L, 32767L));
        }
    }

private:
    bool dither_;
    std::minstd_rand random_{0x5EED};
    std::uniform_real_distribution<float> uniform_{0.0f, 1.0f};
};

class Converter {
public:
    Converter(SNDFILE* in, const SF_INFO& info, SNDFILE* out, int out_rate, const ConvertHooks& hooks)
        : in_(in), info_(info), out_(out), hooks_(hooks),
          quantiser_(out_rate != info.samplerate || !exact_in_16_bits(info.format)) {
        if (out_rate != info.samplerate) {
            soxr_error_t error = nullptr;
            const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
            const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
            resampler_.reset(soxr_create(info.samplerate, out_rate, static_cast<unsigned>(info.channels), &error, &io,
                                         &quality, nullptr));
            if (error != nullptr) resampler_.reset();
            ratio_ = static_cast<double>(out_rate) / info.samplerate;
            resampling_ = true;
        }
    }

    ConvertResult run(std::string& error) {
        if (resampling_ && !resampler_) return error = "the resampler cannot be set up", ConvertResult::failed;
        std::vector<float> block(static_cast<size_t>(kBlockFrames) * info_.channels);
        int64_t done = 0;
        for (;;) {
            if (hooks_.cancelled && hooks_.cancelled()) return ConvertResult::cancelled;
            const sf_count_t got = sf_readf_float(in_, block.data(), kBlockFrames);
            if (got <= 0) break;
            if (!put(block.data(), static_cast<size_t>(got))) return error = write_error(), ConvertResult::failed;
            done += got;
            report(done);
        }
        if (sf_error(in_) != SF_ERR_NO_ERROR) return error = sf_strerror(in_), ConvertResult::failed;
        if (!flush()) return error = write_error(), ConvertResult::failed;
        return ConvertResult::done;
    }

private:
    std::string write_error() const { return std::string("the converted copy cannot be written: ") + sf_strerror(out_); }

    bool write(const float* samples, size_t frames) {
        quantiser_.run(samples, frames * info_.channels, shorts_);
        return sf_writef_short(out_, shorts_.data(), static_cast<sf_count_t>(frames)) == static_cast<sf_count_t>(frames);
    }

    bool put(const float* samples, size_t frames) {
        if (!resampler_) return write(samples, frames);
        resampled_.resize((static_cast<size_t>(frames * ratio_) + 64) * info_.channels);
        size_t made = 0;
        soxr_process(resampler_.get(), samples, frames, nullptr, resampled_.data(), resampled_.size() / info_.channels,
                     &made);
        return write(resampled_.data(), made);
    }

    // The resampler's last samples.
    bool flush() {
        if (!resampler_) return true;
        resampled_.resize(static_cast<size_t>(kBlockFrames) * info_.channels);
        for (;;) {
            size_t made = 0;
            soxr_process(resampler_.get(), nullptr, 0, nullptr, resampled_.data(), kBlockFrames, &made);
            if (made == 0) return true;
            if (!write(resampled_.data(), made)) return false;
        }
    }

    void report(int64_t done) {
        if (!hooks_.progress || info_.frames <= 0) return;
        const int percent = static_cast<int>(std::min<int64_t>(done * 100 / info_.frames, 100));
        if (percent != last_percent_) hooks_.progress(last_percent_ = percent);
    }

    SNDFILE* in_;
    SF_INFO info_;
    SNDFILE* out_;
    const ConvertHooks& hooks_;
    Quantiser quantiser_;
    Resampler resampler_;
    bool resampling_ = false;
    double ratio_ = 1;
    std::vector<float> resampled_;
    std::vector<short> shorts_;
    int last_percent_ = -1;
};

}  // namespace

bool is_encoder_rate(int rate) { return rate > 0 && is_accepted_rate(static_cast<uint32_t>(rate)); }

int encoder_rate_for(int rate) {
    for (const int accepted : kEncoderRates)
        if (accepted >= rate) return accepted;
    return kEncoderRates.back();
}

std::string header_refusals(const std::vector<uint8_t>& head, bool& riff_wave) {
    // 0 "RIFF", 4 size, 8 "WAVE", 12 "fmt ", 16 its size, 20 its body. The
    // control reads the body at these offsets whatever chunk stands there.
    riff_wave = head.size() >= 12 && std::memcmp(head.data(), "RIFF", 4) == 0 &&
                std::memcmp(head.data() + 8, "WAVE", 4) == 0;
    if (!riff_wave) return "not a WAV file";
    if (head.size() < 36) return "cut short in its header";
    if (std::memcmp(head.data() + 12, "fmt ", 4) != 0 || u32_le(head.data() + 16) < 16)
        return "chunks before the format chunk";
    std::string refusals = format_refusals(head.data() + 20);
    if (refusals.empty() && !data_chunk_reached(head)) refusals = "no data chunk found";
    return refusals;
}

InputProbe probe_input(const std::string& path) {
    InputProbe probe;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return probe;  // never wait on a FIFO: the control says what it is
    bool opened = false;
    const std::vector<uint8_t> head = read_head(path, opened);
    if (!opened) return probe;  // the control says what is wrong with the path
    bool riff_wave = false;
    const std::string refusals = header_refusals(head, riff_wave);

    SF_INFO info{};
    const Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
    if (file) {
        probe.channels = info.channels;
        probe.sample_rate = info.samplerate;
        probe.frames = info.frames > 0 && info.frames < SF_COUNT_MAX ? info.frames : 0;
    }
    if (refusals.empty()) {
        probe.kind = InputProbe::Kind::direct;
    } else if (!file) {
        probe.why = riff_wave ? "a WAV file that cannot be read (" + refusals + ")" : refusals;
    } else if (info.channels > 2) {
        probe.kind = InputProbe::Kind::refused;
        probe.why = std::to_string(info.channels) + " channels; only mono and stereo can be encoded";
    } else {
        probe.kind = InputProbe::Kind::convert;
        probe.why = riff_wave ? refusals : "not a WAV file";
    }
    return probe;
}

ConvertResult convert_to_pcm16(const std::string& input, const std::string& output, const ConvertHooks& hooks,
                               std::string& error) {
    SF_INFO in_info{};
    const Sndfile in(sf_open(input.c_str(), SFM_READ, &in_info));
    if (!in) return error = sf_strerror(nullptr), ConvertResult::failed;
    if (in_info.channels < 1 || in_info.channels > 2)
        return error = std::to_string(in_info.channels) + " channels", ConvertResult::failed;

    SF_INFO out_info{};
    out_info.samplerate = encoder_rate_for(in_info.samplerate);
    out_info.channels = in_info.channels;
    out_info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const Sndfile out(sf_open(output.c_str(), SFM_WRITE, &out_info));
    if (!out) return error = std::string("the converted copy cannot be created: ") + sf_strerror(nullptr),
                  ConvertResult::failed;
    return Converter(in.get(), in_info, out.get(), out_info.samplerate, hooks).run(error);
}

}  // namespace zubmp3::app
