#include "app/dotnet_check.h"

#include "app/update_app.h"
#include "services/settings.h"
#include "services/unavailable.h"

namespace nm {

void OfferDotNetDownload(const std::wstring& version) {
    LogUnavailable(L".NET Framework " + version + L" download");
}

namespace {
// Only a configured requirement needs the check; without one there is nothing to miss.
bool RequirementConfigured() {
    Settings& settings = theApp().settings;
    for (const wchar_t* key : {L"DotNetFix", L"DotNetFx", L"dotnetfix", L"dotnetfx", L"dotnetfx10", L"dotnetfx11",
                               L"dotnetfx20", L"dotnetfx30", L"dotnetfx35", L"dotnetfx40"})
        if (!settings.Read(L"Novamend", key).empty()) return true;
    return false;
}
}  // namespace

void CheckDotNetFromSettings() {
    if (RequirementConfigured()) LogUnavailable(L".NET Framework check");
}

bool DotNetGateAllowsStart(bool) {
    // The installed versions cannot be tested yet: the program starts as it
    // would have without the requirement, and the log says why.
    if (RequirementConfigured()) LogUnavailable(L".NET Framework check");
    return true;
}

}  // namespace nm
