#pragma once
// The .NET Framework download dialog: the installer of one version fetched
// from its address through the segmented downloader, its progress shown in
// the segment view, then started with raised rights.
#include <windows.h>

#include <memory>
#include <string>

#include "download/segmented_download.h"
#include "ui/dialog_window.h"
#include "ui/download_block_view.h"

namespace nm {

struct DotNetOffer {
    std::wstring address;  // of the installer
    std::wstring version;  // "2.0"
    long connect_tries = 3;
};

class CDlgDownDotnet : public DialogWindow {
public:
    explicit CDlgDownDotnet(DotNetOffer offer);

protected:
    bool OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    INT_PTR OnCommand(WPARAM wparam);
    void StartDownload();
    void DownloadEnded(bool succeeded);
    void StartInstaller();

    DotNetOffer offer_;
    std::wstring local_file_;
    int state_ = 0;  // 0 not started, 1 downloaded, 2 failed
    CMyDownloadBlockView view_;
    // The download running for this dialog, stopped when the dialog closes first.
    std::shared_ptr<CSegmentedDownloader> download_;
};

// Shows the dialog modally; false when it could not be shown.
bool RunDotNetDownloadDialog(HWND owner, DotNetOffer offer);

}  // namespace nm
