// portable: builds without Win32
#include "services/variable_table.h"

namespace nm {

std::optional<std::wstring> VariableTable::Find(const std::wstring& name) const {
    std::lock_guard guard(lock_);
    auto it = values_.find(name);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::wstring VariableTable::Get(const std::wstring& name) const { return Find(name).value_or(L""); }

void VariableTable::Set(const std::wstring& name, const std::wstring& value) {
    std::lock_guard guard(lock_);
    values_[name] = value;
}

void VariableTable::Append(const std::wstring& name, const std::wstring& suffix) {
    std::lock_guard guard(lock_);
    values_[name] += suffix;
}

void VariableTable::Clear() {
    std::lock_guard guard(lock_);
    values_.clear();
}

}  // namespace nm
