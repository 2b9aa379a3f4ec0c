#include "test_support.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() : TempDir(fs::temp_directory_path()) {}

TempDir::TempDir(const fs::path& parent) {
    std::string pattern = (parent / "zubmp3-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Give write rights back so that read-only leftovers can be removed.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    if (value)
        setenv(name_.c_str(), value->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

DriveMapping::DriveMapping(char letter, const fs::path& folder)
    : letter_(letter), env_(std::string("ZUBMP3_DRIVE_") + letter, folder.string()) {}

std::string DriveMapping::windows(const std::string& relative) const {
    std::string out = std::string(1, letter_) + ":\\" + relative;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

ScopedMount::ScopedMount(const fs::path& where, size_t bytes, bool read_only, const std::string& options)
    : where_(where) {
    if (!running_as_root()) return;
    fs::create_directories(where_);
    const std::string all = "size=" + std::to_string(bytes) + (options.empty() ? "" : "," + options);
    mounted_ = mount("tmpfs", where_.c_str(), "tmpfs", read_only ? MS_RDONLY : 0, all.c_str()) == 0;
}

void ScopedMount::remount(bool read_only) {
    if (mounted_) mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT | (read_only ? MS_RDONLY : 0), nullptr);
}

ScopedMount::~ScopedMount() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
}

bool running_as_root() { return geteuid() == 0; }

bool in_ci() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void write_file(const fs::path& path, const std::string& text) { write_file(path, Bytes(text.begin(), text.end())); }

namespace {
void put_u16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put_u32(Bytes& out, uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}
void put_tag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}
}  // namespace

Bytes make_wav(const WavSpec& spec) {
    const uint32_t frames = static_cast<uint32_t>(spec.seconds * spec.sample_rate);
    const uint32_t block_align = static_cast<uint32_t>(spec.channels * spec.bits / 8);
    const uint32_t data_size = frames * block_align;
    Bytes out;
    out.reserve(44 + data_size);
    put_tag(out, "RIFF");                                   //  0 chunk id
    put_u32(out, 36 + data_size);                           //  4 RIFF size
    put_tag(out, "WAVE");                                   //  8 form type
    put_tag(out, "fmt ");                                   // 12 format chunk id
    put_u32(out, 16);                                       // 16 format chunk size
    put_u16(out, static_cast<uint32_t>(spec.format_tag));   // 20 format tag
    put_u16(out, static_cast<uint32_t>(spec.channels));     // 22 channels
    put_u32(out, static_cast<uint32_t>(spec.sample_rate));  // 24 sample rate
    put_u32(out, spec.sample_rate * block_align);           // 28 byte rate
    put_u16(out, block_align);                              // 32 block align
    put_u16(out, static_cast<uint32_t>(spec.bits));         // 34 bits per sample
    put_tag(out, "data");                                   // 36 data chunk id
    put_u32(out, data_size);                                // 40 data size
    const double two_pi = 6.283185307179586;
    const int bytes_per_sample = spec.bits / 8;
    const double full_scale = std::ldexp(1.0, spec.bits - 1) - 1;
    for (uint32_t i = 0; i < frames; ++i) {
        for (int c = 0; c < spec.channels; ++c) {
            const double f = spec.frequency * (c == 0 ? 1.0 : 1.5);
            const auto v = static_cast<int32_t>(std::lround(spec.amplitude * full_scale *
                                                            std::sin(two_pi * f * i / spec.sample_rate)));
            for (int b = 0; b < bytes_per_sample; ++b) out.push_back(static_cast<uint8_t>(v >> (8 * b)));
        }
    }
    return out;
}

void write_wav(const fs::path& path, const WavSpec& spec) { write_file(path, make_wav(spec)); }

CommandResult run_command(const std::string& command) {
    CommandResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool tool_available(const std::string& name) {
    return run_command("command -v " + shell_quote(name) + " >/dev/null 2>&1").status == 0;
}

std::string shell_quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

size_t thread_count() {
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

bool library_mapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(name) != std::string::npos) return true;
    return false;
}

}  // namespace testing_support
