// The control's events, handed to whichever handlers a command sets.
#pragma once

#include <functional>
#include <iostream>
#include <string>

#include "zubmp3/zubencode.h"

namespace zubmp3::app {

struct EventHandlers final : ZUBEncodeEvents {
    std::function<void(Long, const Text&)> on_error_code;
    std::function<void()> on_finished;
    std::function<void(Long)> on_progress;
    std::function<void(bool, const Text&)> on_genre;

    void ErrorCode(Long& number, Text& description) override {
        if (on_error_code) on_error_code(number, description);
    }
    void Finished() override {
        if (on_finished) on_finished();
    }
    void Progress(Long& percent) override {
        if (on_progress) on_progress(percent);
    }
    void ID3v1GenreList(bool& clear, Text& genre) override {
        if (on_genre) on_genre(clear, genre);
    }
};

// "zubmp3: " + message on standard error.
inline void complain(const std::string& message) { std::cerr << "zubmp3: " << message << '\n'; }

}  // namespace zubmp3::app
