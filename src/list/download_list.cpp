#include "list/download_list.h"

#include "app/unavailable.h"

namespace nm {

bool DownLoadList::LoadFrom(const std::wstring&) {
    LogUnavailable(L"Reading the saved pending list");
    return false;
}

}  // namespace nm
