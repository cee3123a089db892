#include "ui/dotnet_download_dialog.h"

#include <utility>

#include "res/resource_ids.h"
#include "base/file_ops.h"
#include "base/shell_start.h"
#include "base/text.h"
#include "base/threads.h"
#include "services/log.h"
#include "services/process_services.h"
#include "services/window_messages.h"

namespace nm {

namespace {
// The row of downloads that belong to no entry of the list.
constexpr int kNoEntryRow = -1;
constexpr wchar_t kTextVersion[] = L"2.0";

// The file's name in the list work directory: the address's last part.
std::wstring LocalFileFor(const std::wstring& address) {
    const size_t slash = address.find_last_of(L'/');
    const std::wstring name = slash == std::wstring::npos ? address : address.substr(slash + 1);
    return text::CollapseSeparators(
        text::ReplaceAll(Services().settings.ListWorkDirectory() + L"\\" + name, L"/", L"\\"));
}
}  // namespace

CDlgDownDotnet::CDlgDownDotnet(DotNetOffer offer) : DialogWindow(IDD_DOTNET_DOWNLOAD), offer_(std::move(offer)) {}

bool CDlgDownDotnet::OnInitDialog() {
    const auto versioned = [&](const std::wstring& text) {
        return text::ReplaceAll(TranslateMain(text), kTextVersion, offer_.version);
    };
    const std::wstring title = versioned(L"Install NET Framework 2.0");
    const std::wstring name = Services().settings.ApplicationName();
    ::SetWindowTextW(Window(), (name.empty() ? title : name).c_str());
    local_file_ = LocalFileFor(offer_.address);
    files::CreateParentDirectories(local_file_);
    view_.Create(Window(), IDC_DOTNET_SEGMENT_VIEW);
    view_.SetRowFilter(kNoEntryRow);
    view_.SetTexts(title,
                   versioned(L"Your software will need to install NET Framework 2.0,\nPlease download it and install."),
                   versioned(L"NET Framework 2.0 download is complete,\nPlease install it."),
                   versioned(L"NET Framework 2.0 download failed,\nPlease download again."));
    Services().language.TranslateDialog(Window(), L"MAIN");
    return true;
}

INT_PTR CDlgDownDotnet::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wparam);
    case WM_DESTROY:
        if (download_) download_->Abort();
        return FALSE;
    }
    return DialogWindow::HandleMessage(message, wparam, lparam);
}

INT_PTR CDlgDownDotnet::OnCommand(WPARAM wparam) {
    switch (LOWORD(wparam)) {
    case IDOK:
        if (state_ == 1)
            StartInstaller();
        else
            StartDownload();
        return TRUE;
    case IDCANCEL:
        End(IDCANCEL);
        return TRUE;
    case kCommandDownloadDone:
        DownloadEnded(true);
        return TRUE;
    case kCommandDownloadFailed:
        DownloadEnded(false);
        return TRUE;
    }
    return FALSE;
}

void CDlgDownDotnet::StartDownload() {
    if (download_) return;
    ::EnableWindow(::GetDlgItem(Window(), IDOK), FALSE);
    auto download = std::make_shared<CSegmentedDownloader>();
    download->connect_tries = offer_.connect_tries;
    HWND view = view_.Window();
    const bool started = StartDetached([download, view, address = offer_.address, target = local_file_] {
        WriteLog(L"download:" + address);
        const bool succeeded = download->DownloadFile(address, target, false, kNoEntryRow, view);
        // The view shows the result and hands the command on to the dialog.
        ::SendMessageW(view, WM_COMMAND, succeeded ? kCommandDownloadDone : kCommandDownloadFailed, 0);
    });
    if (started)
        download_ = std::move(download);
    else
        DownloadEnded(false);
}

void CDlgDownDotnet::DownloadEnded(bool succeeded) {
    download_.reset();
    state_ = succeeded ? 1 : 2;
    HWND button = ::GetDlgItem(Window(), IDOK);
    ::SetWindowTextW(button, TranslateMain(succeeded ? L"Install" : L"Download").c_str());
    ::EnableWindow(button, TRUE);
}

void CDlgDownDotnet::StartInstaller() {
    // The Framework installs for the whole system. A start that fails or is
    // declined is not reported: the offer comes again at the next start.
    StartThroughShell({L"runas", local_file_, L"", L"", SW_SHOWNORMAL, false});
    End(IDOK);
}

bool RunDotNetDownloadDialog(HWND owner, DotNetOffer offer) {
    CDlgDownDotnet dialog(std::move(offer));
    if (dialog.DoModal(owner) != -1) return true;
    WriteLog(L"The .NET Framework download window could not be shown.");
    return false;
}

}  // namespace nm
