// The engine's two debug facilities.
#pragma once

namespace engine {

// Appends one formatted line to the file named by $ZUBMP3_TRACE; nothing
// happens when the variable is unset. The trace texts are the engine's own
// and are kept word for word, Portuguese words, spellings and stray blanks
// included.
void engine_trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A topmost OK/Cancel box captioned "Debug"; any answer but OK ends the process
// with exit code 1.
void show_debug_message(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace engine
