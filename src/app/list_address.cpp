#include "app/list_address.h"

#include "base/text.h"
#include "base/url_text.h"
#include "services/process_services.h"
#include "services/status_report.h"

namespace nm {

namespace {
// The vendor's demonstration list, written by the sample settings.
constexpr const wchar_t* kDemonstrationListUrl = L"http://127.0.0.1:8917/novamend.xml";

// A message naming novamend.ini names the settings file this executable really uses.
std::wstring WithOwnSettingsName(const UpdateContext& context, const std::wstring& message) {
    return text::ReplaceAll(message, L"novamend.ini", context.executable_base_name + L".ini");
}

// Each write that fails has said so (a denied one offers raised rights);
// the sample is a help, and the address is looked up again either way.
void WriteSampleSettings(Settings& settings) {
    settings.Write(L"Novamend", L"Language", TranslateMain(L"novamend.lan"));
    settings.Write(L"Novamend", L"QuickCheck", L"0");
    settings.Write(L"UPDATEINFO", L"ListURL", kDemonstrationListUrl);
    settings.Write(L"APPLICATION", L"Application", L"demo.exe");
    settings.Write(L"APPLICATION", L"Name", L"Novamend demo");
}
}  // namespace

bool EnsureListAddress(UpdateContext& context, HWND window, bool ask) {
    Settings& settings = context.settings;
    const std::wstring address = settings.ListAddress();
    if (address.empty() && ask) {
        const std::wstring question = WithOwnSettingsName(
            context, TranslateMain(L"can't to get [UNDATEINFO]-ListURL from novamend.ini\nMake a sample?"));
        if (::MessageBoxW(window, question.c_str(), L"Novamend", MB_YESNO | MB_ICONQUESTION) == IDYES)
            WriteSampleSettings(settings);
    }
    if (!address.empty()) {
        context.list.list_url_base = ListUrlBase(settings.ListAddress());
        return true;
    }
    const std::wstring missing =
        WithOwnSettingsName(context, TranslateMain(L"can't to get [UNDATEINFO]-ListURL from novamend.ini"));
    ShowAndLog(window, missing);
    context.failure = missing;
    return false;
}

}  // namespace nm
