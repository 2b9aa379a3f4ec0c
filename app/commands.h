// The application's commands. Each drives one control and answers the
// process exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tag_commands.h"
#include "zubmp3/host.h"

namespace zubmp3::app {

enum ExitStatus : int {
    kSuccess = 0,
    kControlError = 1,     // the control reported an error or a tag method a non-zero result
    kUsageError = 2,
    kAutomationError = 3,  // the control raised an automation error
};

struct TagReadOptions {
    std::vector<std::string> files;
    bool v1 = false, v2 = false;  // neither: both
    bool json = false;
};

struct TagWriteOptions {
    std::vector<std::string> files;
    TagEdits edits;
    bool json = false;
};

struct UntagOptions {
    std::vector<std::string> files;
    bool v1 = false, v2 = false;  // neither: both
    bool json = false;
};

int run_tags(const TagReadOptions& options);
int run_tag_write(const TagWriteOptions& options);
int run_untag(const UntagOptions& options);
int run_genres(bool json);
int run_about();
std::string control_name();

}  // namespace zubmp3::app
