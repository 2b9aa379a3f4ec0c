// The application's addition to the bridge's automation errors 5006 to 5008:
// which library the control looked for and where, in Linux terms (the
// control's own descriptions name Windows paths and .dll files).
#pragma once

#include <optional>
#include <string>

#include "zubmp3/host.h"

namespace zubmp3::app {

// The folder of the control's library in this process; nullopt when the
// loader does not know it.
std::optional<std::string> control_library_folder();

// For automation error `number` of a control whose library lies in `folder`,
// e.g. "libzubmp3enc2.so not found in /usr/lib/x86_64-linux-gnu/zubmp3";
// nullopt for numbers other than 5006 to 5008.
std::optional<std::string> library_hint(Long number, const std::string& folder);

// The same for the control loaded in this process.
std::optional<std::string> library_hint(Long number);

}  // namespace zubmp3::app
