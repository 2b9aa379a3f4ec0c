#include "tag_cli.h"

#include <CLI/CLI.hpp>

#include <memory>

#include "commands.h"

namespace zubmp3::app {
namespace {

constexpr const char* kJsonHelp = "One JSON object per file, one per line, instead of text";

// The FILE... argument of a tag command.
void add_files(CLI::App& command, std::vector<std::string>& files) {
    command.add_option("FILE", files, "MP3 files")->required();
}

Command add_tag_write_command(CLI::App& app, const char* name, const char* description, TagChoice tag) {
    auto options = std::make_shared<TagWriteOptions>();
    auto* command = app.add_subcommand(name, description);
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
    add_files(*command, options->files);
    command->add_flag("--v1", options->v1, "Only the ID3v1 tag");
    command->add_flag("--v2", options->v2, "Only the ID3v2 tag");
    command->add_flag("--json", options->json, kJsonHelp);
    return {command, [options] { return run_tags(*options); }};
}

Command add_tag_v1_command(CLI::App& app) {
    return add_tag_write_command(app, "tag-v1", "Write the ID3v1 tag of MP3 files; fields not given keep their values",
                                 TagChoice::v1);
}

Command add_tag_v2_command(CLI::App& app) {
    return add_tag_write_command(app, "tag-v2", "Write the ID3v2 tag of MP3 files; fields not given keep their values",
                                 TagChoice::v2);
}

Command add_untag_command(CLI::App& app) {
    auto options = std::make_shared<UntagOptions>();
    auto* command = app.add_subcommand("untag", "Remove the tags of MP3 files (both unless --v1 or --v2)");
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
