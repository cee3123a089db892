#include "services/language.h"

#include "base/code_page.h"

#include <vector>

#include "base/file_ops.h"
#include "base/unique_handle.h"

namespace nm {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Far above any real language file.
constexpr std::int64_t kLargestLanguageFile = 64 * 1024 * 1024;

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(length + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? copied : 0);
    return text;
}

void TranslateWindowText(const CLanguage& language, HWND window, const std::wstring& section) {
    const std::wstring text = WindowText(window);
    const std::wstring translated = language.Translate(section, text);
    // Setting an unchanged text would only repaint the control.
    if (translated != text) ::SetWindowTextW(window, translated.c_str());
}

}  // namespace

void CLanguage::LoadText(std::string_view bytes, UINT code_page) {
    std::vector<std::wstring> lines;
    for (const std::string& raw : SplitLanguageLines(bytes)) lines.push_back(code_page::Decode(raw, code_page));
    table_.Add(ParseLanguageLines(lines));
}

bool CLanguage::LoadFile(const std::wstring& path) {
    std::string bytes;
    if (!files::ReadAll(path, bytes, kLargestLanguageFile)) return false;
    if (bytes.starts_with(kUtf8Mark))
        LoadText(std::string_view(bytes).substr(kUtf8Mark.size()), CP_UTF8);
    else
        LoadText(bytes, CP_THREAD_ACP);
    return true;
}

bool CLanguage::LoadResource(int id) { return LoadResource(id, ::GetModuleHandleW(nullptr)); }

bool CLanguage::LoadResource(int id, HMODULE module) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"LANGUAGE");
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return false;
    const UINT code_page = id == kTraditionalChineseTable  ? kTraditionalChineseCodePage
                           : id == kSimplifiedChineseTable ? kSimplifiedChineseCodePage
                                                           : CP_THREAD_ACP;
    LoadText(std::string_view(static_cast<const char*>(data), ::SizeofResource(module, found)), code_page);
    return true;
}

void CLanguage::TranslateDialog(HWND dialog, const std::wstring& section) const {
    TranslateWindowText(*this, dialog, section);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        TranslateWindowText(*this, child, section);
}

}  // namespace nm
