// zubmp3 encode for many files: each file is encoded by a child process
// (the engine runs one job per process), up to N at once, with one combined
// progress line, --events lines that carry their file, and one Ctrl-C that
// cancels every running job and starts no more.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zubmp3::app {

struct BatchJob {
    std::string input, output;
    double seconds = 0;  // the input's length, for the combined percentage; 0 when unknown
};

struct BatchOptions {
    int jobs = 1;                            // children at once
    bool events = false;
    bool json = false;                       // one JSON object per file on standard output
    bool stdin_keys = false;
    bool no_clobber = false;
    std::vector<std::string> child_options;  // encode options every child gets (bitrate, mode, ...)
    // Run by this process on each MP3 whose job succeeded (the tags); answers an exit status.
    std::function<int(const std::string& mp3)> after_success;
};

// The exit status: 0 when every file was encoded (or kept by no_clobber),
// otherwise 10 + the number of files not encoded (failed, cancelled or not
// started), at most 110; 130 / 143 after an interrupt; 3 after an
// automation error (the libraries are missing: nothing can be encoded).
int run_batch(const std::vector<BatchJob>& jobs, const BatchOptions& options);

// The exit status for `failed` files not encoded.
int batch_status(int failed);

// What the combined line shows: the share of the work done, weighting each
// file by its length (by one when no length is known).
struct BatchShare {
    double seconds = 0;  // the file's length
    double done = 0;     // 0..1
};
int batch_percent(const std::vector<BatchShare>& shares);

}  // namespace zubmp3::app
