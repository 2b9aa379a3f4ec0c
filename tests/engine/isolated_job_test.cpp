// Jobs in a process of their own, through a copy of the engine library:
// without an encoder library, with stand-in encoder libraries, with process
// priorities, and unloaded while a job runs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <optional>

#include "engine_test_support.h"

namespace {

using namespace engine_testing;
using testing_support::run_command;
using testing_support::shell_quote;
using testing_support::TempDir;

class IsolatedJob : public testing::Test {
protected:
    // A folder holding a copy of the engine library and, unless `encoder` is
    // empty, the encoder library found there.
    void install(const fs::path& encoder_folder) {
        fs::copy_file(fs::path(ZUBMP3_BUILD_LIB_DIR) / "libzubmp3enc2.so", dir / "libzubmp3enc2.so");
        if (!encoder_folder.empty())
            fs::copy_file(encoder_folder / "libzubmp3enc1.so", dir / "libzubmp3enc1.so");
        testing_support::write_wav(dir / "in.wav", {2, 44100, 16, 1, seconds});
    }

    // Runs engine_host; answers its standard output, standard error in `errors`.
    std::string host(const std::string& arguments, std::string* errors = nullptr) {
        const fs::path err = dir / "stderr.txt";
        const std::string in = "Z:" + (dir / "in.wav").string();
        const std::string out = "Z:" + (dir / "out.mp3").string();
        const auto result = run_command(env + " ZUBMP3_STUB_LOG=" + shell_quote(log.string()) + " " + ZUBMP3_ENGINE_HOST +
                                        " " + shell_quote(dir.path().string()) + " " + shell_quote(windows(in)) + " " +
                                        shell_quote(windows(out)) + " " + arguments + " 2>" + shell_quote(err.string()));
        const Bytes bytes = testing_support::read_file(err);
        if (errors != nullptr) errors->assign(bytes.begin(), bytes.end());
        return result.output;
    }

    static std::string windows(std::string path) {
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    std::string calls() const {
        const Bytes bytes = testing_support::read_file(log);
        return std::string(bytes.begin(), bytes.end());
    }

    TempDir dir;
    fs::path log = dir / "calls.log";
    double seconds = 0.2;
    std::string env;  // assignments ahead of the command
};

const fs::path kStubs = ZUBMP3_STUB_DIR;

TEST_F(IsolatedJob, MissingEncoderLibraryEndsWith101AfterTheMessage) {
    install({});
    std::string errors;
    EXPECT_EQ(host("", &errors), "status 101 progress 0 nice 0\n");
    EXPECT_NE(errors.find("Debug: Unable to load library zubmp3enc1.dll"), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));
}

TEST_F(IsolatedJob, MissingEntryPointEndsWith101Silently) {
    install(kStubs / "stub_partial");
    std::string errors;
    EXPECT_EQ(host("", &errors), "status 101 progress 0 nice 0\n");
    EXPECT_EQ(errors, "");
    EXPECT_EQ(calls(), "");  // no entry point was called
}

TEST_F(IsolatedJob, CallOrderOfASuccessfulJob) {
    install(kStubs / "stub_full");
    EXPECT_EQ(host(""), "status 0 progress 99 nice 0\n");
    // 0.2 s of stereo at 2304 values a call: 8820 frames, 17640 values, 8 calls.
    EXPECT_EQ(calls(), "init\nencode\nencode\nencode\nencode\nencode\nencode\nencode\nencode\n"
              "deinit\ninfotag\nclose\n");
    EXPECT_EQ(fs::file_size(dir / "out.mp3"), 8u * 16u);
}

TEST_F(IsolatedJob, EncoderFailuresCloseTheStream) {
    install(kStubs / "stub_full");
    struct Row {
        const char* fail;
        const char* result;
        const char* calls;
    };
    const Row rows[] = {
        {"init", "status 105 progress 0 nice 0\n", "init\n"},
        {"sizes", "status 105 progress 0 nice 0\n", "init\nclose\n"},  // no output written: no tag frame
        {"encode", "status 106 progress 0 nice 0\n", "init\nencode\ninfotag\nclose\n"},  // no flush
    };
    for (const Row& row : rows) {
        fs::remove(log);
        env = std::string("ZUBMP3_STUB_FAIL=") + row.fail;
        EXPECT_EQ(host(""), row.result) << row.fail;
        EXPECT_EQ(calls(), row.calls) << row.fail;
    }
}

TEST_F(IsolatedJob, EncoderRefusalLeavesTheOutputAsItWas) {
    install(kStubs / "stub_full");
    env = "ZUBMP3_STUB_FAIL=init";
    EXPECT_EQ(host(""), "status 105 progress 0 nice 0\n");
    EXPECT_FALSE(fs::exists(dir / "out.mp3"));  // not left behind as an empty file
    testing_support::write_file(dir / "out.mp3", std::string("an older encoding"));
    EXPECT_EQ(host(""), "status 105 progress 0 nice 0\n");
    const Bytes kept = testing_support::read_file(dir / "out.mp3");
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "an older encoding");
}

// A streamed WAV (data size 0xFFFFFFFF) of 4.25 GiB of samples, as a sparse
// file: every sample reaches the encoder, not only the first 4 GiB.
TEST_F(IsolatedJob, StreamedWavBeyond4GiBIsEncodedToItsEnd) {
    install(kStubs / "stub_full");
    // On a tmpfs when there is one: its holes read as the shared zero page,
    // where a disk's page cache would first fill 4 GiB of memory.
    const fs::path shm = "/dev/shm";
    std::optional<TempDir> memory;
    if (fs::is_directory(shm) && access(shm.c_str(), W_OK) == 0) memory.emplace(shm);
    const fs::path wav = memory ? memory->path() / "in.wav" : dir / "big.wav";
    const Bytes header = wav_with_chunks({2, 44100, 16, 1, 0.0}, {}, {}, 0xFFFFFFFF);
    testing_support::write_file(wav, header);
    const uintmax_t samples_bytes = uintmax_t{17} << 28;
    fs::resize_file(wav, header.size() + samples_bytes);
    fs::remove(dir / "in.wav");
    fs::create_symlink(wav, dir / "in.wav");
    // Chunks of 1 Mi samples (2 MiB), so the 4.25 GiB pass in 2176 calls.
    env = "ZUBMP3_STUB_SAMPLES=1048576";
    log = "/dev/null";
    EXPECT_EQ(host(""), "status 0 progress 99 nice 0\n");
    EXPECT_EQ(fs::file_size(dir / "out.mp3"), 2176u * 16u);  // 16 bytes of MP3 a call
}

TEST_F(IsolatedJob, FlushFailureEndsWith106) {
    install(kStubs / "stub_full");
    env = "ZUBMP3_STUB_FAIL=deinit";
    EXPECT_EQ(host(""), "status 106 progress 99 nice 0\n");
    const std::string log_text = calls();
    EXPECT_EQ(log_text.substr(log_text.size() - 21), "deinit\ninfotag\nclose\n");
}

TEST_F(IsolatedJob, ProcessPriority) {
    install(kStubs / "stub_full");
    EXPECT_EQ(host("intpriority=1"), "status 0 progress 99 nice 19\n");
    EXPECT_EQ(host("intpriority=4"), "status 0 progress 99 nice 0\n");  // left alone
    if (testing_support::running_as_root()) {
        EXPECT_EQ(host("intpriority=3"), "status 0 progress 99 nice -10\n");
    }
}

TEST_F(IsolatedJob, UnloadingTheEngineStopsTheJobAndWaitsForItsWorker) {
    seconds = 5.0;
    install(fs::path(ZUBMP3_BUILD_LIB_DIR));
    // One encoder thread: the segment pipeline would take in the whole file before the pause.
    env = "ZUBMP3_ENCODER_THREADS=1";
    EXPECT_EQ(host("--unload-paused"), "unloaded\n");
    // The job was cancelled and completed its file before the code went away.
    const Decoded decoded = decode_with_ffmpeg(dir / "out.mp3", 2);
    EXPECT_TRUE(decoded.ok) << decoded.errors;
    EXPECT_GT(decoded.frames(), 0u);
    EXPECT_LT(decoded.frames(), 5u * 44100u);
}

TEST(EngineLibrary, ExportsOnlyInterface1) {
    const auto symbols = run_command("nm -D --defined-only " + std::string(ZUBMP3_BUILD_LIB_DIR) +
                                     "/libzubmp3enc2.so | awk '{print $3}'");
    EXPECT_EQ(symbols.output, "interface1\n");
    const auto encoder = run_command("nm -D --defined-only " + std::string(ZUBMP3_BUILD_LIB_DIR) +
                                     "/libzubmp3enc1.so | awk '{print $3}' | sort");
    EXPECT_EQ(encoder.output,
              "beCloseStream\nbeDeinitStream\nbeEncodeChunk\nbeInitStream\nbeWriteInfoTag\nbeWriteVBRHeader\n");
}

}  // namespace
