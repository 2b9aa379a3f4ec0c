#include "engine_test_support.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "interface1.h"

namespace engine_testing {

int32_t command(const char* word, intptr_t value) { return interface1(word, value, 0, 0); }

void reset_settings() {
    command("bitrate", 128);
    command("vbr", 0);
    command("vbrmaxbitrate", 320);
    command("stereomode", 1);
    command("quality", 0);
    command("intpriority", 0);  // leave the test process's priority alone
}

int32_t pass_files(const std::string& input, const std::string& output) {
    return interface1("passfiles", reinterpret_cast<intptr_t>(input.c_str()), reinterpret_cast<intptr_t>(output.c_str()),
                      0);
}

int32_t wait_for_job() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (command("intreturn") == 1000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return command("intreturn");
}

int32_t run_job(const std::string& input, const std::string& output) {
    if (pass_files(input, output) != 0) return -1;
    return wait_for_job();
}

namespace {
void put_u32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
}  // namespace

Bytes chunk(const char* id, size_t body_size, uint8_t fill) {
    Bytes out(id, id + 4);
    put_u32(out, static_cast<uint32_t>(body_size));
    out.insert(out.end(), body_size, fill);
    return out;
}

Bytes wav_samples(const testing_support::WavSpec& spec) {
    const Bytes whole = testing_support::make_wav(spec);
    return Bytes(whole.begin() + 44, whole.end());
}

Bytes wav_with_chunks(const testing_support::WavSpec& spec, const Bytes& before, const Bytes& after,
                      int64_t data_size) {
    const Bytes whole = testing_support::make_wav(spec);
    Bytes out(whole.begin(), whole.begin() + 36);  // RIFF header and fmt chunk
    out.reserve(whole.size() + before.size() + after.size());
    out.insert(out.end(), before.begin(), before.end());
    for (const char c : {'d', 'a', 't', 'a'}) out.push_back(static_cast<uint8_t>(c));
    put_u32(out, data_size < 0 ? static_cast<uint32_t>(whole.size() - 44) : static_cast<uint32_t>(data_size));
    out.insert(out.end(), whole.begin() + 44, whole.end());
    out.insert(out.end(), after.begin(), after.end());
    const uint32_t riff_size = static_cast<uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(riff_size >> (8 * i));
    return out;
}

Decoded decode_with_ffmpeg(const fs::path& mp3, int channels) {
    using testing_support::shell_quote;
    Decoded decoded;
    decoded.channels = channels;
    const fs::path raw = mp3.string() + ".raw";
    const fs::path log = mp3.string() + ".log";
    const auto result = testing_support::run_command(
        "ffmpeg -nostdin -v error -y -i " + shell_quote(mp3.string()) + " -f s16le -acodec pcm_s16le " +
        shell_quote(raw.string()) + " 2>" + shell_quote(log.string()));
    const Bytes errors = testing_support::read_file(log);
    decoded.errors.assign(errors.begin(), errors.end());
    const Bytes bytes = testing_support::read_file(raw);
    decoded.samples.resize(bytes.size() / 2);
    std::memcpy(decoded.samples.data(), bytes.data(), decoded.samples.size() * 2);
    decoded.ok = result.status == 0 && decoded.errors.empty();
    fs::remove(raw);
    fs::remove(log);
    return decoded;
}

bool mpg123_decodes_cleanly(const fs::path& mp3, std::string& messages) {
    const auto result = testing_support::run_command("mpg123 -q -t " + testing_support::shell_quote(mp3.string()) +
                                                     " 2>&1");
    messages = result.output;
    return result.status == 0 && result.output.empty();
}

std::string ffprobe_stream(const fs::path& mp3, const std::string& entry) {
    auto result = testing_support::run_command("ffprobe -v error -select_streams a:0 -show_entries stream=" + entry +
                                               " -of default=nokey=1:noprint_wrappers=1 " +
                                               testing_support::shell_quote(mp3.string()));
    while (!result.output.empty() && (result.output.back() == '\n' || result.output.back() == '\r'))
        result.output.pop_back();
    return result.output;
}

double snr_db(const Decoded& decoded, const Bytes& reference, int channels, int channel) {
    const size_t frames = std::min(decoded.frames(), reference.size() / 2 / static_cast<size_t>(channels));
    double signal = 0, noise = 0;
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = i * static_cast<size_t>(channels) + static_cast<size_t>(channel);
        const auto x = static_cast<int16_t>(reference[2 * at] | reference[2 * at + 1] << 8);
        const double d = static_cast<double>(decoded.samples[at]) - x;
        signal += static_cast<double>(x) * x;
        noise += d * d;
    }
    return noise == 0 ? 200.0 : 10.0 * std::log10(signal / noise);
}

}  // namespace engine_testing
