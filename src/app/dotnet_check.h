#pragma once
#include <string>

namespace nm {

// Offers the download of one .NET Framework version, without testing what is installed.
void OfferDotNetDownload(const std::wstring& version);
// The check the settings ask for before the main program may start.
void CheckDotNetFromSettings();
// Whether the main program may start as far as the .NET Framework goes.
bool DotNetGateAllowsStart(bool report_missing);

}  // namespace nm
