// A library that marks its registration: DllRegisterServer writes
// "registered" into registered.txt beside the library.
#include <windows.h>

#include <string>

#include "test_files.h"

namespace {
HMODULE own_module = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) own_module = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(own_module, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return nm::WriteFileBytes(folder + L"registered.txt", "registered") ? S_OK : E_FAIL;
}
