// The file steps of the engine and platform code linked into a test: every
// open, fopen, mkostemp and rename call (the binary is linked with
// -Wl,--wrap for each). A test arms an action to run just before step n, so
// that a fault can be placed between any two steps of an operation.
#pragma once

#include <functional>

namespace fault_steps {

// Runs `action` once, right before the `step`-th file step from now (1 = the next).
void arm(int step, std::function<void()> action);
// Disarms; true when the action ran.
bool disarm();
// File steps seen since the last arm.
int steps_seen();

}  // namespace fault_steps
