#pragma once
#include <windows.h>

#include <string>

namespace nm {

// Offers the download of one .NET Framework version ("2.0"), without
// testing what is installed: the download window when an installer address
// is known, otherwise a warning that names the version.
void OfferDotNetDownload(HWND window, const std::wstring& version);
// The start-up check: when the settings require a version that the
// Framework directory lacks, the offer is made; start-up goes on either way.
void CheckDotNetFromSettings();
// Whether the main program may start as far as the .NET Framework goes;
// when it may not and report_missing is set, the offer is made.
bool DotNetGateAllowsStart(HWND window, bool report_missing);

}  // namespace nm
