// zubmp3-demo-wav: writes a few seconds of generated music (a chord
// progression with bass, arpeggio, kick and hi-hat) as a 16-bit PCM WAV file,
// the input of the demo.
#include <CLI/CLI.hpp>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double kTempo = 120;            // beats per minute
constexpr double kBeat = 60.0 / kTempo;   // seconds
constexpr double kTwoPi = 2 * std::numbers::pi;

// C, A minor, F, G: MIDI notes of each chord, root first.
constexpr std::array<std::array<int, 3>, 4> kChords = {{{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}}};

double frequency(int midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }

// A tone with a few harmonics, softer as they rise.
double tone(double f, double t) {
    double sum = 0;
    for (int h = 1; h <= 4; ++h) sum += std::sin(kTwoPi * f * h * t) / (h * h);
    return sum;
}

double decay(double t, double seconds) { return t < 0 ? 0 : std::exp(-t / seconds); }

struct Frame {
    double left, right;
};

class Song {
public:
    Frame at(double t) {
        const double beat_position = t / kBeat;
        const int beat = static_cast<int>(beat_position);
        const double in_beat = (beat_position - beat) * kBeat;          // seconds since the beat
        const double in_eighth = std::fmod(beat_position * 2, 1) * kBeat / 2;
        const auto& chord = kChords[static_cast<size_t>(beat / 4) % kChords.size()];

        double pad = 0;
        for (const int note : chord) pad += tone(frequency(note), t);
        pad *= 0.06 * std::min(1.0, std::fmod(t, 4 * kBeat) / 0.3);   // soft attack at each chord

        const double bass = 0.22 * tone(frequency(chord[0] - 24), t) * decay(in_beat, 0.35);

        const int eighth = static_cast<int>(beat_position * 2);
        const int arpeggio_note = chord[static_cast<size_t>(eighth) % 3] + 12 * (1 + (eighth / 3) % 2);
        const double melody = 0.12 * tone(frequency(arpeggio_note), t) * decay(in_eighth, 0.12);

        double kick = 0;
        if (beat % 2 == 0) {
            const double sweep = 50 + 70 * decay(in_beat, 0.03);
            kick = 0.5 * std::sin(kTwoPi * sweep * in_beat) * decay(in_beat, 0.12);
        }
        const double hat = (beat_position * 2 - eighth) < 0.5 && eighth % 2 == 1
                               ? 0.05 * noise() * decay(in_eighth, 0.02)
                               : 0.0;

        return {pad + bass + kick + 0.7 * melody + 1.3 * hat, pad + bass + kick + 1.3 * melody + 0.7 * hat};
    }

private:
    // Deterministic white noise in -1..1.
    double noise() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ull << 52) - 1.0;
    }
    uint64_t state_ = 0x5eed;
};

int16_t to_sample(double value) {
    return static_cast<int16_t>(std::lround(std::tanh(value) * 30000));  // soft limit, a little headroom
}

void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void put_tag(std::vector<uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

std::vector<uint8_t> render(double seconds, uint32_t rate, uint16_t channels) {
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t data_bytes = frames * channels * 2;
    std::vector<uint8_t> wav;
    wav.reserve(44 + data_bytes);
    put_tag(wav, "RIFF");                 //  0 RIFF
    put_u32(wav, 36 + data_bytes);        //  4 size of the rest
    put_tag(wav, "WAVE");                 //  8 WAVE
    put_tag(wav, "fmt ");                 // 12 fmt chunk
    put_u32(wav, 16);                     // 16 its size
    put_u16(wav, 1);                      // 20 PCM
    put_u16(wav, channels);               // 22 channels
    put_u32(wav, rate);                   // 24 sample rate
    put_u32(wav, rate * channels * 2);    // 28 byte rate
    put_u16(wav, channels * 2);           // 32 block align
    put_u16(wav, 16);                     // 34 bits per sample
    put_tag(wav, "data");                 // 36 data chunk
    put_u32(wav, data_bytes);             // 40 its size

    Song song;
    const double fade = 0.05 * rate;
    for (uint32_t i = 0; i < frames; ++i) {
        Frame f = song.at(static_cast<double>(i) / rate);
        const double gain = std::min({1.0, i / fade, (frames - i) / fade});
        if (channels == 1) {
            put_u16(wav, static_cast<uint16_t>(to_sample(gain * (f.left + f.right) / 2)));
        } else {
            put_u16(wav, static_cast<uint16_t>(to_sample(gain * f.left)));
            put_u16(wav, static_cast<uint16_t>(to_sample(gain * f.right)));
        }
    }
    return wav;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Write a few seconds of generated music as a 16-bit PCM WAV file.", "zubmp3-demo-wav"};
    std::string output;
    double seconds = 8;
    uint32_t rate = 44100;
    uint16_t channels = 2;
    app.add_option("OUTPUT", output, "WAV file to write")->required();
    app.add_option("--seconds", seconds, "Length")->check(CLI::Range(0.1, 600.0))->capture_default_str();
    app.add_option("--rate", rate, "Sample rate")
        ->check(CLI::IsMember({8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}))
        ->capture_default_str();
    app.add_option("--channels", channels, "1 or 2")->check(CLI::Range(1, 2))->capture_default_str();
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : 2;
    }

    // Written beside the target and renamed over it: a failed run leaves no half file.
    const std::vector<uint8_t> wav = render(seconds, rate, channels);
    const std::filesystem::path target = output;
    std::filesystem::path part = target;
    part += ".part";
    std::ofstream file(part, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
    file.close();
    std::error_code error;
    if (file) std::filesystem::rename(part, target, error);
    if (!file || error) {
        std::filesystem::remove(part, error);
        std::cerr << "zubmp3-demo-wav: cannot write " << output << '\n';
        return 1;
    }
    return 0;
}
