// portable: builds without Win32
#pragma once
// The process-wide text-to-text table: the settings cache (entry = section
// name followed by key name) and the named run-time values ("commandline",
// "runmode", "updatetm" ...). Worker threads add cache entries while others
// read, so every access takes the table's lock.
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace nm {

class VariableTable {
public:
    std::optional<std::wstring> Find(const std::wstring& name) const;
    // The value, or "" when the name is absent.
    std::wstring Get(const std::wstring& name) const;
    void Set(const std::wstring& name, const std::wstring& value);
    void Append(const std::wstring& name, const std::wstring& suffix);
    void Clear();

private:
    mutable std::mutex lock_;
    std::map<std::wstring, std::wstring> values_;
};

}  // namespace nm
