// One command of the application: its CLI11 subcommand and what runs it
// once the command line is parsed (answering the exit status). Each
// command's add_*_command function registers it on the application.
#pragma once

#include <functional>

namespace CLI {
class App;
}

namespace zubmp3::app {

struct Command {
    CLI::App* app = nullptr;
    std::function<int()> run;
};

}  // namespace zubmp3::app
