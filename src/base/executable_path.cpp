#include "base/executable_path.h"

#include <windows.h>

namespace nm {

std::wstring ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A path that fills the buffer may have been cut: ask again with more room.
        if (n < path.size()) return path.substr(0, n);
        path.resize(path.size() * 2);
    }
}

std::wstring ExecutableDirectory() {
    const std::wstring full = ExecutablePath();
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : full.substr(0, slash + 1);
}

}  // namespace nm
