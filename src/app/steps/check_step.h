#pragma once
// The cycle's first step: fetch the update list, compare it with the copy
// kept after the last update, keep the entries that need work.
#include <windows.h>

#include <string>

#include "app/update_context.h"
#include "list/list_signature.h"

namespace nm {

// The first step as every driver runs it: state, list address, check, report.
void CheckWrapper(UpdateContext& context, HWND window);
// The check itself; true when the list was fetched, read and compared.
bool CheckStep(UpdateContext& context, HWND window);
// The check by version number: compares the version page first when
// [APPLICATION] CheckVerNumber is on, otherwise runs the check wrapper.
void CheckByVersion(UpdateContext& context, HWND window);
// Whether a version check found mirror addresses that need another pass.
bool CheckNeedsAnotherPass(const UpdateContext& context);
// A list file from address (FetchFile, row -1). With [UPDATEINFO]
// ListPublicKey set it stands only with a valid signature from address +
// ".sig" and is deleted otherwise; why, in refused.
bool FetchListFile(UpdateContext& context, const std::wstring& address, const std::wstring& list_file, bool no_retry,
                   ListSignature* refused = nullptr, std::wstring* failure = nullptr);
// A list address with its parameter macros replaced from [UPDATEINFO].
std::wstring ExpandListParameters(Settings& settings, const std::wstring& address);

}  // namespace nm
