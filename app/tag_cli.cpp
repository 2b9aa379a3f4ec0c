#include "tag_cli.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "commands.h"

namespace zubmp3::app {
namespace {

constexpr const char* kJsonHelp = "One JSON object per file, one per line, instead of text";

// The footer of a command on files: an example and what its status says.
std::string files_footer(const std::string& example, const std::string& done) {
    return "Example: " + example +
           "\nExit status: 0 " + done + " in every file; 1 a file failed (the others are still done);\n"
           "2 usage error (no file touched); 3 automation error.";
}

// The FILE... argument of a tag command.
void add_files(CLI::App& command, std::vector<std::string>& files) {
    command.add_option("FILE", files, "MP3 files")->required()->option_text("... REQUIRED");
}

Command add_tag_write_command(CLI::App& app, const char* name, const char* description, TagChoice tag,
                              const std::string& example) {
    auto options = std::make_shared<TagWriteOptions>();
    auto* command = app.add_subcommand(name, description);
    command->footer(files_footer(example, "the tag was written") +
                    "\nFiles that hold no MPEG audio (a WAV, ...) are refused unless --force.");
    add_files(*command, options->files);
    add_tag_edit_options(*command, options->edits, tag);
    command->add_flag("--force", options->edits.force,
                      "Write into files that hold no MPEG audio after their tags (a WAV, ...)");
    command->add_flag("--json", options->json, kJsonHelp);
    return {command, [options] { return run_tag_write(*options); }};
}

}  // namespace

Command add_tags_command(CLI::App& app) {
    auto options = std::make_shared<TagReadOptions>();
    auto* command = app.add_subcommand("tags", "Print the ID3v1 and ID3v2 tags of MP3 files");
    command->footer(files_footer("zubmp3 tags --json *.mp3", "the tags were read (a file without tags too)"));
    add_files(*command, options->files);
    command->add_flag("--v1", options->v1, "Only the ID3v1 tag");
    command->add_flag("--v2", options->v2, "Only the ID3v2 tag");
    command->add_flag("--json", options->json, kJsonHelp);
    return {command, [options] { return run_tags(*options); }};
}

Command add_tag_v1_command(CLI::App& app) {
    return add_tag_write_command(app, "tag-v1", "Write the ID3v1 tag of MP3 files; fields not given keep their values",
                                 TagChoice::v1, "zubmp3 tag-v1 song.mp3 --artist Someone --track 3 --genre Rock");
}

Command add_tag_v2_command(CLI::App& app) {
    return add_tag_write_command(app, "tag-v2", "Write the ID3v2 tag of MP3 files; fields not given keep their values",
                                 TagChoice::v2, "zubmp3 tag-v2 *.mp3 --album \"An album\" --year 2024");
}

Command add_untag_command(CLI::App& app) {
    auto options = std::make_shared<UntagOptions>();
    auto* command = app.add_subcommand("untag", "Remove the tags of MP3 files (both unless --v1 or --v2)");
    command->footer(files_footer("zubmp3 untag --v1 *.mp3", "the tags were removed (or were not there)"));
    add_files(*command, options->files);
    command->add_flag("--v1", options->v1, "Remove the ID3v1 tag");
    command->add_flag("--v2", options->v2, "Remove the ID3v2 tag");
    command->add_flag("--json", options->json, kJsonHelp);
    return {command, [options] { return run_untag(*options); }};
}

Command add_genres_command(CLI::App& app) {
    auto json = std::make_shared<bool>(false);
    auto* command = app.add_subcommand("genres", "List the ID3v1 genres, number and name");
    command->add_flag("--json", *json, "One JSON array of {\"number\", \"name\"}");
    return {command, [json] { return run_genres(*json); }};
}

Command add_about_command(CLI::App& app) {
    auto* command = app.add_subcommand("about", "Show the control's About box");
    return {command, [] { return run_about(); }};
}

}  // namespace zubmp3::app
