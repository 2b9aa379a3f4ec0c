// The encoding job on its worker thread.
#pragma once

#include <cstdint>

namespace engine {

// Starts the worker for the paths in the engine state ("passfiles" has set
// job_status to 1000). Returns 0; when no thread can be created the job ends
// at once with a final status instead of staying at 1000.
int32_t start_encode_thread();

// Waits until the last worker has left the engine's code (it has stored its
// final status first). Returns at once when no worker was started.
void join_encode_thread();

// The job itself: runs every step and returns the final status.
int32_t run_encode_job();

}  // namespace engine
