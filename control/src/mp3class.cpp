#include "mp3class.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "control_folder.h"
#include "globais.h"
#include "platform/text.h"
#include "product.h"

namespace zubmp3 {
namespace {

constexpr Long kMemoryError = 5006;
constexpr Long kEngineError = 5007;
constexpr Long kEncoderError = 5008;

// The room rule of CallWindow2's second text.
constexpr size_t kRoomThreshold = 299;
constexpr size_t kRoomCharacters = 300;

Text contact_tail() { return Text(u" please contact the developer ") + kMakerContactAddress; }

// The loader names the file it could not load; the bridge names none.
AutomationError loading_error(Long number, const Text& file) {
    return AutomationError(number, u"Error loading a required dll , " + file + contact_tail());
}
AutomationError loading_error() {
    return AutomationError(kEngineError, u"Error loading a required dll ," + contact_tail());
}
AutomationError locating_error() {
    return AutomationError(kEngineError,
                           u"Error locating the interface1 function on a required dll ," + contact_tail());
}

// Every control in the process shares the one engine library. Each object in
// the Ready state counts as one holder; the engine is released, with every load
// any object made of it, when the last holder lets go. The control cancels a
// running job before it lets go, and the engine's "cancel" returns only after
// its worker thread has left the engine's code.
std::mutex holders_mutex;
std::map<HMODULE, int>& engine_holders() {
    static std::map<HMODULE, int> holders;
    return holders;
}

// A zero-terminated Latin-1 copy of a text, owned for one call.
std::vector<char> ansi_copy(const Text& text) {
    const std::string bytes = platform::utf16_to_latin1(text);
    std::vector<char> copy(bytes.begin(), bytes.end());
    copy.push_back('\0');
    return copy;
}

// The text in a copy, cut before its first zero (whole when it has none).
Text read_back(const std::vector<char>& copy, bool& had_zero) {
    size_t length = 0;
    while (length < copy.size() && copy[length] != '\0') ++length;
    had_zero = length < copy.size();
    return platform::latin1_to_utf16(std::string_view(copy.data(), length));
}

intptr_t address_of(std::vector<char>& copy) { return reinterpret_cast<intptr_t>(copy.data()); }

}  // namespace

void MP3Class::Init(const bool& fOrceinit) {
    if (!fOrceinit && Loaded) return;

    const Text folder = host::control_folder();
    DllPath = folder + u"\\zubmp3enc2.dll";
    Globais::ControlFolder = folder + u"\\";

    DllHandle = LoadLibraryA(platform::utf16_to_latin1(DllPath).c_str());
    if (DllHandle == nullptr) throw loading_error(kEngineError, DllPath);

    // The engine binds the encoder by its bare name, which finds this copy
    // once it is in the process. Its handle is not kept: it stays loaded.
    const Text encoder_path = folder + u"\\zubmp3enc1.dll";
    if (LoadLibraryA(platform::utf16_to_latin1(encoder_path).c_str()) == nullptr)
        throw loading_error(kEncoderError, u"zubmp3enc1.dll");

    ProcAddress = reinterpret_cast<Interface1Function>(GetProcAddress(DllHandle, "interface1"));
    if (ProcAddress == nullptr) throw locating_error();

    Loaded = true;
    if (held_engine_ == nullptr) {
        std::lock_guard lock(holders_mutex);
        ++engine_holders()[DllHandle];
        held_engine_ = DllHandle;
    }
}

void MP3Class::Deinit() {
    if (!Loaded) return;
    Loaded = false;
    const Interface1Function entry = ProcAddress;
    DllHandle = nullptr;
    ProcAddress = nullptr;
    if (held_engine_ == nullptr) return;

    const HMODULE engine = held_engine_;
    held_engine_ = nullptr;
    std::lock_guard lock(holders_mutex);
    auto& holders = engine_holders();
    const auto found = holders.find(engine);
    if (found == holders.end() || --found->second > 0) return;  // others still use it
    holders.erase(found);
    // "cancel" returns once the engine's worker thread has left the engine's
    // code; only then may the library go. The control has normally sent it
    // already, and with no job running it changes nothing that survives.
    if (entry != nullptr) {
        char cancel[] = "cancel";
        char blank[] = " ";
        entry(cancel, reinterpret_cast<intptr_t>(blank), reinterpret_cast<intptr_t>(blank),
              reinterpret_cast<intptr_t>(blank));
    }
    while (FreeLibrary(engine) != FALSE) {
        // every load that any Init made is undone
    }
}

Interface1Function MP3Class::entry_point() const {
    if (DllHandle == nullptr) throw loading_error();
    if (ProcAddress == nullptr) throw locating_error();
    return ProcAddress;
}

Long MP3Class::CallWindow(const Text& string11, const Text& string22, const Text& string33, const Text& string44) {
    const Interface1Function call = entry_point();
    std::vector<char> command = ansi_copy(string11);
    std::vector<char> value = ansi_copy(string22);
    std::vector<char> text = ansi_copy(string33);
    std::vector<char> index = ansi_copy(string44);
    return call(command.data(), address_of(value), address_of(text), address_of(index));
}

Long MP3Class::CallWindow2(Text& string11, Text& string22, Text& string33, Long string44) {
    const Interface1Function call = entry_point();
    if (string22.size() < kRoomThreshold) string22.append(kRoomCharacters, u'\0');
    std::vector<char> command = ansi_copy(string11);
    std::vector<char> value = ansi_copy(string22);
    std::vector<char> text = ansi_copy(string33);
    const Long result = call(command.data(), address_of(value), address_of(text), string44);

    bool had_zero = true;
    string11 = read_back(command, had_zero);
    string22 = read_back(value, had_zero);
    if (!had_zero) throw AutomationError(kMemoryError, u"Unexpected memory problem ," + contact_tail());
    string33 = read_back(text, had_zero);
    return result;
}

Long MP3Class::CallWindowLONG(const Text& string11, const Long& string22, const Long& string33, Long string44) {
    const Interface1Function call = entry_point();
    std::vector<char> command = ansi_copy(string11);
    return call(command.data(), string22, string33, string44);
}

}  // namespace zubmp3
