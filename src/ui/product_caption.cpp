#include "ui/product_caption.h"

#include <windows.h>

#include "services/process_services.h"

namespace nm {

std::wstring ProductCaption() {
    const wchar_t* text = nullptr;
    // With no buffer, the string is returned where it lies in the resources.
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), kProductCaptionStringId, reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0 && text) return std::wstring(text, length);
    return TranslateMain(L"Novamend");
}

}  // namespace nm
