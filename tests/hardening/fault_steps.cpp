#include "fault_steps.h"

#include <fcntl.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstdio>
#include <utility>

namespace fault_steps {
namespace {

// Armed and fired only on the test's own thread, while it calls the engine.
int steps_left = 0;
int seen = 0;
bool fired = false;
std::function<void()> pending;

void step() {
    ++seen;
    if (steps_left == 0 || --steps_left != 0) return;
    fired = true;
    auto action = std::move(pending);
    pending = nullptr;
    action();
}

}  // namespace

void arm(int step_number, std::function<void()> action) {
    steps_left = step_number;
    seen = 0;
    fired = false;
    pending = std::move(action);
}

bool disarm() {
    steps_left = 0;
    pending = nullptr;
    return fired;
}

int steps_seen() { return seen; }

}  // namespace fault_steps

extern "C" {

int __real_open(const char* path, int flags, ...);
FILE* __real_fopen(const char* path, const char* mode);
int __real_mkostemp(char* name, int flags);
int __real_rename(const char* from, const char* to);

int __wrap_open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    fault_steps::step();
    return __real_open(path, flags, mode);
}

FILE* __wrap_fopen(const char* path, const char* mode) {
    fault_steps::step();
    return __real_fopen(path, mode);
}

int __wrap_mkostemp(char* name, int flags) {
    fault_steps::step();
    return __real_mkostemp(name, flags);
}

int __wrap_rename(const char* from, const char* to) {
    fault_steps::step();
    return __real_rename(from, to);
}

}  // extern "C"
