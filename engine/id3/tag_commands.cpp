// The tag words of interface1.
#include "../dispatch.h"

namespace engine {

std::span<const Command> tag_commands() { return {}; }

}  // namespace engine
