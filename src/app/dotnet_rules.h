// portable: builds without Win32
#pragma once
// The .NET Framework requirement: which version the settings ask for, when
// an installed Framework satisfies it, and where its installer comes from.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nm::dotnet {

// The required version: the first non-empty of [Novamend] DotNetFix,
// DotNetFx, dotnetfix, dotnetfx; else the version of the first non-empty of
// dotnetfx10 ... dotnetfx40; "" when nothing is required.
std::wstring RequiredVersion(const std::function<std::wstring(const std::wstring& key)>& read_novamend);

// The beginning of the Framework directory name that satisfies a required
// version ("v2.0" for "2" and "2.0"); "" for a text that is not recognised,
// which every system satisfies.
std::wstring DirectoryPrefix(std::wstring_view required);
// Whether a Framework directory of one of these names satisfies the version.
bool IsInstalled(std::wstring_view required, const std::vector<std::wstring>& framework_directories);

// "2.0" gives "20", "3.5" gives "35", "4" gives "40": the dots dropped,
// zeros appended, two characters kept.
std::wstring VersionCode(std::wstring_view version);
// "20" gives "2.0": a dot after the first digit.
std::wstring VersionFromCode(std::wstring_view code);

// The built-in installer address for a version code: the folder of the list
// address followed by "dotnetfx" + code + ".exe", so the installer comes from
// the vendor's own server. "" for codes without an installer or without a
// list address.
std::wstring DefaultInstallerAddress(std::wstring_view code, std::wstring_view list_address);

}  // namespace nm::dotnet
