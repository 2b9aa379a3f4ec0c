// The folder of the control's own library file, as the dynamic loader reports
// it, in Windows form and without a trailing backslash.
#pragma once

#include "zubmp3/host.h"

namespace zubmp3::host {

Text control_folder();

}  // namespace zubmp3::host
