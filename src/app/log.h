#pragma once
// The log file named by [Novamend] Log.
#include <string>

namespace nm {

// Appends one time-stamped line; every failure is silent.
void WriteLog(const std::wstring& text);

}  // namespace nm
