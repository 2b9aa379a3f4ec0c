// zubmp3 encode: its options, the rule that tells the one-file form from a
// list of inputs, and the hand-over to a session or a batch.
#include "encode_cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "audio_input.h"
#include "batch.h"
#include "control_text.h"
#include "encode_command.h"
#include "encode_messages.h"
#include "encode_options.h"
#include "tag_commands.h"

namespace zubmp3::app {
namespace {

namespace fs = std::filesystem;

// Options that shape the batch itself; every other option given is passed
// on to each child.
const std::set<std::string> kBatchOnly = {"--output-dir", "--jobs", "--no-clobber", "--events", "--json",
                                          "--stdin-keys", "--help"};

struct EncodeCommandState {
    std::vector<std::string> paths;
    std::string folder;
    int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EncodeRequest request;
    Long priority = 2;
    CLI::Option* priority_option = nullptr;
    CLI::Option* vbr_max_option = nullptr;
    TagEdits tags;
    std::set<std::string> tag_options;  // written by this process after each job, not by the children
    std::vector<EncodePair> pairs;
    bool single = false;
};

CLI::Validator word_check(std::optional<std::string> (*word)(const std::string&), const std::string& choices) {
    return CLI::Validator(
        [word, choices](std::string& value) -> std::string {
            const auto control_word = word(value);
            if (!control_word) return "'" + value + "' is not one of " + choices;
            value = *control_word;
            return {};
        },
        choices);
}

bool ends_in_mp3(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    return extension == ".mp3";
}

bool is_existing_file(const std::string& path) {
    const auto host = host_path(path);
    std::error_code ignored;
    return host && fs::is_regular_file(*host, ignored);
}

// The options of the command line that each child gets, as --name=value.
std::vector<std::string> child_options(const CLI::App& command, const std::set<std::string>& skipped) {
    std::vector<std::string> options;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional() || option->count() == 0 || option->get_lnames().empty()) continue;
        const std::string name = "--" + option->get_lnames().front();
        if (kBatchOnly.count(name) != 0 || skipped.count(name) != 0) continue;
        if (option->get_type_size_max() == 0) {
            options.insert(options.end(), option->count(), name);  // a flag
            continue;
        }
        for (const std::string& value : option->results()) options.push_back(name + "=" + value);
    }
    return options;
}

int run(const CLI::App& command, EncodeCommandState& state) {
    if (!state.tags.empty()) {
        state.request.after_success = [&state](const std::string& mp3) { return apply_tag_edits(mp3, state.tags); };
    }
    if (state.single) {
        state.request.input = state.pairs.front().input;
        state.request.output = state.pairs.front().output;
        return run_encode(state.request);
    }
    std::vector<BatchJob> jobs;
    for (const EncodePair& pair : state.pairs) {
        const auto host = host_path(pair.input);
        jobs.push_back({pair.input, pair.output, host ? probe_input(*host).seconds() : 0});
    }
    BatchOptions options;
    options.jobs = state.jobs;
    options.events = state.request.events;
    options.json = state.request.json;
    options.stdin_keys = state.request.stdin_keys;
    options.no_clobber = state.request.no_clobber;
    options.child_options = child_options(command, state.tag_options);
    options.after_success = state.request.after_success;
    return run_batch(jobs, options);
}

void add_setting_options(CLI::App& command, EncodeCommandState& state) {
    EncodeSettings& s = state.request.settings;
    command.add_option("-b,--bitrate", s.bitrate, "kbit/s; the minimum with --vbr")
        ->check(CLI::IsMember(kBitrates))
        ->capture_default_str();
    command.add_option("-m,--mode", s.mode, "stereo, joint, dual or mono (or s, j, d, m), any case")
        ->transform(word_check(mode_word, "stereo, joint, dual, mono (or s, j, d, m)"))
        ->capture_default_str();
    command.add_option("--quality", s.quality, "normal, low or high, any case")
        ->transform(word_check(quality_word, "normal, low, high"))
        ->capture_default_str();
    auto* vbr = command.add_flag("--vbr", s.vbr, "Variable bitrate");
    state.vbr_max_option = command.add_option("--vbr-max", s.vbr_max, "Highest bitrate with --vbr, kbit/s")
                               ->check(CLI::IsMember(kBitrates))
                               ->needs(vbr)
                               ->capture_default_str();
    state.priority_option = command.add_option("--priority", state.priority, "Process priority: 1 idle, 2 normal, 3 high")
                                ->check(CLI::Range(1, 3));
}

void add_run_options(CLI::App& command, EncodeCommandState& state) {
    command.add_option("FILES", state.paths, "Input files (WAV of any kind, AIFF, FLAC, Ogg Vorbis, W64, ...);\n"
                                             "or INPUT OUTPUT.mp3 for one file")
        ->required();
    command.add_option("-o,--output-dir", state.folder, "Folder for the MP3s (default: beside each input)");
    command.add_option("-j,--jobs", state.jobs, "Files encoded at once (default: the number of cores)")
        ->check(CLI::PositiveNumber);
    command.add_flag("-n,--no-clobber", state.request.no_clobber, "Keep existing MP3s; skip their inputs");
    auto* events = command.add_flag("--events", state.request.events,
                                    "Print the control's events on standard output instead of a progress bar\n"
                                    "(several files: each line starts with its input and a tab)");
    command.add_flag("--json", state.request.json,
                     "Print one JSON object per file on standard output: file, output, result (the control's\n"
                     "number), error (in words), kept")
        ->excludes(events);
    command.add_flag("--stdin-keys", state.request.stdin_keys,
                     "Read p (pause), r (resume) and c (cancel) from standard input even when it is not a terminal");
}

// The control takes Windows paths too ("C:\\music\\a.wav"): a file name
// follows the last '/' or '\\'.
std::string file_name(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// An input's file name with .mp3 in place of its extension, if it has one.
std::string mp3_name(const std::string& input) {
    const std::string name = file_name(input);
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".mp3";
}

}  // namespace

std::vector<EncodePair> plan_outputs(const std::vector<std::string>& paths, const std::string& folder, bool& single) {
    single = paths.size() == 2 && folder.empty() && (ends_in_mp3(paths[1]) || !is_existing_file(paths[1]));
    if (single) return {{paths[0], paths[1]}};
    std::vector<EncodePair> pairs;
    std::map<std::string, std::string> taken;  // output -> the input it comes from
    for (const std::string& input : paths) {
        const std::string name = mp3_name(input);
        const fs::path output = folder.empty() ? fs::path(input.substr(0, input.size() - file_name(input).size()) + name)
                                               : fs::path(folder) / name;
        const std::string key = fs::weakly_canonical(fs::absolute(output)).string();
        if (const auto other = taken.find(key); other != taken.end())
            throw UsageError(other->second + " and " + input + " would both be encoded to " + output.string());
        taken.emplace(key, input);
        pairs.push_back({input, output.string()});
    }
    return pairs;
}

Command add_encode_command(CLI::App& app) {
    auto state = std::make_shared<EncodeCommandState>();
    auto* command = app.add_subcommand("encode", "Encode audio files to MP3");
    add_run_options(*command, *state);
    add_setting_options(*command, *state);
    const size_t before_tags = command->get_options().size();
    add_tag_edit_options(*command, state->tags);
    const auto options = command->get_options();
    for (size_t i = before_tags; i < options.size(); ++i) state->tag_options.insert("--" + options[i]->get_lnames().front());
    command->footer(
        "Forms: 'zubmp3 encode IN OUT' encodes one file (OUT ends in .mp3 or is not an existing file);\n"
        "otherwise each FILE becomes FILE's name with .mp3, beside it or in --output-dir.\n"
        "Inputs the control does not take as they are (8/24/32-bit, float, other rates, AIFF, FLAC, ...)\n"
        "are converted to 16-bit PCM first, resampled to 48 kHz at most.\n"
        "Tag options write the tags into each MP3 after it is encoded.\n"
        "Exit status: one file: 0 done, 1 failed or cancelled; several files: 0 all done, 10 + the number\n"
        "not encoded (at most 110); 2 usage error; 3 the libraries are missing; 130 Ctrl-C, 143 SIGTERM.");
    command->callback([state] {
        const std::string problem = bitrate_problem(state->request.settings, state->vbr_max_option->count() > 0);
        if (!problem.empty()) throw CLI::ValidationError(problem);
        try {
            state->pairs = plan_outputs(state->paths, state->folder, state->single);
        } catch (const UsageError& e) {
            throw CLI::ValidationError(e.what());
        }
        if (state->priority_option->count() > 0) state->request.settings.priority = state->priority;
    });
    return {command, [state, command] { return run(*command, *state); }};
}

}  // namespace zubmp3::app
