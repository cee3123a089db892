// portable: builds without Win32
#pragma once
// How an element of the update list becomes an entry: the accepted attribute
// spellings, the action flags, the address standing in for a path, the
// duplicate key and the normalisation before an entry is stored.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "list/list_entry.h"

namespace nm::list_entry {

// The fields a file element's attributes fill.
// sha256 and size fill no field of the entry: they are taken apart
// (Expected) for the check of the downloaded bytes.
enum class FileField { ver, flags, path, url, shortcut, shortcuticon, iconindex, dstname, sha256, size, count };

// What a file element says of its file's bytes.
struct ExpectedBytes {
    std::wstring sha256;               // trimmed and lower-cased; "" when absent
    std::optional<std::int64_t> size;  // decimal digits alone; none when absent or not a number
};

// A size attribute's bytes: decimal digits alone (spaces around allowed);
// none when it is empty or not such a number.
std::optional<std::int64_t> ByteCount(std::wstring_view value);

// Where an attribute name goes: its field and its rank among the spellings of
// that field (0 is tried first). No field when the name is not accepted.
struct AttributeSlot {
    FileField field = FileField::count;
    int rank = 0;
    bool accepted() const { return field != FileField::count; }
};
AttributeSlot FileAttributeSlot(std::wstring_view name);
// Every accepted spelling, field by field in the order they are tried.
const std::vector<std::wstring_view>& FileAttributeSpellings();

// Collects a file element's attributes in any order; for each field the
// first non-empty value in spelling order wins, as if each spelling had been
// asked for in turn.
class FileAttributes {
public:
    FileAttributes() = default;
    // Collects only these fields: the others stay empty, and their
    // attributes are never wanted.
    explicit FileAttributes(std::initializer_list<FileField> only);

    // Whether the value of this attribute can still matter; callers skip
    // reading values that cannot.
    bool Wants(AttributeSlot slot) const { return slot.accepted() && slot.rank < ranks_[static_cast<int>(slot.field)]; }
    bool Wants(std::wstring_view name) const { return Wants(FileAttributeSlot(name)); }
    void Offer(AttributeSlot slot, std::wstring value);
    void Offer(std::wstring_view name, std::wstring_view value) { Offer(FileAttributeSlot(name), std::wstring(value)); }
    // The entry with flags from the action text, the address moved out of
    // the path and the path taken from the address when it has none.
    updatefileinfo Build() &&;
    // The sha256 text and the size. Read them before Build, which takes the values.
    ExpectedBytes Expected() const;

private:
    static constexpr int kNoRank = 1 << 30;
    std::array<std::wstring, static_cast<int>(FileField::count)> values_;
    std::array<int, static_cast<int>(FileField::count)> ranks_ = MakeRanks();
    static constexpr std::array<int, static_cast<int>(FileField::count)> MakeRanks() {
        std::array<int, static_cast<int>(FileField::count)> r{};
        for (auto& x : r) x = kNoRank;
        return r;
    }
};

// The action bits of an oper value: its leading number, or'ed with a bit for
// each word ("run", "exe", "del", "reg", "boot") it contains, ignoring case.
std::uint32_t OperFlags(std::wstring_view oper);

// A path that is really an address ("http:" or "https:") moves to url; an
// entry with an address but no path takes its path from the address.
void MoveAddressOutOfPath(updatefileinfo& entry);
// The last piece of the address (or the one before a trailing "/").
std::wstring PathFromAddress(std::wstring_view url);

// Entries with the same key are duplicates; the first one wins. The second
// form writes into a buffer the caller keeps, sparing an allocation per entry.
std::wstring DuplicateKey(const updatefileinfo& entry);
void DuplicateKey(const updatefileinfo& entry, std::wstring& key);

updatefileinfo MakeRunEntry(std::wstring_view program, std::wstring_view parameters, std::wstring_view wait);
updatefileinfo MakeDescriptionEntry(std::wstring_view text);

// A run entry's command keeps its three values in one text, separated by a
// character that cannot occur in an XML document.
struct RunCommand {
    std::wstring program, parameters, wait;
};
std::wstring JoinRunCommand(const RunCommand& command);
RunCommand SplitRunCommand(std::wstring_view command);

// The number of a list's serial element: decimal digits alone, blanks
// around them allowed; anything else, or more than 19 digits, is 0.
std::uint64_t ListSerial(std::wstring_view text);

// What is stored: ver lower-cased and trimmed; in a file path "|" stands for
// "\" and "._.zip" is dropped, then the path is trimmed.
void Normalise(updatefileinfo& entry);
std::wstring NormalisePath(std::wstring_view path);

}  // namespace nm::list_entry
