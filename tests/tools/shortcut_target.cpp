// Reads a shortcut back through the shell link object.
//   shortcut_target.exe <link file> <result file>
// Writes "<target>\n<working directory>\n" in UTF-8; exit code 1 when the
// link cannot be read.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "base/text.h"
#include "base/unique_handle.h"
#include "test_files.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 3) return 2;
    const std::wstring link_file = arguments[1], result = arguments[2];
    ::LocalFree(arguments);
    nm::com_apartment com;
    nm::com_ptr<IShellLinkW> link;
    nm::com_ptr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
        FAILED(file->Load(link_file.c_str(), STGM_READ)))
        return 1;
    wchar_t target[MAX_PATH] = {}, directory[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(directory, MAX_PATH);
    return nm::WriteFileBytes(result, nm::text::ToUtf8(std::wstring(target) + L"\n" + directory + L"\n")) ? 0 : 1;
}
