// zubmp3: a command-line host for the ZUBEncode control.
#include <CLI/CLI.hpp>

#include <functional>
#include <iostream>
#include <utility>
#include <vector>

#include "commands.h"
#include "control_events.h"
#include "control_text.h"
#include "encode_cli.h"
#include "library_hint.h"
#include "tag_view.h"

using namespace zubmp3::app;
using zubmp3::Long;

namespace {

// Text options of a tag command, kept with the option that fills each.
template <typename Field, size_t N>
std::vector<std::pair<CLI::Option*, std::string>> add_text_options(CLI::App& command,
                                                                   const std::array<Field, N>& fields,
                                                                   std::vector<std::string>& values) {
    values.resize(N);
    std::vector<std::pair<CLI::Option*, std::string>> options;
    for (size_t i = 0; i < N; ++i) {
        const std::string flag = fields[i].option;
        options.emplace_back(command.add_option(flag, values[i], std::string(fields[i].label) + " (text)"), flag);
    }
    return options;
}

std::vector<GivenText> given_texts(const std::vector<std::pair<CLI::Option*, std::string>>& options,
                                   const std::vector<std::string>& values) {
    std::vector<GivenText> given;
    for (size_t i = 0; i < options.size(); ++i)
        if (options[i].first->count() > 0) given.push_back({options[i].second, values[i]});
    return given;
}

// The control's number and description, and for a library it could not use,
// which file it looked for and where.
int automation_error(const zubmp3::AutomationError& e) {
    complain("automation error " + std::to_string(e.number()) + ": " + to_utf8(e.description()));
    if (const auto hint = library_hint(e.number())) complain(*hint);
    return kAutomationError;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Encode 16-bit PCM WAV files to MP3 and read, write and remove ID3v1 and ID3v2 tags,\n"
                 "through the ZUBEncode control.",
                 "zubmp3"};
    app.require_subcommand(1);
    app.set_version_flag("--version", [] { return control_name(); }, "Show the control's name and version");
    app.footer("Exit status: 0 success, 1 the control reported an error, 2 usage error, 3 automation error.\n");

    const Command encode_command = add_encode_command(app);

    // tags
    std::string tags_file;
    bool tags_json = false;
    auto* tags_command = app.add_subcommand("tags", "Print the ID3v1 and ID3v2 tags of an MP3 file");
    tags_command->add_option("FILE", tags_file, "MP3 file")->required();
    tags_command->add_flag("--json", tags_json, "One JSON object instead of a table");

    // tag-v1
    TagV1Options v1;
    std::vector<std::string> v1_values;
    Long v1_track = 0;
    std::string v1_genre;
    auto* v1_command = app.add_subcommand("tag-v1", "Write the ID3v1 tag; fields not given keep their values");
    v1_command->add_option("FILE", v1.file, "MP3 file")->required();
    const auto v1_texts = add_text_options(*v1_command, kTagV1Texts, v1_values);
    auto* v1_track_option = v1_command->add_option("--track", v1_track, "Track number")->check(CLI::Range(0, 255));
    auto* v1_genre_option = v1_command->add_option("--genre", v1_genre, "Genre number or name (see genres)");

    // tag-v2
    TagV2Options v2;
    std::vector<std::string> v2_values;
    auto* v2_command = app.add_subcommand("tag-v2", "Write the ID3v2 tag; fields not given keep their values");
    v2_command->add_option("FILE", v2.file, "MP3 file")->required();
    const auto v2_texts = add_text_options(*v2_command, kTagV2Texts, v2_values);

    // untag, genres, about
    UntagOptions untag;
    auto* untag_command = app.add_subcommand("untag", "Remove tags (both kinds unless --v1 or --v2 is given)");
    untag_command->add_option("FILE", untag.file, "MP3 file")->required();
    untag_command->add_flag("--v1", untag.v1, "Remove the ID3v1 tag");
    untag_command->add_flag("--v2", untag.v2, "Remove the ID3v2 tag");
    auto* genres_command = app.add_subcommand("genres", "List the ID3v1 genres, number and name");
    auto* about_command = app.add_subcommand("about", "Show the control's About box");

    const std::vector<std::pair<CLI::App*, std::function<int()>>> commands = {
        {encode_command.app, encode_command.run},
        {tags_command, [&] { return run_tags(tags_file, tags_json); }},
        {v1_command,
         [&] {
             v1.texts = given_texts(v1_texts, v1_values);
             if (v1_track_option->count() > 0) v1.track = v1_track;
             if (v1_genre_option->count() > 0) v1.genre = v1_genre;
             return run_tag_v1(v1);
         }},
        {v2_command,
         [&] {
             v2.texts = given_texts(v2_texts, v2_values);
             return run_tag_v2(v2);
         }},
        {untag_command, [&] { return run_untag(untag); }},
        {genres_command, [] { return run_genres(); }},
        {about_command, [] { return run_about(); }},
    };

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string hint = "zubmp3 --help";
        for (const auto& [command, run] : commands)
            if (command->parsed()) hint = "zubmp3 " + command->get_name() + " --help";
        complain(e.what());
        std::cerr << "Run '" << hint << "' for usage.\n";
        return kUsageError;
    } catch (const zubmp3::AutomationError& e) {  // raised by ControlName under --version
        return automation_error(e);
    }

    try {
        for (const auto& [command, run] : commands)
            if (command->parsed()) return run();
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
