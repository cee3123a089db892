// makelist: an update list naming every file below a release folder, with a
// version derived from each file's content (an unchanged file keeps it) and
// the size and sha256 against which the updater checks what it downloads.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

#include "base/cng_crypto.h"
#include "base/file_ops.h"
#include "base/hex.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "list/release_control.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
// Enough of the hash to tell versions apart; the full hash is beside it.
constexpr size_t kVersionDigits = 16;

// Relative paths (with "\") of every file below folder, archive variants left
// out: the updater asks for those by itself.
bool CollectFiles(const std::wstring& folder, const std::wstring& relative, std::vector<std::wstring>& found) {
    bool complete = true;
    const bool listed = files::ForEachEntry(folder, [&](const files::FolderEntry& entry) {
        const std::wstring path = relative.empty() ? entry.name : relative + L"\\" + entry.name;
        if (entry.is_directory)
            complete = CollectFiles(folder + L"\\" + entry.name, path, found) && complete;
        else if (!text::EndsWith(text::Lower(entry.name), L"._.zip"))
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

}  // namespace

int Makelist(const Arguments& args) {
    std::vector<std::wstring> words;
    const std::time_t now = std::time(nullptr);
    std::wstring serial = std::to_wstring(static_cast<unsigned long long>(now));
    // The release controls, written after the serial when asked for.
    std::string controls;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == L"--serial" && i + 1 < args.size()) {
            serial = args[++i];
            if (serial.empty() || serial.size() > 19 || !std::all_of(serial.begin(), serial.end(), iswdigit))
                return Refuse(L"makelist", L"the serial must be a whole number of at most 19 digits", serial);
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
        std::fwprintf(stderr,
                      L"usage: novamend-tool makelist RELEASE_DIR OUT_LIST [--serial N] [--paused] [--rollout PERCENT] "
                      L"[--expires DAYS]\n");
        return 2;
    }
    std::wstring release = words[0];
    while (release.size() > 1 && (release.back() == L'\\' || release.back() == L'/')) release.pop_back();
    const std::wstring& out_list = words[1];

    std::vector<std::wstring> paths;
    if (!CollectFiles(release, L"", paths)) {
        const DWORD attributes = ::GetFileAttributesW(release.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return Refuse(L"makelist", L"no such folder (the release folder was expected)", release);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Refuse(L"makelist", L"a file, not the release folder", release);
        return Fail(L"makelist", L"cannot read the release folder, or a folder below it", release);
    }
    std::sort(paths.begin(), paths.end());
    // The list and its signature may be written into the release folder itself.
    const std::wstring list_full = text::Lower(files::FullPath(out_list));
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n  <serial>" + text::ToUtf8(serial) +
                      "</serial>\r\n" + controls;
    size_t listed = 0;
    for (const std::wstring& path : paths) {
        const std::wstring full = release + L"\\" + path;
        const std::wstring lower = text::Lower(files::FullPath(full));
        if (lower == list_full || lower == list_full + L".sig") continue;
        // The size is of the bytes hashed, so the two always agree.
        cng::Sha256 hash;
        cng::Sha256Digest digest;
        std::uint64_t size = 0;
        const bool read = files::ReadInBlocks(full, [&](std::string_view block) {
            size += block.size();
            hash.Add(block);
            return true;
        });
        if (!read || !hash.Finish(digest)) return Fail(L"makelist", L"cannot read the release file", full);
        const std::wstring sha256 =
            hex::Encode(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()));
        xml += "  <file path=\"" + XmlAttribute(path) + "\" ver=\"" + XmlAttribute(sha256.substr(0, kVersionDigits)) +
               "\" size=\"" + std::to_string(size) + "\" sha256=\"" + XmlAttribute(sha256) + "\"/>\r\n";
        ++listed;
    }
    xml += "</update>\r\n";
    if (!files::WriteAll(out_list, xml)) return Fail(L"makelist", L"cannot write the list", out_list);
    std::fwprintf(stdout, L"%lu files, serial %ls\n", static_cast<unsigned long>(listed), serial.c_str());
    return 0;
}

}  // namespace nm::tool
