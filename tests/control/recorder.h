// An event sink that writes each event as one line, and optional handlers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "zubmp3/zubencode.h"

struct Recorder : zubmp3::ZUBEncodeEvents {
    std::vector<std::string> log;
    std::function<void(zubmp3::Long&, zubmp3::Text&)> on_error;
    std::function<void(zubmp3::Long&)> on_progress;
    std::vector<std::pair<bool, std::string>> genres;

    void ErrorCode(zubmp3::Long& number, zubmp3::Text& description) override {
        log.push_back("ErrorCode " + std::to_string(number) + " " + platform::utf16_to_utf8(description));
        if (on_error) on_error(number, description);
    }
    void Finished() override { log.push_back("Finished"); }
    void Progress(zubmp3::Long& progress) override {
        log.push_back("Progress " + std::to_string(progress));
        if (on_progress) on_progress(progress);
    }
    void ID3v1GenreList(bool& clear, zubmp3::Text& genre) override {
        genres.emplace_back(clear, platform::utf16_to_utf8(genre));
    }

    bool finished() const {
        for (const std::string& line : log)
            if (line == "Finished") return true;
        return false;
    }
    // The events from the last ErrorCode on.
    std::vector<std::string> ending() const {
        for (size_t i = log.size(); i-- > 0;)
            if (log[i].rfind("ErrorCode", 0) == 0) return {log.begin() + static_cast<long>(i), log.end()};
        return {};
    }
};
