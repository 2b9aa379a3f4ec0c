// The encoding job on its worker thread.
#pragma once

#include <cstdint>

#include "zubmp3/engine_results.h"

namespace engine {

using enum zubmp3::JobStatus;

// Starts the worker for the paths in the engine state ("passfiles" has set
// job_status to 1000). Returns 0; when no thread can be created the job ends
// at once with status 106 instead of staying at 1000.
int32_t start_encode_thread();

// Waits until the last worker has left the engine's code (it has stored its
// final status first). Returns at once when no worker was started. Called
// before each job, by "cancel", and when the engine library is unloaded.
void join_encode_thread();

// The worker's body: progress 0, the job, its final status.
uint32_t encode_thread_main(void* unused);

// The job itself: runs every step and returns the final status (kJobDone or
// the reason it stopped).
int32_t run_encode_job();

// Percent of `input_length` that `bytes_consumed` is, truncated; 0 when
// either is 0.
int32_t progress_percent(int64_t input_length, int64_t bytes_consumed);

}  // namespace engine
