#include "services/process_services.h"

namespace nm {

ProcessServices& Services() {
    static ProcessServices services;
    return services;
}

std::wstring TranslateMain(const std::wstring& text) { return Services().language.Translate(L"MAIN", text); }

std::wstring MessageBoxCaption() {
    const std::wstring name = Services().settings.ApplicationName();
    return name.empty() ? TranslateMain(L"Novamend") : name;
}

}  // namespace nm
