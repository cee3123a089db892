// portable: builds without Win32
#include "list/list_entry_rules.h"

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
};

// Separates the three values of a run command; U+0001 is not allowed in an
// XML document, so no attribute value can hold it.
constexpr wchar_t kRunCommandSeparator = L'\x01';

constexpr size_t Index(FileField f) { return static_cast<size_t>(f); }
}  // namespace

AttributeSlot FileAttributeSlot(std::wstring_view name) {
    for (const auto& spellings : kFileSpellings) {
        int rank = 0;
        for (std::wstring_view spelling : spellings.names) {
            if (spelling == name) return {spellings.field, rank};
            ++rank;
        }
    }
    return {};
}

bool FileAttributes::Wants(std::wstring_view name) const {
    const AttributeSlot slot = FileAttributeSlot(name);
    return slot.accepted() && slot.rank < ranks_[Index(slot.field)];
}

void FileAttributes::Offer(std::wstring_view name, std::wstring_view value) {
    if (value.empty()) return;  // an empty value counts as absent
    const AttributeSlot slot = FileAttributeSlot(name);
    if (!slot.accepted() || slot.rank >= ranks_[Index(slot.field)]) return;
    ranks_[Index(slot.field)] = slot.rank;
    values_[Index(slot.field)] = value;
}

updatefileinfo FileAttributes::Build() const {
    updatefileinfo entry;
    entry.ver = values_[Index(FileField::ver)];
    entry.flags = OperFlags(values_[Index(FileField::flags)]);
    entry.path = values_[Index(FileField::path)];
    entry.url = values_[Index(FileField::url)];
    entry.shortcut = values_[Index(FileField::shortcut)];
    entry.shortcuticon = values_[Index(FileField::shortcuticon)];
    entry.iconindex = values_[Index(FileField::iconindex)];
    entry.dstname = values_[Index(FileField::dstname)];
    MoveAddressOutOfPath(entry);
    return entry;
}

std::uint32_t OperFlags(std::wstring_view oper) {
    const std::wstring lower = text::Lower(oper);
    auto flags = static_cast<std::uint32_t>(text::ToLong(lower));
    if (text::Contains(lower, L"run") || text::Contains(lower, L"exe")) flags |= kEntryRun;
    if (text::Contains(lower, L"del")) flags |= kEntryDelete;
    if (text::Contains(lower, L"reg")) flags |= kEntryRegister;
    if (text::Contains(lower, L"boot")) flags |= kEntryNeedsRestart;
    return flags;
}

void MoveAddressOutOfPath(updatefileinfo& entry) {
    const std::wstring lower = text::Lower(entry.path);
    if (text::StartsWith(lower, L"http:") || text::StartsWith(lower, L"https:")) {
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

std::wstring DuplicateKey(const updatefileinfo& entry) { return text::Lower(entry.path); }

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

std::wstring NormalisePath(std::wstring_view path) {
    return text::Trim(text::ReplaceAll(text::ReplaceAll(path, L"|", L"\\"), L"._.zip", L""));
}

void Normalise(updatefileinfo& entry) {
    entry.ver = text::Trim(text::Lower(entry.ver));
    if (IsRunEntry(entry)) {
        // Only the program is a path: parameters and the wait value pass unchanged.
        RunCommand command = SplitRunCommand(entry.path);
        command.program = NormalisePath(command.program);
        entry.path = JoinRunCommand(command);
    } else if (IsDescriptionEntry(entry)) {
        entry.path = text::Trim(entry.path);  // prose, not a path
    } else {
        entry.path = NormalisePath(entry.path);
    }
}

}  // namespace nm::list_entry
