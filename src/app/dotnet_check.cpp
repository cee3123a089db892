#include "app/dotnet_check.h"

#include "app/settings.h"
#include "app/unavailable.h"
#include "app/update_app.h"

namespace nm {

void OfferDotNetDownload(const std::wstring& version) {
    LogUnavailable(L".NET Framework " + version + L" download");
}

void CheckDotNetFromSettings() {
    // Only a configured requirement needs the check; without one there is nothing to miss.
    Settings& settings = theApp().settings;
    for (const wchar_t* key : {L"DotNetFix", L"DotNetFx", L"dotnetfix", L"dotnetfx", L"dotnetfx10", L"dotnetfx11",
                               L"dotnetfx20", L"dotnetfx30", L"dotnetfx35", L"dotnetfx40"}) {
        if (!settings.Read(L"Novamend", key).empty()) {
            LogUnavailable(L".NET Framework check");
            return;
        }
    }
}

}  // namespace nm
