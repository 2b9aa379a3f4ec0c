// Encodes one WAV file through interface1 of the engine library, as the
// control does, for the benchmark: encode_driver ENGINE_FOLDER IN.wav OUT.mp3 cbr|vbr
#include <cstdio>
#include <string>

#include "interface1.h"
#include "platform/paths.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: encode_driver ENGINE_FOLDER IN.wav OUT.mp3 cbr|vbr\n");
        return 2;
    }
    const std::string folder = argv[1];
    HMODULE engine = LoadLibraryA(platform::to_windows_path(folder + "/zubmp3enc2.dll").c_str());
    if (engine == nullptr) {
        std::fprintf(stderr, "cannot load the engine from %s\n", folder.c_str());
        return 1;
    }
    auto call = reinterpret_cast<zubmp3::Interface1Function>(GetProcAddress(engine, "interface1"));
    const bool vbr = std::string(argv[4]) == "vbr";
    call("bitrate", 128, 0, 0);
    call("vbr", vbr ? 1 : 0, 0, 0);
    call("vbrmaxbitrate", 320, 0, 0);
    call("stereomode", 1, 0, 0);  // joint stereo
    call("quality", 0, 0, 0);     // normal
    const std::string input = platform::to_windows_path(argv[2]);
    const std::string output = platform::to_windows_path(argv[3]);
    call("passfiles", reinterpret_cast<intptr_t>(input.c_str()), reinterpret_cast<intptr_t>(output.c_str()), 0);
    while (call("intreturn", 0, 0, 0) == 1000) Sleep(1);
    const int status = call("intreturn", 0, 0, 0);
    FreeLibrary(engine);
    if (status != 0) std::fprintf(stderr, "job ended with status %d\n", status);
    return status == 0 ? 0 : 1;
}
