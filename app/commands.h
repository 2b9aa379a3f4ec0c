// The application's commands. Each drives one control and answers the
// process exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "zubmp3/host.h"

namespace zubmp3::app {

enum ExitStatus : int {
    kSuccess = 0,
    kControlError = 1,     // the control reported an error or a tag method a non-zero result
    kUsageError = 2,
    kAutomationError = 3,  // the control raised an automation error
};

// A text field given on the command line: its option word and its value.
struct GivenText {
    std::string option;
    std::string value;
};

struct TagV1Options {
    std::string file;
    std::vector<GivenText> texts;  // options among --title --artist --album --year --comment
    std::optional<Long> track;
    std::optional<std::string> genre;  // a number or a name of the genre list
};

struct TagV2Options {
    std::string file;
    std::vector<GivenText> texts;  // options among the twelve field options
};

struct UntagOptions {
    std::string file;
    bool v1 = false, v2 = false;  // neither: both
};

int run_tags(const std::string& file, bool json);
int run_tag_v1(const TagV1Options& options);
int run_tag_v2(const TagV2Options& options);
int run_untag(const UntagOptions& options);
int run_genres();
int run_about();
std::string control_name();

}  // namespace zubmp3::app
