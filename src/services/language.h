#pragma once
// Texts shown to the user, looked up by their English wording.
#include <windows.h>

#include <string>
#include <string_view>

#include "res/resource_ids.h"
#include "services/language_table.h"

namespace nm {

// Code pages of the built-in tables: they hold their own encodings so that
// they read right whatever the system's ANSI code page is.
constexpr int kSimplifiedChineseTable = IDR_LANGUAGE_SIMPLIFIED_CHINESE;
constexpr int kTraditionalChineseTable = IDR_LANGUAGE_TRADITIONAL_CHINESE;
constexpr UINT kSimplifiedChineseCodePage = 936;
constexpr UINT kTraditionalChineseCodePage = 950;

class CLanguage {
public:
    // Loads a built-in table (a "LANGUAGE" resource of the program, or of
    // `module` when given); false when it is missing.
    bool LoadResource(int id);
    bool LoadResource(int id, HMODULE module);
    // Loads a .lan file: UTF-8 when it starts with a byte-order mark, else the
    // calling thread's ANSI code page. False when it cannot be read; the
    // table is then unchanged.
    bool LoadFile(const std::wstring& path);
    // Language text already in memory, decoded with the given code page.
    void LoadText(std::string_view bytes, UINT code_page);
    // The translation of text in the section, or the text itself when the
    // table has none (the built-in English).
    std::wstring Translate(const std::wstring& section, const std::wstring& text) const {
        return table_.Translate(section, text);
    }
    // Translates the dialog's caption and the texts of its direct children.
    void TranslateDialog(HWND dialog, const std::wstring& section) const;

private:
    LanguageTable table_;
};

}  // namespace nm
