// The engine library's one entry point: a command word and three
// pointer-wide arguments; a 32-bit result. Unknown words return 0. Its type
// is zubmp3::Interface1Function.
#pragma once

#include <cstdint>

#include "zubmp3/engine_results.h"

#define ZUBMP3_ENGINE_EXPORT __attribute__((visibility("default")))

extern "C" ZUBMP3_ENGINE_EXPORT int32_t interface1(const char* command, intptr_t value, intptr_t text,
                                                    intptr_t index);
