// Registration of the commands other than encode: their options, help
// texts and runners.
#pragma once

#include "command.h"

namespace zubmp3::app {

Command add_tags_command(CLI::App& app);
Command add_tag_v1_command(CLI::App& app);
Command add_tag_v2_command(CLI::App& app);
Command add_untag_command(CLI::App& app);
Command add_genres_command(CLI::App& app);
Command add_about_command(CLI::App& app);

}  // namespace zubmp3::app
