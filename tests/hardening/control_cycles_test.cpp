// Controls created, used and destroyed over and over in one process, with the
// real engine: pause and resume storms, destruction under running and paused
// jobs, a second control holding the engine. After each destruction no thread
// is left and the engine is gone unless another control still holds it; a
// worker left in the unloaded library would crash the process.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>

#include "hardening_support.h"
#include "real_engine.h"

namespace {

using namespace std::chrono_literals;
using hardening::thread_count;
using zubmp3::EventLoop;
using zubmp3::ZUBEncode;

TEST(ControlCycles, TwoHundredCreateEncodeDestroyCycles) {
    ZUBMP3_REQUIRE_ENCODER();
    testing_support::TempDir dir;
    testing_support::write_wav(dir / "in.wav", {2, 44100, 16, 1, 0.5});
    const zubmp3::Text input = real_engine::windows(dir / "in.wav");
    const zubmp3::Text output = real_engine::windows(dir / "out" / "song.mp3");
    auto encode = [&](ZUBEncode& control) { control.MP3Encode(input, output, 128, u"joint", u"normal", 0, 320); };
    auto finish = [](Recorder& events) {
        return EventLoop::current().run_until([&] { return events.finished(); }, 60s);
    };

    {  // A first job to its end: helper threads of the runtime exist from then on.
        Recorder events;
        ZUBEncode control;
        control.set_events(&events);
        encode(control);
        ASSERT_TRUE(finish(events));
    }
    const size_t threads = thread_count();
    ASSERT_FALSE(real_engine::engine_mapped());

    const int cycles = 200;
    int finished = 0, destroyed_running = 0, destroyed_paused = 0, shared = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        Recorder events;
        auto control = std::make_unique<ZUBEncode>();
        control->set_events(&events);
        encode(*control);
        for (int storm = 0; storm < cycle % 12; ++storm) {
            control->MP3EncodePause();
            EventLoop::current().process_pending();
            control->MP3EncodeResume();
        }
        std::unique_ptr<ZUBEncode> other;
        if (cycle % 10 == 0) {  // a second control holds the engine while the first goes
            other = std::make_unique<ZUBEncode>();
            other->MP3EncodePause();  // loads the engine; pauses the running job
            other->MP3EncodeResume();
        }
        switch (cycle % 3) {
            case 0:
                ASSERT_TRUE(finish(events));
                EXPECT_EQ(events.ending(), (std::vector<std::string>{"ErrorCode 0 No error ", "Finished",
                                                                      "Progress 100"}));
                ++finished;
                break;
            case 1:
                control->MP3EncodePause();
                ++destroyed_paused;
                break;
            case 2: ++destroyed_running; break;
        }
        const size_t events_before = events.log.size();
        control.reset();
        if (other) {
            ASSERT_TRUE(real_engine::engine_mapped());
            // The engine still answers the other control: a new job runs to its end.
            Recorder other_events;
            other->set_events(&other_events);
            encode(*other);
            ASSERT_TRUE(finish(other_events));
            EXPECT_EQ(other_events.ending().front(), "ErrorCode 0 No error ");
            other.reset();
            ++shared;
        }
        EventLoop::current().run_until([] { return false; }, 5ms);
        EXPECT_EQ(events.log.size(), events_before) << "an event after destruction";
        ASSERT_FALSE(real_engine::engine_mapped());
        ASSERT_EQ(thread_count(), threads);
    }
    std::cout << cycles << " control cycles: " << finished << " jobs finished, " << destroyed_running
              << " destroyed running, " << destroyed_paused << " destroyed paused, " << shared
              << " with a second control holding the engine\n";
}

}  // namespace
