// The file steps of the engine and platform code linked into a test: every
// open, openat, fopen, mkostemp, rename, renameat, fsync and copy_file_range
// call (the binary is linked with -Wl,--wrap for each). A test arms an action
// to run just before step n, so that a fault can be placed between any two
// steps of an operation, or hooks a call by name to act on what it is given.
#pragma once

#include <functional>
#include <string>

namespace fault_steps {

// Runs `action` once, right before the `step`-th file step from now (1 = the next).
void arm(int step, std::function<void()> action);
// Disarms; true when the action ran.
bool disarm();
// File steps seen since the last arm.
int steps_seen();

// Runs `action` right before every call of `call` ("openat", "renameat",
// "fsync", "copy_file_range") from now on, with the folder descriptor and name
// the call is given (openat, renameat: its source), or the descriptor and ""
// (fsync, copy_file_range: its target); an empty action removes the hook.
using Hook = std::function<void(int fd, const char* name)>;
void on(const std::string& call, Hook action);

}  // namespace fault_steps
