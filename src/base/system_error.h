#pragma once
// The system's own words for a failure, for log lines that say why.
#include <windows.h>

#include <string>

namespace nm {

// " (error 5: Access is denied.)": the error's number and message, to append
// to a failure line. Empty for ERROR_SUCCESS.
std::wstring SystemReason(DWORD error);

}  // namespace nm
