#include "fake_engine.h"

#include <chrono>
#include <cstring>

namespace {

FakeEngine engine;  // one per load of the library

using namespace std::chrono_literals;

bool numeric_value_word(const std::string& word) {
    static const std::set<std::string> words = {
        "bitrate",        "vbr",          "vbrmaxbitrate", "stereomode",      "quality",     "intpriority",
        "wv1Track",       "wv1Genre",     "v1Track",       "v1Genre",         "v2cleanup",   "v2Composersize",
        "v2OriginalArtistsize", "v2Copyrightsize", "v2URLsize", "v2Commentsize", "v2Genresize", "v2Yearsize",
        "v2Albumsize",    "v2Artistsize", "v2Titlesize",   "v2Tracksize",     "v2EncodedBysize"};
    return words.count(word) != 0;
}

bool four_text_word(const std::string& word) {
    static const std::set<std::string> words = {"pause", "resume", "cancel", "intreturn", "progress", "passfiles"};
    return words.count(word) != 0;
}

void run_job() {
    engine.progress = 0;
    int32_t final_status = engine.job_final_status;
    for (int step = 0; step < engine.job_steps; ++step) {
        while (engine.pause && !engine.cancel) std::this_thread::sleep_for(5ms);
        if (engine.cancel) {
            final_status = 112;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(engine.job_step_ms));
        engine.progress = (step + 1) * 99 / engine.job_steps;
    }
    ++engine.jobs_run;
    engine.status = final_status;
    std::this_thread::sleep_for(std::chrono::milliseconds(engine.job_tail_ms));
}

void join_worker() {
    if (engine.worker.joinable()) engine.worker.join();
}

}  // namespace

FakeEngine::~FakeEngine() { join_worker(); }

extern "C" __attribute__((visibility("default"))) FakeEngine* fake_engine() { return &engine; }

extern "C" __attribute__((visibility("default"))) int32_t interface1(const char* command, intptr_t value,
                                                                     intptr_t text, intptr_t index) {
    FakeCall call;
    call.word = command;
    call.value = value;
    call.text = text;
    call.index = index;
    if (!numeric_value_word(call.word)) {
        call.value_text = reinterpret_cast<const char*>(value);
        call.text_text = reinterpret_cast<const char*>(text);
    }
    if (four_text_word(call.word)) call.index_text = reinterpret_cast<const char*>(index);
    engine.calls.push_back(call);

    char* buffer = reinterpret_cast<char*>(value);
    if (const auto fill = engine.fills.find(call.word); fill != engine.fills.end())
        std::memcpy(buffer, fill->second.data(), fill->second.size());
    if (engine.overfill.count(call.word) != 0) std::memset(buffer, 'x', std::strlen(buffer) + 1);

    if (call.word == "intreturn") return engine.status;
    if (call.word == "progress") return engine.progress;
    if (call.word == "pause") engine.pause = 1;
    if (call.word == "resume") engine.pause = 0;
    if (call.word == "passfiles") {
        if (engine.status == 1000) return 1;
        join_worker();
        engine.status = 1000;
        engine.pause = 0;
        engine.cancel = 0;
        engine.worker = std::thread(run_job);
        return 0;
    }
    if (call.word == "cancel") {
        engine.cancel = 1;
        while (engine.status == 1000) std::this_thread::sleep_for(5ms);
        join_worker();
        return 0;
    }
    const auto answer = engine.answers.find(call.word);
    return answer == engine.answers.end() ? 0 : answer->second;
}
