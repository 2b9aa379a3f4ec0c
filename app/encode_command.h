// zubmp3 encode for one file: the input converted first when the control
// would refuse it, then one job of the control, watched through its events
// and steered by keys and signals; tags written after success.
#pragma once

#include "encode_options.h"

namespace zubmp3::app {

// The process exit status: 0 success (or an output kept by no_clobber), 1
// failure or cancel, 130 / 143 after an interrupt (the job cancelled cleanly).
int run_encode(const EncodeRequest& request);

}  // namespace zubmp3::app
