// portable: builds without Win32
#pragma once
// The reason the last system call of this thread failed, for failure lines of
// code that builds on every platform.
#include <string>

namespace nm {

// " (error 5: Access is denied.)", as SystemReason gives it; empty when no
// failure is recorded.
std::wstring LastSystemReason();

}  // namespace nm
