#pragma once
// The log file named by [Novamend] Log.
#include <string>

namespace nm {

// Passes the line to the host windows, then appends it with a time stamp to
// the log file in the thread's ANSI code page. Any thread may call it; every
// failure is silent.
void WriteLog(const std::wstring& text);

}  // namespace nm
