// Shows an About box through the application's presenter (or the default one).
#pragma once

#include "zubmp3/host.h"

namespace zubmp3::host {

void present_about(const AboutContents& contents);

}  // namespace zubmp3::host
