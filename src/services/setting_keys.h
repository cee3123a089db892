// portable: builds without Win32
#pragma once
// The settings that more than one part of the updater reads, each named once
// with its one default.
namespace nm::setting_keys {

struct Key {
    const wchar_t* section;
    const wchar_t* name;
    const wchar_t* fallback;  // what an empty value reads as
};

inline constexpr Key kApplicationName{L"APPLICATION", L"Name", L""};
inline constexpr Key kMainProgram{L"APPLICATION", L"Application", L""};
inline constexpr Key kInstalledVersion{L"APPLICATION", L"Ver", L""};
inline constexpr Key kCheckVerNumber{L"APPLICATION", L"CheckVerNumber", L"0"};
inline constexpr Key kListUrl{L"UPDATEINFO", L"ListURL", L""};
inline constexpr Key kShowWhenCheck{L"Novamend", L"ShowWhenCheck", L"1"};
inline constexpr Key kUnZip{L"Novamend", L"UnZip", L"1"};
inline constexpr Key kTimeOut{L"Novamend", L"TimeOut", L"60"};
inline constexpr Key kLog{L"Novamend", L"Log", L""};
// Download rate caps in KiB per second, 0 for none: one for the cycles that
// run without the user waiting, one for those the user watches.
inline constexpr Key kBackgroundDownloadRate{L"Novamend", L"BackgroundDownloadRate", L"0"};
inline constexpr Key kVisibleDownloadRate{L"Novamend", L"VisibleDownloadRate", L"0"};

}  // namespace nm::setting_keys
