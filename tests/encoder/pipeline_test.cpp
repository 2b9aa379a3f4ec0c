// The worker pool and the segmented stream's threads: order, failures,
// lifetime, priority, signals and process exit.
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include "encoder_test_support.h"
#include "pipeline.h"
#include "platform/win32.h"
#include "segmented_encoder.h"

namespace {

using namespace encoder_testing;
using testing_support::ScopedEnv;

std::vector<std::string> tasks() {
    std::vector<std::string> ids;
    for (const auto& entry : fs::directory_iterator("/proc/self/task")) ids.push_back(entry.path().filename());
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Field 19 of the task's stat line: its nice value.
int nice_of(const std::string& task) {
    std::ifstream stat("/proc/self/task/" + task + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19; ++i) fields >> field;
    return std::stoi(field);
}

// The task's blocked-signal mask.
uint64_t blocked_signals(const std::string& task) {
    std::ifstream status("/proc/self/task/" + task + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0) return std::stoull(line.substr(7), nullptr, 16);
    return 0;
}

// Starts and ends a thread: helper threads that a runtime (a sanitizer)
// starts with the first thread exist from then on, so counts stay put.
void warm_up() { encoder::Pipeline warm(1, [](encoder::Pipeline::Job&) {}); }

struct Numbered : encoder::Pipeline::Job {
    explicit Numbered(int n) : number(n) {}
    int number;
};

TEST(Pipeline, HandsJobsBackInOrderWhateverOrderTheyFinish) {
    std::mutex mutex;
    std::condition_variable changed;
    int finished_later = 0;
    bool release_first = false;
    encoder::Pipeline pipeline(3, [&](encoder::Pipeline::Job& job) {
        std::unique_lock lock(mutex);
        if (static_cast<Numbered&>(job).number == 0) {
            changed.wait(lock, [&] { return release_first; });  // the first job finishes last
        } else {
            ++finished_later;
            changed.notify_all();
        }
    });
    ASSERT_EQ(pipeline.threads(), 3u);
    for (int n = 0; n < 6; ++n) pipeline.submit(std::make_unique<Numbered>(n));
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return finished_later == 5; });
    }
    EXPECT_EQ(pipeline.take(false), nullptr);  // the oldest is not done: nothing yet
    EXPECT_EQ(pipeline.outstanding(), 6u);
    {
        std::lock_guard lock(mutex);
        release_first = true;
    }
    changed.notify_all();
    for (int n = 0; n < 6; ++n) {
        const auto job = pipeline.take(true);
        ASSERT_NE(job, nullptr);
        EXPECT_EQ(static_cast<Numbered&>(*job).number, n);
    }
    EXPECT_EQ(pipeline.take(true), nullptr);
}

TEST(Pipeline, StopDropsWaitingJobsAndEndsEveryThread) {
    warm_up();
    const auto before = tasks();
    std::atomic<int> ran{0};
    {
        encoder::Pipeline pipeline(2, [&](encoder::Pipeline::Job&) { ++ran; });
        EXPECT_EQ(tasks().size(), before.size() + 2);
        for (int n = 0; n < 50; ++n) pipeline.submit(std::make_unique<Numbered>(n));
        pipeline.stop();
        EXPECT_EQ(pipeline.threads(), 0u);
        EXPECT_EQ(tasks(), before);
        pipeline.submit(std::make_unique<Numbered>(99));  // dropped
        int taken = 0;
        while (pipeline.take(true) != nullptr) ++taken;  // only what was done before the stop
        EXPECT_EQ(taken, ran.load());
    }
    EXPECT_EQ(tasks(), before);
}

// A stand-in for LAME: one 96-byte frame (MPEG-1, 48 kHz, 32 kbit/s, mono)
// per frame owned, its last byte the segment's number; segment 3 fails.
void fake_segment(const BE_CONFIG&, int, encoder::Segment& segment) {
    const uint64_t number = segment.index;
    if (number == 3) {
        segment.error = BE_ERR_INVALID_FORMAT;
        return;
    }
    const uint32_t frames = segment.last ? 2 : segment.keep_frames;
    for (uint32_t i = 0; i < frames; ++i) {
        std::vector<uint8_t> frame(96, 0);
        frame[0] = 0xFF, frame[1] = 0xFB, frame[2] = 0x14, frame[3] = 0xC4;
        frame[95] = static_cast<uint8_t>(number);
        segment.mp3.insert(segment.mp3.end(), frame.begin(), frame.end());
    }
}

TEST(SegmentedEncoder, OutputInOrderThenAWorkerFailureEndsTheStream) {
    encoder::SegmentLayout layout;
    layout.channels = 1;
    layout.frame_samples = 1152;
    layout.first_frames = layout.segment_frames = 5;
    layout.priming_frames = 2;
    layout.max_frame_bytes = 1441;
    encoder::SegmentedEncoder stream(job_config(BE_MP3_MODE_MONO, 48000, false), layout, 2, &fake_segment);
    std::vector<uint8_t> buffer(stream.burst_bytes());
    const std::vector<int16_t> chunk(1152, 0);
    std::vector<uint8_t> out;
    BE_ERR error = BE_ERR_SUCCESSFUL;
    for (int call = 0; call < 200 && error == BE_ERR_SUCCESSFUL; ++call) {
        encoder::Output output{buffer.data(), stream.burst_bytes()};
        error = stream.encode(chunk.data(), 1152, output);
        out.insert(out.end(), buffer.begin(), buffer.begin() + output.used);
    }
    EXPECT_EQ(error, BE_ERR_INVALID_FORMAT);
    // Segments 0 to 2 came out whole and in order, nothing after them.
    ASSERT_EQ(out.size(), 3u * 5 * 96);
    for (size_t frame = 0; frame < 15; ++frame) EXPECT_EQ(out[frame * 96 + 95], frame / 5);
    encoder::Output output{buffer.data(), stream.burst_bytes()};
    EXPECT_EQ(stream.encode(chunk.data(), 1152, output), BE_ERR_INVALID_FORMAT);  // and stays failed
    EXPECT_EQ(stream.flush(output), BE_ERR_INVALID_FORMAT);
    EXPECT_EQ(output.used, 0u);
    EXPECT_EQ(stream.threads(), 0u);
}

// Feeds `seconds` of noise to an open stream without ending it.
HBE_STREAM open_busy_stream(double seconds) {
    BE_CONFIG config = job_config(BE_MP3_MODE_JSTEREO, 44100, false);
    uint32_t chunk = 0, buffer_size = 0;
    HBE_STREAM stream = 0;
    EXPECT_EQ(beInitStream(&config, &chunk, &buffer_size, &stream), BE_ERR_SUCCESSFUL);
    Samples pcm = noise(seconds, 44100, 2);
    std::vector<uint8_t> out(buffer_size);
    uint32_t bytes = 0;
    for (size_t at = 0; at + chunk <= pcm.size(); at += chunk)
        EXPECT_EQ(beEncodeChunk(stream, chunk, pcm.data() + at, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    return stream;
}

TEST(SegmentedStream, NoThreadOutlivesTheStream) {
    ScopedEnv threads("ZUBMP3_ENCODER_THREADS", "3");
    ScopedEnv segments("ZUBMP3_ENCODER_SEGMENT_FRAMES", "10");
    warm_up();
    const auto before = tasks();
    HBE_STREAM stream = open_busy_stream(2);
    EXPECT_EQ(tasks().size(), before.size() + 3);
    std::vector<uint8_t> out(1 << 20);
    uint32_t bytes = 0;
    EXPECT_EQ(beDeinitStream(stream, out.data(), &bytes), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(tasks(), before);  // drained: the workers are done
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);

    stream = open_busy_stream(2);  // closed with segments in flight, never flushed
    EXPECT_EQ(beCloseStream(stream), BE_ERR_SUCCESSFUL);
    EXPECT_EQ(tasks(), before);
}

// Child processes: the priority and the signal mask are the whole process's.
class SegmentedStreamProcess : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    ScopedEnv threads_{"ZUBMP3_ENCODER_THREADS", "3"};
    ScopedEnv segments_{"ZUBMP3_ENCODER_SEGMENT_FRAMES", "10"};
};

int all_nice(int expected) {
    for (const auto& task : tasks())
        if (nice_of(task) != expected) return 1;
    return 0;
}

TEST_F(SegmentedStreamProcess, WorkersRunAtTheJobsPriorityInEitherOrder) {
    if (!testing_support::running_as_root()) GTEST_SKIP() << "lowering and raising the nice value needs root";
    // The priority set before the stream opens: the workers inherit it.
    EXPECT_EXIT(
        {
            SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
            open_busy_stream(1);
            std::exit(tasks().size() >= 4 ? all_nice(19) : 2);
        },
        testing::ExitedWithCode(0), "");
    // Set while the workers run: it reaches them too.
    EXPECT_EXIT(
        {
            open_busy_stream(1);
            SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
            std::exit(tasks().size() >= 4 ? all_nice(19) : 2);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(SegmentedStreamProcess, WorkersTakeNoSignals) {
    EXPECT_EXIT(
        {
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);  // the caller takes every signal
            warm_up();
            const auto before = tasks();
            open_busy_stream(1);
            int workers = 0;
            for (const auto& task : tasks()) {
                if (std::binary_search(before.begin(), before.end(), task)) continue;
                const uint64_t mask = blocked_signals(task);
                if ((mask & (1u << (SIGINT - 1))) == 0 || (mask & (1u << (SIGTERM - 1))) == 0) std::exit(1);
                ++workers;
            }
            std::exit(workers == 3 ? 0 : 2);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(SegmentedStreamProcess, ExitWithAStreamOpenIsClean) {
    EXPECT_EXIT(
        {
            open_busy_stream(3);  // segments in flight on every worker
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
