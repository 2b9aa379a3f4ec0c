// Encodes a WAV file to MP3 with the ZUBEncode control, then tags the result.
// Usage: encode_example /abs/path/in.wav /abs/path/out.mp3
#include <iostream>
#include <optional>
#include <string>

#include "zubmp3/zubencode.h"

using zubmp3::Long;
using zubmp3::Text;

// The control speaks Windows paths; drive Z: is the Linux root.
Text windows_path(const std::string& linux_path) {
    Text path = u"Z:";
    for (const char c : linux_path) path += c == '/' ? u'\\' : static_cast<char16_t>(c);  // ASCII paths
    return path;
}

class Events : public zubmp3::ZUBEncodeEvents {
public:
    std::optional<Long> error;  // set by ErrorCode: 0 for success
    bool finished = false;

    void Progress(Long& percent) override { std::cout << "\r" << percent << "% " << std::flush; }
    void ErrorCode(Long& number, Text& description) override {
        error = number;
        std::string message(description.begin(), description.end());  // the messages are ASCII
        if (number != 0) std::cerr << "\nerror " << number << ": " << message << "\n";
    }
    void Finished() override { finished = true; }
};

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const Text input = windows_path(argv[1]), output = windows_path(argv[2]);
    try {
        zubmp3::ZUBEncode control;
        Events events;
        control.set_events(&events);

        // Starts the job; a refused argument is reported at once through ErrorCode.
        control.MP3Encode(input, output, 192, u"joint", u"high", 0, 320);
        if (!events.error) zubmp3::EventLoop::current().run_until([&] { return events.finished; });
        std::cout << "\n";
        if (events.error != 0) return 1;

        // Tag methods answer with the engine's status: 0 for success.
        Long status = control.Write_ID3_v1_tag(output, 1, u"Demo", u"zubmp3", u"Examples", u"2024", 52, u"");
        if (status == 0)
            status = control.Write_ID3_v2_tag(output, u"1", u"Demo", u"zubmp3", u"Examples", u"2024", u"Electronic",
                                              u"", u"zubmp3", u"", u"", u"", u"");
        return status == 0 ? 0 : 1;
    } catch (const zubmp3::AutomationError& e) {  // the libraries beside the control are missing, ...
        std::cerr << "automation error " << e.number() << "\n";
        return 3;
    }
}
