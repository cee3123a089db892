#pragma once
// The cycle's first step: fetch the update list, compare it with the copy
// kept after the last update, keep the entries that need work.
#include <windows.h>

#include <string>

#include "list/list_signature.h"

namespace nm {

class ProgressDialogView;

// The first step as every driver runs it: state, list address, check, report.
void CheckWrapper(HWND window, ProgressDialogView* dialog);
// The check itself; true when the list was fetched, read and compared.
bool CheckStep(HWND window);
// The check by version number: compares the version page first when
// [APPLICATION] CheckVerNumber is on, otherwise runs the check wrapper.
bool CheckByVersion(HWND window);
// Whether a version check found mirror addresses that need another pass.
bool CheckNeedsAnotherPass();
// A list file from address (FetchFile, row -1). With [UPDATEINFO]
// ListPublicKey set it stands only with a valid signature from address +
// ".sig" and is deleted otherwise; why, in refused.
bool FetchListFile(const std::wstring& address, const std::wstring& list_file, bool no_retry,
                   ListSignature* refused = nullptr);
// A list address with its parameter macros replaced from [UPDATEINFO].
std::wstring ExpandListParameters(const std::wstring& address);

}  // namespace nm
