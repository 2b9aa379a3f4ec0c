// What steers a running encode: keys (p pause, r resume, c cancel) from the
// terminal or, when asked, from standard input, and Ctrl-C or SIGTERM, which
// cancel cleanly.
#pragma once

#include <optional>

#include "platform/terminal.h"

namespace zubmp3::app {

enum class Steer { none, pause, resume, cancel };

class Steering {
public:
    // Keys are read when `stdin_keys` is set, or from a terminal unless
    // `events` is set (a program reading the events owns standard input).
    Steering(bool events, bool stdin_keys);

    // The next request: an interrupt comes first (as cancel), then keys.
    Steer poll();

    bool keys() const { return keys_.has_value(); }
    bool raw_terminal() const { return keys_ && keys_->raw_terminal(); }
    bool interrupted() const;
    // 128 + the signal's number after an interrupt (130 Ctrl-C, 143
    // SIGTERM); 0 before any.
    int interrupt_status() const;

private:
    std::optional<platform::KeyInput> keys_;
    bool interrupt_seen_ = false;
};

}  // namespace zubmp3::app
