#pragma once
// The minimal progress dialog as the cycle drivers see it.
#include <windows.h>

#include "list/download_list.h"

namespace nm {

enum class ProgressDialogMode { FullCycle = 0, CheckOnly = 1, ApplicationEntry = 2 };

// The file list of a progress dialog, filled by the check wrapper.
class ProgressDialogView {
public:
    virtual ~ProgressDialogView() = default;
    virtual HWND Window() const = 0;
    virtual void ClearFileList() = 0;
    virtual void AddFileRow(const updatefileinfo& entry) = 0;
    virtual void RefreshFileList() = 0;
    virtual void HideFileList() = 0;
};

// Runs the dialog modally; false when it could not be shown.
bool RunProgressDialog(ProgressDialogMode mode, HWND owner);

}  // namespace nm
