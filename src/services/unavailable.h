#pragma once
// Steps this build does not carry yet say so in the log and report failure.
#include <string_view>

namespace nm {

void LogUnavailable(std::wstring_view operation);

}  // namespace nm
