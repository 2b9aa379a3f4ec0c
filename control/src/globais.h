// Check procedures shared by the control's methods, and the control folder.
#pragma once

#include "zubmp3/host.h"

namespace zubmp3::Globais {

// The control folder with a trailing backslash, set by every loading
// MP3Class::Init; one value per thread.
extern thread_local Text ControlFolder;

// Equal after both are turned into upper case, or two names of one existing
// file (the same device and inode: links, other spellings of the path).
bool CheckForEquality(const Text& a, const Text& b);
// True only for the empty text (blanks are not empty).
bool CheckForEmpty(const Text& a);
// True when the file can be opened and its first bytes (at most 255) read.
bool CheckInputFile(const Text& path);

}  // namespace zubmp3::Globais
