#include "fault_steps.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace fault_steps {
namespace {

// Armed and fired only on the test's own thread, while it calls the engine.
int steps_left = 0;
int seen = 0;
bool fired = false;
std::function<void()> pending;
std::map<std::string, Hook> hooks;

void step() {
    ++seen;
    if (steps_left == 0 || --steps_left != 0) return;
    fired = true;
    auto action = std::move(pending);
    pending = nullptr;
    action();
}

void hook(const char* call, int fd, const char* name) {
    const auto found = hooks.find(call);
    if (found == hooks.end()) return;
    const Hook action = found->second;  // a hook may remove itself
    action(fd, name);
}

}  // namespace

void on(const std::string& call, Hook action) {
    if (action)
        hooks[call] = std::move(action);
    else
        hooks.erase(call);
}

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
int __real_openat(int folder, const char* path, int flags, ...);
int __real_renameat(int from_folder, const char* from, int to_folder, const char* to);
int __real_fsync(int fd);
ssize_t __real_copy_file_range(int in, off64_t* in_offset, int out, off64_t* out_offset, size_t count,
                               unsigned flags);

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

int __wrap_openat(int folder, const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, int));
        va_end(arguments);
    }
    fault_steps::step();
    fault_steps::hook("openat", folder, path);
    return __real_openat(folder, path, flags, mode);
}

int __wrap_renameat(int from_folder, const char* from, int to_folder, const char* to) {
    fault_steps::step();
    fault_steps::hook("renameat", from_folder, from);
    return __real_renameat(from_folder, from, to_folder, to);
}

int __wrap_fsync(int fd) {
    fault_steps::step();
    fault_steps::hook("fsync", fd, "");
    return __real_fsync(fd);
}

ssize_t __wrap_copy_file_range(int in, off64_t* in_offset, int out, off64_t* out_offset, size_t count,
                               unsigned flags) {
    fault_steps::step();
    fault_steps::hook("copy_file_range", out, "");
    return __real_copy_file_range(in, in_offset, out, out_offset, count, flags);
}

}  // extern "C"
