// The fixture of the application's end-to-end tests: build/bin/zubmp3 run
// by a shell in a fresh folder, with generated inputs.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "test_support.h"

namespace app_testing {

namespace fs = std::filesystem;
using namespace testing_support;

inline const std::string kBin = ZUBMP3_BUILD_BIN_DIR;
inline const std::string kZubmp3 = kBin + "/zubmp3";

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

class App : public ::testing::Test {
protected:
    // zubmp3 with `args` (already quoted), from `cwd`, standard input from
    // `input` (a shell word list for printf, or /dev/null).
    Outcome zubmp3(const std::string& args, const std::string& input = "") {
        return run(shell_quote(kZubmp3) + " " + args, input);
    }

    Outcome run(const std::string& command, const std::string& input = "") {
        const fs::path err = dir / "stderr.txt";
        const std::string feed = input.empty() ? "" : "printf %s " + shell_quote(input) + " | ";
        const std::string redirect = input.empty() ? " </dev/null" : "";
        const auto result = run_command("cd " + shell_quote(dir.path().string()) + " || exit 99; " + feed + "( " +
                                        command + " )" + redirect + " 2>" + shell_quote(err.string()));
        return {result.status, result.output, slurp(err)};
    }

    fs::path wav(const std::string& name, double seconds = 2) {
        WavSpec spec;
        spec.seconds = seconds;
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        write_wav(path, spec);
        return path;
    }

    // An untagged MP3 made by the lame command-line encoder, so that the tag
    // commands are tested on a file that no code here wrote.
    fs::path mp3(const std::string& name) {
        const fs::path input = wav(name + ".wav", 1);
        const fs::path output = dir / name;
        const auto r = run_command("lame --quiet --noreplaygain " + q(input) + " " + q(output));
        EXPECT_EQ(r.status, 0);
        return output;
    }

    static std::string q(const fs::path& path) { return shell_quote(path.string()); }

    nlohmann::json tags(const fs::path& file) {
        const Outcome r = zubmp3("tags --json " + q(file));
        return nlohmann::json::parse(r.out);
    }

    TempDir dir;
};

}  // namespace app_testing
