// portable: builds without Win32
#include "list/list_entry_rules.h"

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/text.h"

namespace nm::list_entry {

namespace {
// The accepted spellings of each field, in the order they are tried.
struct Spellings {
    FileField field;
    std::initializer_list<std::wstring_view> names;
};
const Spellings kFileSpellings[] = {
    {FileField::ver, {L"ver", L"Ver", L"md5", L"MD5"}},
    {FileField::flags,
     {L"oper", L"Oper", L"OPER", L"do", L"Do", L"DO", L"Action", L"action", L"ACTION", L"Activity", L"activity",
      L"ACTIVITY"}},
    {FileField::path, {L"path", L"Path", L"File", L"file", L"Name", L"name"}},
    {FileField::url, {L"URL", L"url", L"Url"}},
    {FileField::shortcut, {L"shortcut", L"ShortCut", L"SHORTCUT"}},
    {FileField::shortcuticon, {L"shortcuticon", L"shorticon", L"ShortCutIcon", L"SHORTCUTICON", L"SHORTICON"}},
    {FileField::iconindex, {L"iconindex", L"ICONINDEX", L"IconIndex", L"shortcuticonindex", L"SHORTCUTICONINDEX"}},
    {FileField::dstname, {L"DesName", L"desname", L"dstname", L"DstName"}},
    {FileField::sha256, {L"sha256"}},
    {FileField::size, {L"size"}},
};

// Separates the three values of a run command; U+0001 is not allowed in an
// XML document, so no attribute value can hold it.
constexpr wchar_t kRunCommandSeparator = L'\x01';

constexpr size_t Index(FileField f) { return static_cast<size_t>(f); }

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
bool NeedsTrim(std::wstring_view s) { return !s.empty() && (IsBlank(s.front()) || IsBlank(s.back())); }
bool HasUpperCase(std::wstring_view s) {
    for (wchar_t c : s)
        if (c >= 0x80 || (c >= L'A' && c <= L'Z')) return true;  // beyond ASCII: let Lower decide
    return false;
}

// "|" stands for "\", "._.zip" is dropped, then the text is trimmed.
void NormalisePathInPlace(std::wstring& path) {
    for (wchar_t& c : path)
        if (c == L'|') c = L'\\';
    if (path.find(L"._.zip") != std::wstring::npos) path = text::ReplaceAll(path, L"._.zip", L"");
    if (NeedsTrim(path)) path = text::Trim(path);
}
}  // namespace

AttributeSlot FileAttributeSlot(std::wstring_view name) {
    // Every attribute of every file element is looked up: a table by name.
    static const std::unordered_map<std::wstring_view, AttributeSlot> slots = [] {
        std::unordered_map<std::wstring_view, AttributeSlot> table;
        for (const auto& spellings : kFileSpellings) {
            int rank = 0;
            for (std::wstring_view spelling : spellings.names)
                table.emplace(spelling, AttributeSlot{spellings.field, rank++});
        }
        return table;
    }();
    const auto found = slots.find(name);
    return found == slots.end() ? AttributeSlot{} : found->second;
}

const std::vector<std::wstring_view>& FileAttributeSpellings() {
    static const std::vector<std::wstring_view> all = [] {
        std::vector<std::wstring_view> names;
        for (const auto& spellings : kFileSpellings) names.insert(names.end(), spellings.names);
        return names;
    }();
    return all;
}

FileAttributes::FileAttributes(std::initializer_list<FileField> only) {
    ranks_.fill(0);  // rank 0 is already taken: nothing can win
    for (FileField field : only) ranks_[Index(field)] = kNoRank;
}

void FileAttributes::Offer(AttributeSlot slot, std::wstring value) {
    if (value.empty() || !Wants(slot)) return;  // an empty value counts as absent
    ranks_[Index(slot.field)] = slot.rank;
    values_[Index(slot.field)] = std::move(value);
}

updatefileinfo FileAttributes::Build() && {
    updatefileinfo entry;
    entry.ver = std::move(values_[Index(FileField::ver)]);
    entry.flags = OperFlags(values_[Index(FileField::flags)]);
    entry.path = std::move(values_[Index(FileField::path)]);
    entry.url = std::move(values_[Index(FileField::url)]);
    entry.shortcut = std::move(values_[Index(FileField::shortcut)]);
    entry.shortcuticon = std::move(values_[Index(FileField::shortcuticon)]);
    entry.iconindex = std::move(values_[Index(FileField::iconindex)]);
    entry.dstname = std::move(values_[Index(FileField::dstname)]);
    MoveAddressOutOfPath(entry);
    return entry;
}

std::optional<std::int64_t> ByteCount(std::wstring_view value) {
    const std::wstring size = text::Trim(std::wstring(value));
    // Up to 18 digits always fit; a size of more is no size of a file.
    if (size.empty() || size.size() > 18 || size.find_first_not_of(L"0123456789") != std::wstring::npos)
        return std::nullopt;
    std::int64_t bytes = 0;
    for (wchar_t digit : size) bytes = bytes * 10 + (digit - L'0');
    return bytes;
}

ExpectedBytes FileAttributes::Expected() const {
    ExpectedBytes expected;
    const std::wstring& sha256 = values_[Index(FileField::sha256)];
    if (!sha256.empty()) expected.sha256 = text::Trim(text::Lower(sha256));
    expected.size = ByteCount(values_[Index(FileField::size)]);
    return expected;
}

std::uint32_t OperFlags(std::wstring_view oper) {
    if (oper.empty()) return 0;
    const std::wstring lower = text::Lower(oper);
    auto flags = static_cast<std::uint32_t>(text::ToLong(lower));
    if (text::Contains(lower, L"run") || text::Contains(lower, L"exe")) flags |= kEntryRun;
    if (text::Contains(lower, L"del")) flags |= kEntryDelete;
    if (text::Contains(lower, L"reg")) flags |= kEntryRegister;
    if (text::Contains(lower, L"boot")) flags |= kEntryNeedsRestart;
    return flags;
}

void MoveAddressOutOfPath(updatefileinfo& entry) {
    const std::wstring_view path = entry.path;
    if (text::EqualsNoCase(path.substr(0, 5), L"http:") || text::EqualsNoCase(path.substr(0, 6), L"https:")) {
        entry.url = std::move(entry.path);
        entry.path.clear();
    }
    if (!entry.url.empty() && entry.path.empty()) entry.path = PathFromAddress(entry.url);
}

std::wstring PathFromAddress(std::wstring_view url) {
    const std::wstring slashed = text::ReplaceAll(text::ReplaceAll(url, L"\\", L"/"), L"//", L"/");
    std::vector<std::wstring> pieces = text::Split(slashed, L'/');
    if (!slashed.empty() && slashed.back() == L'/') pieces.pop_back();
    if (pieces.empty()) return {};
    for (auto& piece : pieces) piece = text::Trim(piece);
    if (pieces.back().empty() && pieces.size() >= 2) return pieces[pieces.size() - 2];
    return pieces.back();
}

std::wstring DuplicateKey(const updatefileinfo& entry) {
    std::wstring key;
    DuplicateKey(entry, key);
    return key;
}

void DuplicateKey(const updatefileinfo& entry, std::wstring& key) {
    // Paths are nearly always ASCII: lower those directly, and leave the rest
    // to the library.
    key.assign(entry.path);
    for (wchar_t& c : key) {
        if (c >= 0x80) {
            key = text::Lower(entry.path);
            return;
        }
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
    }
}

updatefileinfo MakeRunEntry(std::wstring_view program, std::wstring_view parameters, std::wstring_view wait) {
    updatefileinfo entry;
    entry.path = JoinRunCommand({std::wstring(program), std::wstring(parameters), std::wstring(wait)});
    entry.dstname = entry.path;
    entry.ver = L"999";
    entry.flags = kRunEntryMarker;
    return entry;
}

updatefileinfo MakeDescriptionEntry(std::wstring_view text) {
    updatefileinfo entry;
    entry.path = text;
    entry.dstname = entry.path;
    entry.ver = L"999";
    entry.flags = kDescriptionEntryMarker;
    return entry;
}

std::wstring JoinRunCommand(const RunCommand& command) {
    return command.program + kRunCommandSeparator + command.parameters + kRunCommandSeparator + command.wait;
}

RunCommand SplitRunCommand(std::wstring_view command) {
    RunCommand parts;
    const size_t first = command.find(kRunCommandSeparator);
    if (first == std::wstring_view::npos) {
        parts.program = command;  // a bare program path
        return parts;
    }
    parts.program = command.substr(0, first);
    const size_t second = command.find(kRunCommandSeparator, first + 1);
    if (second == std::wstring_view::npos) {
        parts.parameters = command.substr(first + 1);
    } else {
        parts.parameters = command.substr(first + 1, second - first - 1);
        parts.wait = command.substr(second + 1);
    }
    return parts;
}

std::uint64_t ListSerial(std::wstring_view text) {
    const std::wstring digits = text::Trim(text);
    if (digits.empty() || digits.size() > 19) return 0;
    std::uint64_t serial = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return 0;
        serial = serial * 10 + static_cast<std::uint64_t>(c - L'0');
    }
    return serial;
}

std::wstring NormalisePath(std::wstring_view path) {
    std::wstring normal(path);
    NormalisePathInPlace(normal);
    return normal;
}

void Normalise(updatefileinfo& entry) {
    // Most values need no change: test before building new text, as a long
    // list makes every allocation count.
    if (NeedsTrim(entry.ver) || HasUpperCase(entry.ver)) entry.ver = text::Trim(text::Lower(entry.ver));
    if (IsRunEntry(entry)) {
        // Only the program is a path: parameters and the wait value pass unchanged.
        RunCommand command = SplitRunCommand(entry.path);
        command.program = NormalisePath(command.program);
        entry.path = JoinRunCommand(command);
    } else if (IsDescriptionEntry(entry)) {
        entry.path = text::Trim(entry.path);  // prose, not a path
    } else {
        NormalisePathInPlace(entry.path);
    }
}

}  // namespace nm::list_entry
