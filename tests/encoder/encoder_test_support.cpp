#include "encoder_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mp3_frame.h"

namespace encoder_testing {

using testing_support::run_command;
using testing_support::shell_quote;

BE_CONFIG job_config(int32_t mode, uint32_t rate, bool vbr, uint32_t kbps, uint32_t max_kbps) {
    BE_CONFIG c{};
    c.dwConfig = BE_CONFIG_LAME;
    c.dwStructVersion = 1;
    c.dwStructSize = BE_CONFIG_SIZE;
    c.dwSampleRate = rate;
    c.nMode = mode;
    c.dwBitrate = kbps;
    c.dwMaxBitrate = max_kbps;
    c.dwMpegVersion = 1;
    c.bOriginal = 1;
    c.bEnableVBR = vbr;
    c.bWriteVBRHeader = vbr;
    c.bNoRes = 1;
    return c;
}

Encoding encode_file(const BE_CONFIG& config, const Samples& pcm, const fs::path& path, size_t limit) {
    Encoding result;
    BE_CONFIG c = config;
    uint32_t chunk = 0;
    HBE_STREAM stream = 0;
    result.error = beInitStream(&c, &chunk, &result.buffer_size, &stream);
    if (result.error != BE_ERR_SUCCESSFUL) return result;
    Bytes out(2 * size_t{result.buffer_size});  // as the engine allocates
    std::vector<int16_t> buffer(chunk);
    uint32_t bytes = 0;
    const size_t end = std::min(limit, pcm.size());
    for (size_t at = 0; at < end && result.error == BE_ERR_SUCCESSFUL; at += chunk) {
        const size_t count = std::min<size_t>(chunk, end - at);
        std::copy_n(pcm.begin() + static_cast<ptrdiff_t>(at), count, buffer.begin());
        result.error = beEncodeChunk(stream, static_cast<uint32_t>(count), buffer.data(), out.data(), &bytes);
        result.largest_output = std::max(result.largest_output, bytes);
        result.mp3.insert(result.mp3.end(), out.begin(), out.begin() + bytes);
    }
    if (result.error == BE_ERR_SUCCESSFUL) {
        result.error = beDeinitStream(stream, out.data(), &bytes);
        result.largest_output = std::max(result.largest_output, bytes);
        result.mp3.insert(result.mp3.end(), out.begin(), out.begin() + bytes);
    }
    testing_support::write_file(path, result.mp3);
    const std::string windows = "Z:" + path.string();
    std::string backslashed = windows;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    if (result.error == BE_ERR_SUCCESSFUL) {
        EXPECT_EQ(beWriteInfoTag(stream, backslashed.c_str()), BE_ERR_SUCCESSFUL);
    }
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    result.mp3 = testing_support::read_file(path);
    return result;
}

namespace {

Samples samples_of(const Bytes& bytes, size_t offset) {
    Samples samples(bytes.size() > offset ? (bytes.size() - offset) / 2 : 0);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + offset, samples.size() * 2);
    return samples;
}

}  // namespace

Samples demo_music(double seconds, int rate, int channels) {
    testing_support::TempDir dir;
    const fs::path wav = dir / "demo.wav";
    const auto result = run_command(std::string(ZUBMP3_BUILD_BIN_DIR) + "/zubmp3-demo-wav " + shell_quote(wav.string()) +
                                    " --seconds " + std::to_string(seconds) + " --rate " + std::to_string(rate) +
                                    " --channels " + std::to_string(channels));
    EXPECT_EQ(result.status, 0);
    return samples_of(testing_support::read_file(wav), 44);  // a canonical header
}

Samples noise(double seconds, int rate, int channels) {
    Samples samples(static_cast<size_t>(seconds * rate) * static_cast<size_t>(channels));
    uint64_t state = 12345;
    double low[2] = {0, 0};
    for (size_t i = 0; i < samples.size(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double white = static_cast<double>(state >> 33) / static_cast<double>(1ull << 31) - 1.0;
        double& filtered = low[i % static_cast<size_t>(channels)];
        filtered = 0.9 * filtered + 0.1 * white;
        samples[i] = static_cast<int16_t>(std::clamp(filtered * 60000.0, -32768.0, 32767.0));
    }
    return samples;
}

std::vector<Decoded> decode_all(const std::vector<fs::path>& mp3s) {
    std::string inputs, outputs;
    for (size_t i = 0; i < mp3s.size(); ++i) {
        inputs += " -i " + shell_quote(mp3s[i].string());
        outputs += " -map " + std::to_string(i) + " -f s16le -acodec pcm_s16le " + shell_quote(mp3s[i].string() + ".raw");
    }
    const fs::path log = mp3s.front().string() + ".log";
    const auto result =
        run_command("ffmpeg -nostdin -v error -y" + inputs + outputs + " 2>" + shell_quote(log.string()));
    const Bytes errors = testing_support::read_file(log);
    fs::remove(log);
    std::vector<Decoded> decoded(mp3s.size());
    for (size_t i = 0; i < mp3s.size(); ++i) {
        const fs::path raw = mp3s[i].string() + ".raw";
        decoded[i].errors.assign(errors.begin(), errors.end());
        decoded[i].samples = samples_of(testing_support::read_file(raw), 0);
        decoded[i].ok = result.status == 0 && errors.empty();
        fs::remove(raw);
    }
    return decoded;
}

Decoded decode(const fs::path& mp3) { return decode_all({mp3}).front(); }

bool mpg123_clean(const fs::path& mp3, std::string& messages) {
    const auto result = run_command("mpg123 -q -t " + shell_quote(mp3.string()) + " 2>&1");
    messages = result.output;
    return result.status == 0 && result.output.empty();
}

std::vector<std::span<const uint8_t>> frames_of(const Bytes& mp3) {
    std::vector<std::span<const uint8_t>> frames;
    const std::span<const uint8_t> all(mp3);
    size_t at = 0;
    while (at < all.size()) {
        const auto header = encoder::parse_frame_header(all.subspan(at));
        if (!header || all.size() - at < header->bytes) break;
        frames.push_back(all.subspan(at, header->bytes));
        at += header->bytes;
    }
    return frames;
}

namespace {

uint32_t u32_be(const uint8_t* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

}  // namespace

TagFields tag_fields(const Bytes& mp3) {
    TagFields tag;
    const auto header = encoder::parse_frame_header(mp3);
    if (!header || mp3.size() < header->bytes) return tag;
    const size_t x = 4 + header->side_info;  // where LAME puts the tag
    if (header->bytes < x + 156) return tag;
    const uint8_t* at = mp3.data() + x;
    tag.kind.assign(reinterpret_cast<const char*>(at), 4);
    tag.found = tag.kind == "Xing" || tag.kind == "Info";
    tag.frames = u32_be(at + 8);
    tag.bytes = u32_be(at + 12);
    tag.toc.assign(at + 16, at + 116);
    tag.delay = uint32_t{at[141]} << 4 | at[142] >> 4;
    tag.padding = uint32_t{at[142] & 0x0Fu} << 8 | at[143];
    return tag;
}

double snr_db(const Samples& decoded, const Samples& reference) {
    const size_t n = std::min(decoded.size(), reference.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = static_cast<double>(decoded[i]) - reference[i];
        signal += static_cast<double>(reference[i]) * reference[i];
        noise += d * d;
    }
    return noise == 0 ? 200.0 : 10.0 * std::log10(signal / noise);
}

double worst_difference_to_noise(const Samples& serial, const Samples& parallel, const Samples& reference,
                                 size_t window) {
    const size_t n = std::min({serial.size(), parallel.size(), reference.size()});
    double worst = 0;
    for (size_t start = 0; start + window <= n; start += window) {
        double difference = 0, noise = 0;
        for (size_t i = start; i < start + window; ++i) {
            const double d = static_cast<double>(parallel[i]) - serial[i];
            const double e = static_cast<double>(serial[i]) - reference[i];
            difference += d * d;
            noise += e * e;
        }
        const double count = static_cast<double>(window);
        worst = std::max(worst, std::sqrt(difference / count) / std::max(std::sqrt(noise / count), 1.0));
    }
    return worst;
}

Samples mix_down(const Samples& stereo) {
    Samples mono(stereo.size() / 2);
    for (size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<int16_t>((static_cast<int>(stereo[2 * i]) + stereo[2 * i + 1]) / 2);
    return mono;
}

}  // namespace encoder_testing
