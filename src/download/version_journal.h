#pragma once
// The versions that the finished files of one folder were fetched for, kept
// as one journal that each finished file appends a record to: one file per
// folder, where a note per file would make a new name (and, under Wine, a
// read of the whole folder) for every file fetched.
//
// A record is "\n" name TAB version TAB, in UTF-8, the version with '%' and
// control characters written as %XX. A record that lacks its last TAB was
// cut short and counts for nothing; the record that comes last for a name
// (in any case) holds. A record with the version "%" says the name has no
// version any more: no encoded version is "%" alone.
#include <optional>
#include <string>
#include <string_view>

namespace nm::version_journal {

std::string EncodeVersion(std::wstring_view version);

// The record that notes the version, or that forgets the name's version
// (nullopt).
std::string Record(std::wstring_view name, std::optional<std::wstring_view> version);

enum class Noted { Nothing, Forgotten, Version };
struct Lookup {
    Noted noted = Noted::Nothing;
    std::string encoded_version;  // for Noted::Version
};
Lookup Find(std::string_view journal, std::wstring_view name);

}  // namespace nm::version_journal
