// The product's name, version and maker, as the control shows them.
#pragma once

#include "zubmp3/host.h"

namespace zubmp3 {

// The control's title: ControlName and the About box caption.
inline constexpr char16_t kControlTitle[] = u"ZUBMP3 Encode 1.2.0";
inline constexpr char16_t kMakerName[] = u"The zubmp3 project";
inline constexpr char16_t kMakerWebAddress[] = u"https://zubmp3.example.org/";
inline constexpr char16_t kMakerMailAddress[] = u"developers@zubmp3.example.org";
// Ends the descriptions of the bridge's errors.
inline constexpr const char16_t* kMakerContactAddress = kMakerMailAddress;

}  // namespace zubmp3
