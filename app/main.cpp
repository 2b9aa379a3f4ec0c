// zubmp3: a command-line host for the ZUBEncode control.
#include <CLI/CLI.hpp>

#include <iostream>
#include <vector>

#include "command.h"
#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "encode_cli.h"
#include "library_hint.h"
#include "tag_cli.h"

using namespace zubmp3::app;
using zubmp3::Long;

namespace {

constexpr const char* kExamples =
    "Examples:\n"
    "  zubmp3 encode song.wav song.mp3 --bitrate 192\n"
    "  zubmp3 encode *.wav *.flac -o mp3/ -j 4 --artist Someone\n"
    "  zubmp3 tags *.mp3\n"
    "  zubmp3 tag-v1 song.mp3 --artist Someone --genre Rock\n"
    "  zubmp3 tag-v2 *.mp3 --album \"An album\" --year 2024\n"
    "  zubmp3 untag --v1 song.mp3\n"
    "  zubmp3 genres\n"
    "  zubmp3 about\n"
    "\n"
    "Run 'zubmp3 COMMAND --help' for a command's options.\n"
    "Exit status: 0 success; 1 the control reported an error, or a file failed;\n"
    "2 usage error; 3 automation error; encode of several files: 10 + the number\n"
    "not encoded; 130 / 143 after Ctrl-C / SIGTERM. See each command's --help.\n";

// The control's number and description, and for a library it could not use,
// which file it looked for and where.
int automation_error(const zubmp3::AutomationError& e) {
    complain("automation error " + std::to_string(e.number()) + ": " + to_utf8(e.description()));
    if (const auto hint = library_hint(e.number())) complain(*hint);
    return kAutomationError;
}

int usage_error(const CLI::ParseError& e, const std::vector<Command>& commands) {
    std::string hint = "zubmp3 --help";
    for (const auto& command : commands)
        if (command.app->parsed()) hint = "zubmp3 " + command.app->get_name() + " --help";
    complain(e.what());
    std::cerr << "Run '" << hint << "' for usage.\n";
    return kUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Encode audio files to MP3 and read, write and remove ID3v1 and ID3v2 tags,\n"
                 "through the ZUBEncode control.",
                 "zubmp3"};
    app.require_subcommand(1);
    app.set_version_flag("--version", [] { return control_name(); }, "Show the control's name and version");
    const std::vector<Command> commands = {
        add_encode_command(app), add_tags_command(app),   add_tag_v1_command(app), add_tag_v2_command(app),
        add_untag_command(app),  add_genres_command(app), add_about_command(app),
    };
    app.footer(kExamples);  // after the commands, which have footers of their own

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usage_error(e, commands);
    } catch (const UsageError& e) {  // a path the control cannot name, found while parsing
        complain(e.what());
        return kUsageError;
    } catch (const zubmp3::AutomationError& e) {  // raised by the control while parsing (--version, genre names)
        return automation_error(e);
    }

    try {
        for (const auto& command : commands)
            if (command.app->parsed()) return command.run();
    } catch (const UsageError& e) {
        complain(e.what());
        return kUsageError;
    } catch (const zubmp3::AutomationError& e) {
        return automation_error(e);
    } catch (const std::exception& e) {
        complain(e.what());
        return kControlError;
    }
    return kUsageError;
}
