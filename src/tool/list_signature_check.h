// portable: builds without Win32
#pragma once
// A list's signature judged by the tool as the updater judges it
// (list/signed_list.h), with the tool's own SHA-256 and P-256, the same in
// every build.
#include <string>

#include "list/signed_list.h"

namespace nm::tool {

ListSignature CheckListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                 const std::wstring& signature_file);

}  // namespace nm::tool
