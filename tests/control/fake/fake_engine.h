// A test engine with the engine's entry point: it records every call, answers
// and fills buffers as a test tells it, and runs a simulated job on a worker
// thread (progress steps, pause, cancel, a final status).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct FakeCall {
    std::string word;
    // Each slot as a number and, where the word carries a text there, as text.
    intptr_t value = 0, text = 0, index = 0;
    std::string value_text, text_text, index_text;
};

struct FakeEngine {
    std::vector<FakeCall> calls;
    std::map<std::string, int32_t> answers;    // result per word; 0 when absent
    std::map<std::string, std::string> fills;  // bytes copied into the value buffer, zero included if wanted
    std::set<std::string> overfill;            // words that fill the value buffer leaving no zero byte

    // The simulated job.
    int job_steps = 10;           // progress rises in this many steps up to 99
    int job_step_ms = 20;
    int32_t job_final_status = 0;
    int job_tail_ms = 0;          // the worker lingers in the engine after storing its status
    std::atomic<int32_t> status{0}, progress{0}, pause{0}, cancel{0};
    std::atomic<int> jobs_run{0};
    std::thread worker;

    ~FakeEngine();

    // Words of a call in the order they came.
    std::vector<std::string> words() const {
        std::vector<std::string> out;
        for (const FakeCall& call : calls) out.push_back(call.word);
        return out;
    }
};

using FakeEngineAccess = FakeEngine* (*)();
