#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "platform/win32.h"

namespace engine {

void engine_trace(const char* format, ...) {
    const char* log = std::getenv("ZUBMP3_TRACE");
    if (log == nullptr || *log == '\0') return;
    FILE* file = std::fopen(log, "ae");
    if (file == nullptr) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fclose(file);
}

void show_debug_message(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (MessageBoxA(nullptr, text, "Debug", MB_OKCANCEL | MB_TOPMOST) != IDOK) std::exit(1);
}

}  // namespace engine
