// The engine library's one entry point: a command word and three
// pointer-wide arguments; a 32-bit result. Unknown words return 0.
#pragma once

#include <cstdint>

#define ZUBMP3_ENGINE_EXPORT __attribute__((visibility("default")))

extern "C" ZUBMP3_ENGINE_EXPORT int32_t interface1(const char* command, intptr_t value, intptr_t text,
                                                    intptr_t index);
using Interface1Function = int32_t (*)(const char* command, intptr_t value, intptr_t text, intptr_t index);
