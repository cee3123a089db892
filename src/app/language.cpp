#include "app/language.h"

#include "app/unavailable.h"

namespace nm {

bool CLanguage::LoadResource(int) {
    LogUnavailable(L"Built-in language tables");
    return false;
}

bool CLanguage::LoadFile(const std::wstring&) {
    LogUnavailable(L"Language files");
    return false;
}

}  // namespace nm
