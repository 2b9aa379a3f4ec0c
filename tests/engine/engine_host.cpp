// A process that loads an engine library by path and runs one job through
// interface1, for the cases that need a process of their own (no encoder
// library, a stub encoder library, process priority, unloading mid-job).
//
//   engine_host ENGINE_FOLDER INPUT OUTPUT [word=value ...] [--unload-paused]
//
// Prints "status S progress P nice N" when the job ends, or, with
// --unload-paused, pauses the job once it has begun encoding, unloads the engine and prints "unloaded"
// when the engine is gone from the process.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "interface1.h"
#include "platform/paths.h"
#include "platform/win32.h"
#include "test_support.h"

namespace {

int nice_value() {  // field 19 of /proc/self/stat, after the command name in parentheses
    std::ifstream stat_file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19; ++i) fields >> field;
    return std::atoi(field.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: engine_host ENGINE_FOLDER INPUT OUTPUT [word=value ...] [--unload-paused]\n");
        return 2;
    }
    const std::string folder = argv[1];
    HMODULE engine = LoadLibraryA(platform::to_windows_path(folder + "/zubmp3enc2.dll").c_str());
    if (engine == nullptr) {
        std::fprintf(stderr, "cannot load the engine from %s\n", folder.c_str());
        return 3;
    }
    auto call = reinterpret_cast<zubmp3::Interface1Function>(GetProcAddress(engine, "interface1"));
    bool unload_paused = false;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--unload-paused") {
            unload_paused = true;
            continue;
        }
        const size_t equals = arg.find('=');
        call(arg.substr(0, equals).c_str(), std::atoi(arg.c_str() + equals + 1), 0, 0);
    }
    call("passfiles", reinterpret_cast<intptr_t>(argv[2]), reinterpret_cast<intptr_t>(argv[3]), 0);
    if (unload_paused) {
        while (call("progress", 0, 0, 0) == 0 && call("intreturn", 0, 0, 0) == 1000) Sleep(1);
        call("pause", 0, 0, 0);
        Sleep(100);
        FreeLibrary(engine);  // no "cancel": the engine must stop the job itself
        std::printf(testing_support::library_mapped(folder + "/libzubmp3enc2.so") ? "still mapped\n" : "unloaded\n");
        return 0;
    }
    while (call("intreturn", 0, 0, 0) == 1000) Sleep(5);
    std::printf("status %d progress %d nice %d\n", call("intreturn", 0, 0, 0), call("progress", 0, 0, 0),
                nice_value());
    return 0;
}
