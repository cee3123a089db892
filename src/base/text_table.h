// portable: builds without Win32
#pragma once
// A table of texts, each stored with a value text, for lists of a hundred
// thousand entries: the texts share large blocks instead of an allocation
// each, and the table is probed in place. The first value stored under a key
// stays.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace nm {

class TextTable {
public:
    // True when the key is new and now stored with value; false keeps the
    // value stored first.
    bool Insert(std::wstring_view key, std::wstring_view value = {});
    // The value stored under key, or null when the key was never stored.
    const std::wstring_view* Find(std::wstring_view key) const;
    size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::wstring_view key, value;
    };
    // Probed in place; small, so that a long table stays in the cache. Entry
    // number 0 marks a free slot; the hash spares comparing texts.
    struct Slot {
        std::uint32_t entry_number = 0;  // index in entries_ plus one
        std::uint32_t hash = 0;
    };
    std::wstring_view Store(std::wstring_view text);
    void Grow();

    std::vector<Slot> slots_;
    std::vector<Entry> entries_;
    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    size_t block_used_ = 0, block_size_ = 0;
};

}  // namespace nm
