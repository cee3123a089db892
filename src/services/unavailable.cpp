#include "services/unavailable.h"

#include <string>

#include "services/log.h"

namespace nm {

void LogUnavailable(std::wstring_view operation) {
    WriteLog(std::wstring(operation) + L" is not available in this build.");
}

}  // namespace nm
