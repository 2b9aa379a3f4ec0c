// Runs one control method in a process of its own, so that a test can choose
// the control folder by copying libzubmp3ctl.so and this program together.
//   control_probe pause                      -> "ok" or "error <n>" and the description
//   control_probe write_v2 <mp3> <title>     -> the method's result
//   control_probe remove_v2 <mp3>            -> the method's result
#include <iostream>
#include <string>

#include "platform/text.h"
#include "zubmp3/zubencode.h"

namespace {

zubmp3::Text text(const char* utf8) { return platform::utf8_to_utf16(utf8); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string what = argv[1];
    try {
        zubmp3::ZUBEncode control;
        if (what == "pause") {
            control.MP3EncodePause();
            std::cout << "ok\n";
        } else if (what == "write_v2" && argc == 4) {
            const zubmp3::Text e;
            std::cout << control.Write_ID3_v2_tag(text(argv[2]), e, text(argv[3]), e, e, e, e, e, e, e, e, e, e)
                      << '\n';
        } else if (what == "remove_v2" && argc == 3) {
            std::cout << control.Remove_ID3V2_tag(text(argv[2])) << '\n';
        } else {
            return 2;
        }
    } catch (const zubmp3::AutomationError& error) {
        std::cout << "error " << error.number() << '\n' << platform::utf16_to_utf8(error.description()) << '\n';
    }
    return 0;
}
