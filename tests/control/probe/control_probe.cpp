// Runs one control method in a process of its own, so that a test can choose
// the control folder by copying libzubmp3ctl.so and this program together.
//   control_probe pause                      -> "ok" or "error <n>" and the description
//   control_probe write_v2 <mp3> <title>     -> the method's result
//   control_probe remove_v2 <mp3>            -> the method's result
//   control_probe encode <wav> <mp3>         -> the number of the job's ErrorCode event
#include <iostream>
#include <optional>
#include <string>

#include "platform/text.h"
#include "zubmp3/zubencode.h"

namespace {

zubmp3::Text text(const char* utf8) { return platform::utf8_to_utf16(utf8); }

// Runs one job to its end on this thread's loop.
zubmp3::Long encode(zubmp3::ZUBEncode& control, const char* wav, const char* mp3) {
    struct Events : zubmp3::ZUBEncodeEvents {
        std::optional<zubmp3::Long> error;
        void ErrorCode(zubmp3::Long& number, zubmp3::Text&) override { error = number; }
    } events;
    control.set_events(&events);
    control.MP3Encode(text(wav), text(mp3), 128, u"joint", u"normal", 0, 320);
    zubmp3::EventLoop::current().run_until([&] { return events.error.has_value(); });
    control.set_events(nullptr);
    return *events.error;
}

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
        } else if (what == "encode" && argc == 4) {
            std::cout << encode(control, argv[2], argv[3]) << '\n';
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
