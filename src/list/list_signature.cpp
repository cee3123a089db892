#include "list/list_signature.h"

#include "base/cng_crypto.h"
#include "services/process_services.h"

namespace nm {

std::wstring ListPublicKeySetting() { return Services().settings.Read(L"UPDATEINFO", L"ListPublicKey"); }

ListSignature VerifyListSignature(const std::wstring& key_text, const std::wstring& list_file,
                                  const std::wstring& signature_file) {
    return JudgeListSignature(key_text, list_file, signature_file, {cng::Sha256OfFile, cng::VerifyP256});
}

std::wstring ListRefusalText(ListSignature signature) {
    switch (signature) {
    case ListSignature::verified:
        return {};
    case ListSignature::key_unusable:
        return TranslateMain(L"novamend.ini -> UPDATEINFO -> ListPublicKey is not a valid key");
    case ListSignature::signature_missing:
        return TranslateMain(L"The list file has no signature.");
    case ListSignature::signature_wrong:
        return TranslateMain(L"The signature of the list file is not valid.");
    }
    return {};
}

std::wstring OlderListText() { return TranslateMain(L"The list file is older than the installed version."); }

}  // namespace nm
