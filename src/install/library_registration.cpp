#include "install/library_registration.h"

#include <windows.h>

#include "base/unique_handle.h"

namespace nm {

bool RegisterLibrary(const std::wstring& path) {
    unique_hmodule library(::LoadLibraryW(path.c_str()));
    if (!library) return false;
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    const auto register_server = reinterpret_cast<RegisterServer>(::GetProcAddress(library.get(), "DllRegisterServer"));
    return register_server && SUCCEEDED(register_server());
}

}  // namespace nm
