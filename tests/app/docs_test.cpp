// The man page and the bash completion against the options the program
// really has: every option of every command, as its --help lists it.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "test_support.h"

namespace {

using namespace testing_support;

const std::string kZubmp3 = std::string(ZUBMP3_BUILD_BIN_DIR) + "/zubmp3";
const std::string kCompletion = std::string(ZUBMP3_SOURCE_DIR) + "/app/completion/zubmp3";

std::string slurp(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The lines of `help` between the heading `section` and the next blank line.
std::vector<std::string> section(const std::string& help, const std::string& heading) {
    std::vector<std::string> lines;
    std::istringstream in(help);
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line == heading) inside = true;
        else if (inside && line.empty()) break;
        else if (inside) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> commands() {
    std::vector<std::string> names;
    for (const auto& line : section(run_command(shell_quote(kZubmp3) + " --help").output, "Subcommands:"))
        names.push_back(line.substr(2, line.find(' ', 2) - 2));
    return names;
}

// Every option name of a command's --help ("-b", "--bitrate", ...).
std::set<std::string> options_of(const std::string& command) {
    std::set<std::string> names;
    const std::regex name(R"((?:^|[ ,])(--?[a-z0-9][a-z0-9-]*))");
    for (const auto& line : section(run_command(shell_quote(kZubmp3) + " " + command + " --help").output, "Options:")) {
        const std::string head = line.substr(0, line.find("  ", 2));  // the names, not the help text
        for (std::sregex_iterator it(head.begin(), head.end(), name), end; it != end; ++it) names.insert((*it)[1]);
    }
    return names;
}

std::string bash(const std::string& script) {
    return run_command("bash -c " + shell_quote("shopt -s extglob; source " + shell_quote(kCompletion) + "; " + script))
        .output;
}

TEST(Docs, EveryCommandIsThere) {
    const auto names = commands();
    EXPECT_EQ(names, (std::vector<std::string>{"encode", "tags", "tag-v1", "tag-v2", "untag", "genres", "about"}));
    const std::string page = slurp(std::string(ZUBMP3_SOURCE_DIR) + "/doc/zubmp3.1.scd");
    const std::string help = run_command(shell_quote(kZubmp3) + " --help").output;
    for (const auto& command : names) {
        EXPECT_NE(page.find("\n*" + command + "*"), std::string::npos) << "man page: no section for " << command;
        EXPECT_TRUE(std::regex_search(help, std::regex("\n  zubmp3 " + command + "[ \n]"))) << "--help: no example of " << command;
    }
}

TEST(Docs, TheManPageAndTheCompletionNameEveryOption) {
    ZUBMP3_REQUIRE_TOOL("bash");
    const std::string page = slurp(std::string(ZUBMP3_SOURCE_DIR) + "/doc/zubmp3.1.scd");
    for (const auto& command : commands()) {
        const auto options = options_of(command);
        EXPECT_GT(options.size(), 1u) << command;  // --help at least, and the parse found names
        std::istringstream completed(bash("_zubmp3_options " + command));
        std::set<std::string> completion;
        for (std::string word; completed >> word;) completion.insert(word);
        EXPECT_EQ(completion, options) << "the completion's options of " << command;
        for (const auto& option : options) {
            if (option == "-h" || option == "--help") continue;
            EXPECT_NE(page.find("*" + option + "*"), std::string::npos) << "man page: " << command << " " << option;
        }
    }
}

TEST(Docs, CompletionOffersCommandsChoicesAndFiles) {
    ZUBMP3_REQUIRE_TOOL("bash");
    TempDir dir;
    for (const char* name : {"a.mp3", "b.wav", "c.txt"}) write_file(dir / name, std::string("x"));
    fs::create_directory(dir / "sub");
    // COMP_WORDS as bash gives them; prints the offered words, one per line.
    const auto complete = [&](const std::string& words) {
        return bash("cd " + shell_quote(dir.path().string()) + "; PATH=" + shell_quote(ZUBMP3_BUILD_BIN_DIR) +
                    ":$PATH; COMP_WORDS=(" + words +
                    "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _zubmp3; printf '%s\\n' \"${COMPREPLY[@]}\" | sort");
    };
    EXPECT_EQ(complete("zubmp3 tag-v"), "tag-v1\ntag-v2\n");
    EXPECT_EQ(complete("zubmp3 encode in.wav --tag ''"), "both\nv1\nv2\n");
    EXPECT_EQ(complete("zubmp3 encode -m ''"), "dual\njoint\nmono\nstereo\n");
    EXPECT_EQ(complete("zubmp3 tags ''"), "a.mp3\nsub\n");
    EXPECT_EQ(complete("zubmp3 encode ''"), "a.mp3\nb.wav\nsub\n");
    EXPECT_EQ(complete("zubmp3 tag-v1 a.mp3 --genre 'rock '"), "Rock\\ \\&\\ Roll\n");
    EXPECT_EQ(complete("zubmp3 tag-v1 a.mp3 --genre non"), "none\n");
}

}  // namespace
