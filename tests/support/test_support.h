// Helpers shared by the tests: temporary folders, environment, drive mapping,
// generated WAV files and external tools.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// A fresh folder, removed with everything in it (mounts included) at scope end.
class TempDir {
public:
    TempDir();
    explicit TempDir(const fs::path& parent);  // in `parent` instead of the temporary folder
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable; restores it at scope end.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Maps drive `letter` to `folder` for the scope: "C:\x" is then folder/x.
class DriveMapping {
public:
    DriveMapping(char letter, const fs::path& folder);
    std::string windows(const std::string& relative) const;  // "C:\" + relative with '\'

private:
    char letter_;
    ScopedEnv env_;
};

// A small tmpfs mounted on `where` (root only); `read_only` mounts it read-only;
// `options` adds tmpfs options (e.g. "nr_inodes=8").
// ok() is false where mounting is not allowed (not root).
class ScopedMount {
public:
    ScopedMount(const fs::path& where, size_t bytes, bool read_only, const std::string& options = "");
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;
    bool ok() const { return mounted_; }
    void remount(bool read_only);

private:
    fs::path where_;
    bool mounted_ = false;
};

bool running_as_root();

Bytes read_file(const fs::path& path);
void write_file(const fs::path& path, const Bytes& bytes);
void write_file(const fs::path& path, const std::string& text);

struct WavSpec {
    int channels = 2;
    int sample_rate = 44100;
    int bits = 16;
    int format_tag = 1;
    double seconds = 1.0;
    double frequency = 440.0;  // sine per channel (the right channel at 1.5x)
    double amplitude = 0.5;
};
// A canonical 44-byte-header WAV with a sine in each channel.
Bytes make_wav(const WavSpec& spec);
void write_wav(const fs::path& path, const WavSpec& spec);

// Runs a command through /bin/sh; returns its exit status and standard output.
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult run_command(const std::string& command);
bool tool_available(const std::string& name);
std::string shell_quote(const std::string& text);

// Skips the calling test when `tool` is missing, except under CI (CI=true),
// where a missing tool is a failure.
#define ZUBMP3_REQUIRE_TOOL(tool)                                                          \
    do {                                                                                   \
        if (!::testing_support::tool_available(tool)) {                                    \
            if (::testing_support::in_ci()) FAIL() << "required tool missing in CI: " << tool; \
            GTEST_SKIP() << "tool not installed: " << tool;                                \
        }                                                                                  \
    } while (0)
bool in_ci();

// The threads of this process, as /proc/self/task lists them.
size_t thread_count();
// True when a file whose path contains `name` is mapped into this process
// (a loaded library).
bool library_mapped(const std::string& name);

}  // namespace testing_support
