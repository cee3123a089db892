#pragma once

namespace nm {

class CUpdateApp;

// Loads the language the settings name (a built-in table or a file), then
// the file named after the executable beside it.
void LoadChosenLanguage(CUpdateApp& app);

}  // namespace nm
