#include "install/shortcuts.h"

#include <objbase.h>
#include <shlobj.h>

#include "base/file_ops.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "install/run_file_rules.h"
#include "services/process_services.h"
#include "services/status_report.h"
#include "services/window_messages.h"

namespace nm {

bool CreateShortcut(const std::wstring& target, const std::wstring& working_directory, const std::wstring& location,
                    const std::wstring& icon, int icon_index) {
    com_ptr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())))
        return false;
    if (!files::Exists(target)) return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(working_directory.c_str());
    if (!icon.empty() && files::Exists(icon)) link->SetIconLocation(icon.c_str(), icon_index);
    std::wstring file = location;
    if (!text::Contains(text::Lower(file), L".lnk")) file += L".lnk";
    files::CreateParentDirectories(file);
    com_ptr<IPersistFile> persist;
    if (FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void()))) return false;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

void CreateShortcuts(const std::wstring& target, const std::wstring& icon, int icon_index,
                     const std::vector<std::wstring>& locations, HWND window) {
    for (const std::wstring& location : locations) {
        ShowAndLog(window, text::Format(TranslateMain(L"Create shortcut[%s]..."), {location}), kStatusStep);
        CreateShortcut(target, run_file_rules::FolderOf(target), location, icon, icon_index);
    }
}

}  // namespace nm
