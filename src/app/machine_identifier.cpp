#include "app/machine_identifier.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "base/file_ops.h"
#include "base/hex.h"
#include "base/text.h"

namespace nm {

namespace {
constexpr size_t kIdentifierBytes = 16;

bool IsIdentifier(const std::wstring& text) {
    return text.size() == kIdentifierBytes * 2 && std::all_of(text.begin(), text.end(), iswxdigit);
}
}  // namespace

std::wstring MachineIdentifierFile(const std::wstring& application_directory) {
    return text::CollapseSeparators(application_directory + L"\\__rollout.id");
}

std::wstring MachineIdentifier(const std::wstring& application_directory) {
    const std::wstring file = MachineIdentifierFile(application_directory);
    std::string kept;
    if (files::ReadAll(file, kept, 256)) {
        const std::wstring identifier = text::Trim(text::FromUtf8(kept));
        if (IsIdentifier(identifier)) return text::Lower(identifier);
    }
    unsigned char random[kIdentifierBytes];
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return {};
    const std::wstring identifier = hex::Encode(std::string_view(reinterpret_cast<const char*>(random), sizeof random));
    // An identifier that is not kept would put the machine in a new bucket at
    // every check: none then.
    if (!files::WriteAll(file, text::ToUtf8(identifier))) return {};
    return identifier;
}

}  // namespace nm
