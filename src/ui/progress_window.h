#pragma once
// The small borderless progress window: an animated background, an animated
// bar, a percentage and two corner buttons that minimise it. It starts the
// worker for its mode, follows the update through the messages the steps
// send to host windows, and acts when the worker has finished.
#include <windows.h>

#include <optional>
#include <string>

#include "ui/dialog_sk.h"
#include "ui/picture_button.h"
#include "ui/picture_ex.h"
#include "ui/progress_dialog.h"
#include "ui/progress_percent.h"

namespace nm {

class CDlgMostSimple : public CDialogSK {
public:
    // Mode 0 runs the whole cycle, 1 the check alone, 2 the check and then
    // the application-entry question; any other runs the cycle and stays open.
    CDlgMostSimple(int mode, ProgressDialogActions actions);

protected:
    bool OnInitDialog() override;
    INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    bool PaintBackground(HDC dc) override;

private:
    INT_PTR OnCommand(WPARAM wparam);
    INT_PTR OnFileBytes(WPARAM file_size, LPARAM received);
    INT_PTR OnStatusText();
    INT_PTR OnWorkerFinished();
    INT_PTR OnEndOfWorker();
    INT_PTR OnTimer(WPARAM timer);
    INT_PTR OnStaticColour(HDC dc, HWND control);
    void LoadPictures();
    void FitToBackground();
    void RegisterAsHost();
    void StartWorker();
    void ShowPercent(const std::optional<std::wstring>& label);
    void Quit();

    int mode_;
    HWND percent_label_ = nullptr;
    CPictureEx background_;
    CPictureEx bar_;
    CPictureButton minimise_button_;
    CPictureButton hide_button_;
    ProgressPercent percent_;
    ProgressDialogActions actions_;
    bool worker_finished_ = false;
};

}  // namespace nm
