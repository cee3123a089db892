// portable: builds without Win32
// makelist: an update list naming every file below a release folder, with a
// version derived from each file's content (an unchanged file keeps it) and
// the size and sha256 against which the updater checks what it downloads.
// With earlier releases given, a file that changed also gets a patch from each
// earlier version of it, written beside it and named in its entry. The same
// release folder gives the same list natively and on Windows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "base/file_ops.h"
#include "base/hex.h"
#include "base/text.h"
#include "download/delta_make.h"
#include "list/release_control.h"
#include "tool/file_digest.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
// Enough of the hash to tell versions apart; the full hash is beside it.
constexpr size_t kVersionDigits = 16;
// What a patch's name ends with, after the file's name and the start of the
// sha256 it applies to: "bin\\app.exe.0123456789abcdef._.patch".
constexpr wchar_t kPatchSuffix[] = L"._.patch";

// Relative paths (with "\") of every file below folder, archive variants and
// patches left out: the updater asks for those by itself.
bool CollectFiles(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& found) {
    bool complete = true;
    const bool listed = files::ForEachEntry(folder, [&](const files::FolderEntry& entry) {
        const std::wstring path = relative.empty() ? entry.name : relative + L"\\" + entry.name;
        if (entry.is_directory)
            complete = CollectFiles(folder + L"\\" + entry.name, path, found) && complete;
        else if (!text::EndsWith(text::Lower(entry.name), L"._.zip") &&
                 !text::EndsWith(text::Lower(entry.name), kPatchSuffix))
            found.push_back(path);
    });
    return listed && complete;
}

std::string XmlAttribute(const std::wstring& value) {
    std::string escaped;
    for (char c : text::ToUtf8(value)) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

struct FileDigest {
    std::wstring sha256;
    std::uint64_t size = 0;
};

bool DigestOf(const std::wstring& path, FileDigest& digest) {
    sha256::Digest bytes;
    if (!DigestOfFile(path, bytes, digest.size)) return false;
    digest.sha256 = hex::EncodeDigest(bytes);
    return true;
}

bool IsFile(const std::wstring& path) { return files::Exists(path) && !files::IsDirectory(path); }

// The <patch/> elements of one release file: a patch from each earlier
// version of it that differs, written beside it, unless it is not smaller
// than the file (then the file is fetched whole anyway). 1 after saying what
// failed, else 0.
int MakePatches(const std::wstring& release, const std::wstring& path, const FileDigest& current,
                const std::vector<std::wstring>& previous_releases, std::string& elements) {
    std::vector<std::wstring> done;  // sha256 of the versions patched from
    for (const std::wstring& previous : previous_releases) {
        const std::wstring old_path = previous + L"\\" + path;
        if (!IsFile(old_path)) continue;
        FileDigest old_digest;
        if (!DigestOf(old_path, old_digest)) return Fail(L"makelist", L"cannot read the earlier file", old_path);
        if (old_digest.sha256 == current.sha256 || std::find(done.begin(), done.end(), old_digest.sha256) != done.end())
            continue;
        done.push_back(old_digest.sha256);
        if (old_digest.size >= delta::kMaximumOldSize) {
            std::fwprintf(stdout, L"%ls: the earlier version is too large for a patch\n", old_path.c_str());
            continue;
        }
        std::string old_file, new_file, patch, error;
        if (!files::ReadAll(old_path, old_file, delta::kMaximumOldSize))
            return Fail(L"makelist", L"cannot read the earlier file", old_path);
        if (!files::ReadAll(release + L"\\" + path, new_file, INT64_MAX))
            return Fail(L"makelist", L"cannot read the release file", release + L"\\" + path);
        if (!delta::MakePatch(std::move(old_file), std::move(new_file), patch, error))
            return Refuse(L"makelist", L"cannot make a patch (" + text::FromUtf8(error) + L")", old_path);
        if (patch.size() >= current.size) continue;
        const sha256::Digest patch_digest = sha256::Of(patch);
        const std::wstring patch_path = path + L"." + old_digest.sha256.substr(0, kVersionDigits) + kPatchSuffix;
        if (!files::WriteAll(release + L"\\" + patch_path, patch))
            return Fail(L"makelist", L"cannot write the patch", release + L"\\" + patch_path);
        elements += "    <patch from=\"" + XmlAttribute(old_digest.sha256) + "\" path=\"" + XmlAttribute(patch_path) +
                    "\" size=\"" + std::to_string(patch.size()) + "\" sha256=\"" +
                    XmlAttribute(hex::EncodeDigest(patch_digest)) + "\"/>\r\n";
    }
    return 0;
}

std::wstring WithoutTrailingSlashes(std::wstring folder) {
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

}  // namespace

int Makelist(const Arguments& args) {
    std::vector<std::wstring> words, previous_releases;
    const std::time_t now = std::time(nullptr);
    std::wstring serial = std::to_wstring(static_cast<unsigned long long>(now));
    // The release controls, written after the serial when asked for.
    std::string controls;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--serial" && i + 1 < args.size()) {
            serial = args[++i];
            if (serial.empty() || serial.size() > 19 || !std::all_of(serial.begin(), serial.end(), iswdigit))
                return Refuse(L"makelist", L"the serial must be a whole number of at most 19 digits", serial);
        } else if (args[i] == L"--previous" && i + 1 < args.size()) {
            previous_releases.push_back(WithoutTrailingSlashes(args[++i]));
        } else if (args[i] == L"--paused") {
            controls += "  <paused/>\r\n";
        } else if (args[i] == L"--rollout" && i + 1 < args.size()) {
            const auto percent = release_control::ParsePercent(args[++i]);
            if (!percent)
                return Refuse(L"makelist", L"the rollout share must be a whole percent from 0 to 100", args[i]);
            controls += "  <rollout percent=\"" + std::to_string(*percent) + "\"/>\r\n";
        } else if (args[i] == L"--expires" && i + 1 < args.size()) {
            const std::wstring days = args[++i];
            if (days.empty() || days.size() > 5 || !std::all_of(days.begin(), days.end(), iswdigit) ||
                std::stol(days) == 0)
                return Refuse(L"makelist", L"the days until the list expires must be a whole number from 1 to 99999",
                              days);
            const std::int64_t expires = static_cast<std::int64_t>(now) + std::stol(days) * 86400LL;
            controls += "  <expires>" + text::ToUtf8(release_control::FormatUtcTime(expires)) + "</expires>\r\n";
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 2) {
        std::fwprintf(
            stderr,
            L"usage: novamend-tool makelist RELEASE_DIR OUT_LIST [--serial N] [--previous EARLIER_RELEASE_DIR]... "
            L"[--paused] [--rollout PERCENT] [--expires DAYS]\n");
        return 2;
    }
    const std::wstring release = WithoutTrailingSlashes(words[0]);
    const std::wstring& out_list = words[1];

    std::vector<std::wstring> paths;
    if (!CollectFiles(release, L"", paths)) {
        if (!files::Exists(release))
            return Refuse(L"makelist", L"no such folder (the release folder was expected)", release);
        if (!files::IsDirectory(release)) return Refuse(L"makelist", L"a file, not the release folder", release);
        return Fail(L"makelist", L"cannot read the release folder, or a folder below it", release);
    }
    // In the order of the paths' UTF-16 units, as Windows compares its wide texts.
    std::sort(paths.begin(), paths.end(), text::Utf16Less);
    // The list and its signature may be written into the release folder itself.
    const std::wstring list_full = text::Lower(files::FullPath(out_list));
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n  <serial>" + text::ToUtf8(serial) +
                      "</serial>\r\n" + controls;
    size_t listed = 0;
    for (const std::wstring& path : paths) {
        const std::wstring full = release + L"\\" + path;
        const std::wstring lower = text::Lower(files::FullPath(full));
        if (lower == list_full || lower == list_full + L".sig") continue;
        FileDigest digest;
        if (!DigestOf(full, digest)) return Fail(L"makelist", L"cannot read the release file", full);
        std::string patches;
        if (const int failed = MakePatches(release, path, digest, previous_releases, patches)) return failed;
        xml += "  <file path=\"" + XmlAttribute(path) + "\" ver=\"" +
               XmlAttribute(digest.sha256.substr(0, kVersionDigits)) + "\" size=\"" + std::to_string(digest.size) +
               "\" sha256=\"" + XmlAttribute(digest.sha256) + "\"";
        xml += patches.empty() ? "/>\r\n" : ">\r\n" + patches + "  </file>\r\n";
        ++listed;
    }
    xml += "</update>\r\n";
    if (!files::WriteAll(out_list, xml)) return Fail(L"makelist", L"cannot write the list", out_list);
    std::fwprintf(stdout, L"%lu files, serial %ls\n", static_cast<unsigned long>(listed), serial.c_str());
    return 0;
}

}  // namespace nm::tool
