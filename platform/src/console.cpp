#include "platform/console.h"

#include <unistd.h>

namespace platform {

bool stdin_is_terminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace platform
