// portable: builds without Win32
#include "list/staged_path.h"

#include <algorithm>
#include <vector>

namespace nm {

namespace {
struct SplitPath {
    std::wstring root;                 // the staged form of the root, "" for a relative path
    std::vector<std::wstring> pieces;  // what follows the root, "." and empty pieces dropped
};

SplitPath Split(std::wstring_view path) {
    std::wstring text(path);
    for (auto& c : text)
        if (c == L'/') c = L'\\';
    SplitPath split;
    std::wstring_view rest = text;
    if (rest.size() >= 2 && rest[0] == L'\\' && rest[1] == L'\\') {
        split.root = L"{unc}";
        rest.remove_prefix(2);
    } else if (rest.size() >= 2 && rest[1] == L':') {
        split.root = std::wstring(L"{") + rest[0] + L"}";
        rest.remove_prefix(2);
    }
    while (!rest.empty()) {
        const size_t end = rest.find(L'\\');
        const std::wstring_view piece = rest.substr(0, end);
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
        if (piece.empty() || piece == L".") continue;
        split.pieces.emplace_back(piece);
    }
    return split;
}

bool IsMacro(const std::wstring& piece) { return piece.size() > 2 && piece.front() == L'{' && piece.back() == L'}'; }
}  // namespace

bool ClimbsOutOfItsRoot(std::wstring_view path) {
    const SplitPath split = Split(path);
    long depth = 0;
    for (size_t i = 0; i < split.pieces.size(); ++i) {
        const std::wstring& piece = split.pieces[i];
        // A leading macro names the root; macros deeper in are folders (or
        // expand to one) and cannot be climbed out of unseen.
        if (i == 0 && split.root.empty() && IsMacro(piece)) continue;
        if (piece == L"..") {
            if (--depth < 0) return true;
        } else {
            ++depth;
        }
    }
    return false;
}

bool EntryClimbsOut(const updatefileinfo& entry) {
    if (!IsFileEntry(entry)) return false;
    if (ClimbsOutOfItsRoot(entry.path)) return true;
    std::wstring names = entry.dstname;
    for (auto& c : names)
        if (c == L',' || c == L'|') c = L';';
    for (size_t start = 0; start <= names.size();) {
        const size_t end = std::min(names.find(L';', start), names.size());
        if (ClimbsOutOfItsRoot(std::wstring_view(names).substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

std::optional<std::wstring> StagedRelativePath(std::wstring_view entry_path) {
    if (ClimbsOutOfItsRoot(entry_path)) return std::nullopt;
    const SplitPath split = Split(entry_path);
    std::vector<std::wstring> kept;
    if (!split.root.empty()) kept.push_back(split.root);
    for (const std::wstring& piece : split.pieces) {
        if (piece == L"..")
            kept.pop_back();  // never the root: the path does not climb out
        else
            kept.push_back(piece);
    }
    // A path that names no file at all would stand for the work directory itself.
    if (kept.empty() || (kept.size() == 1 && !split.root.empty())) return std::nullopt;
    std::wstring relative;
    for (const std::wstring& piece : kept) relative += (relative.empty() ? L"" : L"\\") + piece;
    return relative;
}

}  // namespace nm
