#include "platform/text.h"
#include "zubmp3/host.h"

namespace zubmp3 {

AutomationError::AutomationError(Long number, Text description)
    : std::runtime_error("error " + std::to_string(number) + ": " + platform::utf16_to_utf8(description)),
      number_(number),
      description_(std::move(description)) {}

}  // namespace zubmp3
