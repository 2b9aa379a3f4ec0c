// The numbers and messages that the control reports through its ErrorCode event.
#pragma once

#include "zubmp3/host.h"

namespace zubmp3 {

struct ReportedError {
    Long number;
    Text message;
};

// The number and message that ErrorCode carries for `number`: its row of the
// table, or 255 with "Unexpected error " and the number for anything else.
ReportedError reported_error(Long number);

}  // namespace zubmp3
