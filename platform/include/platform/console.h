// The process's terminal.
#pragma once

namespace platform {

// True when standard input is an interactive terminal.
bool stdin_is_terminal();

}  // namespace platform
