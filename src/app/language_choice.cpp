#include "app/language_choice.h"

#include "app/update_app.h"
#include "base/text.h"

namespace nm {

void LoadChosenLanguage(CUpdateApp& app) {
    Settings& settings = app.settings;
    std::wstring name = settings.Read(L"Novamend", L"Langage");
    if (name.empty()) name = settings.Read(L"Novamend", L"Language");
    name = text::Lower(name);
    if (name == L"novamendcn.lan")
        app.language.LoadResource(kSimplifiedChineseTable);
    else if (name == L"novamendbig.lan")
        app.language.LoadResource(kTraditionalChineseTable);
    else
        app.language.LoadFile(text::CollapseSeparators(settings.ApplicationDirectory() + L"\\" + name));
    app.language.LoadFile(
        text::CollapseSeparators(settings.ApplicationDirectory() + L"\\" + app.context.executable_base_name + L".lan"));
}

}  // namespace nm
