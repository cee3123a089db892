#pragma once
#include <string>

namespace nm {

// Offers the download of one .NET Framework version, without testing what is installed.
void OfferDotNetDownload(const std::wstring& version);
// The check the settings ask for before the main program may start.
void CheckDotNetFromSettings();

}  // namespace nm
