#pragma once
// The objects every part of the process shares for its whole life: the
// variable table with the settings cache, the settings and their locations,
// the language table and the host windows. The application object names
// them; the areas below it reach them here, and nothing else of it.
#include "services/host_windows.h"
#include "services/language.h"
#include "services/settings.h"
#include "services/variable_table.h"

namespace nm {

struct ProcessServices {
    VariableTable variables;
    Settings settings{variables};
    CLanguage language;
    HostRegistry hosts;
};

ProcessServices& Services();

// The translation of a text of the [MAIN] section, as most texts are looked up.
std::wstring TranslateMain(const std::wstring& text);

// The caption of the updater's own message boxes: the application's name,
// which the user knows, or the product's.
std::wstring MessageBoxCaption();

}  // namespace nm
