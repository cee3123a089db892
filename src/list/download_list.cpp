// portable: builds without Win32
#include "list/download_list.h"

#include "base/file_ops.h"
#include "base/text.h"
#include "list/pending_list.h"

namespace nm {

namespace {
// Far above any real pending list; a larger file is not one of ours.
constexpr std::int64_t kLargestPendingList = 256LL * 1024 * 1024;
}  // namespace

std::wstring DownLoadList::EntryUrl(const updatefileinfo& entry) const {
    if (!entry.url.empty()) return entry.url;
    const std::wstring url = text::ReplaceAll(url_template, L"{listurl-base}", list_url_base);
    return NormaliseUrlSlashes(text::ReplaceAll(url, L"{filename}", entry.path));
}

bool DownLoadList::SaveTo(const std::wstring& file) const {
    return files::WriteAll(file, pending_list::Serialise(*this));
}

void DownLoadList::KeepFileHashesOfEntries() {
    std::map<std::wstring, std::wstring> kept;
    for (const updatefileinfo& entry : entries) {
        const auto found = file_hashes.find(entry.path);
        if (found != file_hashes.end()) kept.emplace(found->first, std::move(found->second));
    }
    file_hashes.swap(kept);
    std::map<std::wstring, std::int64_t> kept_sizes;
    for (const updatefileinfo& entry : entries) {
        const auto found = file_sizes.find(entry.path);
        if (found != file_sizes.end()) kept_sizes.emplace(found->first, found->second);
    }
    file_sizes.swap(kept_sizes);
    std::map<std::wstring, std::vector<FilePatch>> kept_patches;
    for (const updatefileinfo& entry : entries) {
        const auto found = file_patches.find(entry.path);
        if (found != file_patches.end()) kept_patches.emplace(found->first, std::move(found->second));
    }
    file_patches.swap(kept_patches);
}

bool DownLoadList::LoadFrom(const std::wstring& file) {
    std::string bytes;
    return files::ReadAll(file, bytes, kLargestPendingList) && pending_list::Parse(bytes, *this);
}

}  // namespace nm
