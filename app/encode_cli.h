// The encode command's registration on the command line.
#pragma once

#include <string>
#include <vector>

#include "command.h"

namespace zubmp3::app {

Command add_encode_command(CLI::App& app);

// One input and the MP3 it becomes.
struct EncodePair {
    std::string input, output;
};

// The files of the command line. "zubmp3 encode IN OUT" (two paths, no
// output folder, and the second ends in .mp3 or is not an existing file)
// is one input and its output, `single` set; otherwise every path is an
// input whose MP3 is named after it (.mp3 for its extension) beside it or
// in `folder`. UsageError when two inputs would make one MP3.
std::vector<EncodePair> plan_outputs(const std::vector<std::string>& paths, const std::string& folder, bool& single);

}  // namespace zubmp3::app
