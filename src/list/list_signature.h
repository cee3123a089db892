#pragma once
// The updater's side of signed releases (list/signed_list.h): its setting,
// its cryptography, and what the user reads of a refused list.
#include <string>

#include "list/signed_list.h"

namespace nm {

// The setting's text; empty when releases are not signed.
std::wstring ListPublicKeySetting();

// Judges the list file against the signature file with the platform's
// cryptography.
ListSignature VerifyListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                  const std::wstring& signature_file);

// What the user reads about a refused list, wherever it came from: "" for a
// list that stands.
std::wstring ListRefusalText(ListSignature signature);
// ... and about a signed list older than the installed one.
std::wstring OlderListText();

}  // namespace nm
