// MP3Class: the control's private gateway to the engine library. Its loading
// half finds the engine and the encoder library in the control folder and
// resolves interface1; its calling half passes one command at a time, with the
// control's UTF-16 texts turned into zero-terminated Latin-1 copies that live
// for the length of the call.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "zubmp3/engine_results.h"
#include "zubmp3/host.h"

namespace zubmp3 {

class MP3Class {
public:
    MP3Class() = default;
    MP3Class(const MP3Class&) = delete;
    MP3Class& operator=(const MP3Class&) = delete;

    // Loads "zubmp3enc2.dll" and "zubmp3enc1.dll" from the control folder and
    // resolves interface1; does nothing when already loaded unless forced.
    // Raises 5007 (engine or entry point missing) or 5008 (encoder missing).
    void Init(const bool& fOrceinit);
    // Lets go of the engine. Controls share one engine library: it leaves the
    // process only when the last object that holds it lets go.
    void Deinit();
    bool IsLoaded() const { return Loaded; }

    // Four texts; nothing is read back.
    Long CallWindow(const Text& string11, const Text& string22, const Text& string33, const Text& string44);
    // Three texts that the engine may fill and that are read back; the second
    // has room for at least 300 characters. Raises 5006 when the engine left
    // no terminating zero in it.
    Long CallWindow2(Text& string11, Text& string22, Text& string33, Long string44);
    // One text and three numbers.
    Long CallWindowLONG(const Text& string11, const Long& string22, const Long& string33, Long string44);

    const Text& dll_path() const { return DllPath; }

private:
    Interface1Function entry_point() const;  // raises 5007 unless ready to call

    Text DllPath;
    HMODULE DllHandle = nullptr;
    Interface1Function ProcAddress = nullptr;
    bool Loaded = false;
    HMODULE held_engine_ = nullptr;  // the engine this object counts as a holder of
};

}  // namespace zubmp3
