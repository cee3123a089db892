#include "install/offline_package.h"

#include "services/unavailable.h"

namespace nm {

bool ProcessOfflinePackage(const std::wstring&) {
    LogUnavailable(L"Offline update package");
    return false;
}

}  // namespace nm
