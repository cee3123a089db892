#include "app/list_address.h"

#include "app/update_app.h"
#include "base/text.h"
#include "base/url_text.h"
#include "services/status_report.h"

namespace nm {

namespace {
// The vendor's demonstration list, written by the sample settings.
constexpr const wchar_t* kDemonstrationListUrl = L"http://127.0.0.1:8917/novamend.xml";

// A message naming novamend.ini names the settings file this executable really uses.
std::wstring WithOwnSettingsName(const std::wstring& message) {
    return text::ReplaceAll(message, L"novamend.ini", theApp().executable_base_name + L".ini");
}

void WriteSampleSettings() {
    CUpdateApp& app = theApp();
    app.settings.Write(L"Novamend", L"Language", app.language.Translate(L"MAIN", L"novamend.lan"));
    app.settings.Write(L"Novamend", L"QuickCheck", L"0");
    app.settings.Write(L"UPDATEINFO", L"ListURL", kDemonstrationListUrl);
    app.settings.Write(L"APPLICATION", L"Application", L"demo.exe");
    app.settings.Write(L"APPLICATION", L"Name", L"Novamend demo");
}
}  // namespace

bool EnsureListAddress(HWND window, bool ask) {
    CUpdateApp& app = theApp();
    const std::wstring address = app.settings.Read(L"UPDATEINFO", L"ListURL");
    if (address.empty() && ask) {
        const std::wstring question = WithOwnSettingsName(
            app.language.Translate(L"MAIN", L"can't to get [UNDATEINFO]-ListURL from novamend.ini\nMake a sample?"));
        if (::MessageBoxW(window, question.c_str(), L"Novamend", MB_YESNO | MB_ICONQUESTION) == IDYES)
            WriteSampleSettings();
    }
    if (!address.empty()) {
        app.list.list_url_base = ListUrlBase(app.settings.Read(L"UPDATEINFO", L"ListURL"));
        return true;
    }
    const std::wstring missing =
        WithOwnSettingsName(app.language.Translate(L"MAIN", L"can't to get [UNDATEINFO]-ListURL from novamend.ini"));
    ShowAndLog(window, missing);
    return false;
}

}  // namespace nm
