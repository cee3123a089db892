// posix: the reason of the last failed call, from errno, for the native vendor tool.
#include <cerrno>
#include <cstring>

#include "base/last_error.h"
#include "base/text.h"

namespace nm {

std::wstring LastSystemReason() {
    const int error = errno;
    if (error == 0) return {};
    return L" (error " + std::to_wstring(error) + L": " + text::FromUtf8(std::strerror(error)) + L")";
}

}  // namespace nm
