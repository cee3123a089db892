#include "list/download_list.h"

#include <windows.h>

#include "base/unique_handle.h"
#include "list/pending_list.h"

namespace nm {

namespace {
// Far above any real pending list; a larger file is not one of ours.
constexpr LONGLONG kLargestPendingList = 256LL * 1024 * 1024;
}  // namespace

bool DownLoadList::SaveTo(const std::wstring& file) const {
    const std::string bytes = pending_list::Serialise(*this);
    unique_hfile out(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    DWORD written = 0;
    return ::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool DownLoadList::LoadFrom(const std::wstring& file) {
    unique_hfile in(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(in.get(), &size) || size.QuadPart > kLargestPendingList) return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(in.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size()))
        return false;
    return pending_list::Parse(bytes, *this);
}

}  // namespace nm
