// portable: builds without Win32
#include "base/text_table.h"

#include <algorithm>
#include <cstdint>

namespace nm {

namespace {
std::uint32_t HashText(std::wstring_view text) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (wchar_t c : text) hash = (hash ^ static_cast<std::uint32_t>(c)) * 16777619u;
    return hash;
}
constexpr wchar_t kEmptyText[] = L"";  // a stored empty text still has a non-null address
}  // namespace

bool TextTable::Insert(std::wstring_view key, std::wstring_view value) {
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    const std::uint32_t hash = HashText(key);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (!slot.entry_number) {
            entries_.push_back({Store(key), Store(value)});
            slot.entry_number = static_cast<std::uint32_t>(entries_.size());
            slot.hash = hash;
            return true;
        }
        if (slot.hash == hash && entries_[slot.entry_number - 1].key == key) return false;
    }
}

const std::wstring_view* TextTable::Find(std::wstring_view key) const {
    if (slots_.empty()) return nullptr;
    const std::uint32_t hash = HashText(key);
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (!slot.entry_number) return nullptr;
        const Entry& entry = entries_[slot.entry_number - 1];
        if (slot.hash == hash && entry.key == key) return &entry.value;
    }
}

std::wstring_view TextTable::Store(std::wstring_view text) {
    if (text.empty()) return std::wstring_view(kEmptyText, 0);
    if (block_used_ + text.size() > block_size_) {
        block_size_ = std::max<size_t>(text.size(), 64 * 1024);
        blocks_.push_back(std::make_unique_for_overwrite<wchar_t[]>(block_size_));
        block_used_ = 0;
    }
    wchar_t* at = blocks_.back().get() + block_used_;
    std::copy(text.begin(), text.end(), at);
    block_used_ += text.size();
    return std::wstring_view(at, text.size());
}

void TextTable::Grow() {
    const std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (!slot.entry_number) continue;
        size_t i = slot.hash & mask;
        while (slots_[i].entry_number) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

}  // namespace nm
