#include "steering.h"

namespace zubmp3::app {

Steering::Steering(bool events, bool stdin_keys) {
    if (stdin_keys || (!events && platform::is_terminal(platform::StdStream::input))) keys_.emplace();
    platform::install_interrupt_handler();
}

Steer Steering::poll() {
    if (platform::interrupt_requested()) {
        if (interrupt_seen_) return Steer::none;  // reported once
        interrupt_seen_ = true;
        return Steer::cancel;
    }
    while (keys_) {
        const auto key = keys_->poll();
        if (!key) break;
        switch (*key) {
            case 'p': case 'P': return Steer::pause;
            case 'r': case 'R': return Steer::resume;
            case 'c': case 'C': return Steer::cancel;
            default: break;
        }
    }
    return Steer::none;
}

bool Steering::interrupted() const { return platform::interrupt_requested(); }

int Steering::interrupt_status() const {
    const int signal = platform::interrupt_signal();
    return signal == 0 ? 0 : 128 + signal;
}

}  // namespace zubmp3::app
