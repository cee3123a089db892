// portable: builds without Win32
#include "list/pending_list.h"

#include <cstdint>
#include <utility>

namespace nm::pending_list {

namespace {
// Ends the name table in the file; no value follows it.
constexpr std::wstring_view kEndOfNames = L"!-end------";

class Writer {
public:
    void Number(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    void Text(std::wstring_view text) {
        std::u16string units = ToUtf16(text);
        Number(static_cast<std::uint32_t>(units.size()));
        for (char16_t unit : units) {
            bytes_.push_back(static_cast<char>(unit & 0xFF));
            bytes_.push_back(static_cast<char>(unit >> 8));
        }
    }
    std::string Take() { return std::move(bytes_); }

private:
    static std::u16string ToUtf16(std::wstring_view text) {
        std::u16string units;
        units.reserve(text.size());
        for (wchar_t c : text) {
            auto code = static_cast<std::uint32_t>(c);
            if (code > 0xFFFF) {  // only where wchar_t is 32 bits
                code -= 0x10000;
                units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
                units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            } else {
                units.push_back(static_cast<char16_t>(code));
            }
        }
        return units;
    }
    std::string bytes_;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool Number(std::uint32_t& value) {
        if (Remaining() < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(Byte(pos_ + i)) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool Text(std::wstring& text) {
        std::uint32_t count = 0;
        if (!Number(count) || count > Remaining() / 2) return false;
        std::u16string units(count, u'\0');
        for (std::uint32_t i = 0; i < count; ++i)
            units[i] = static_cast<char16_t>(Byte(pos_ + 2 * i) | (Byte(pos_ + 2 * i + 1) << 8));
        pos_ += 2 * static_cast<size_t>(count);
        text = FromUtf16(units);
        return true;
    }
    // A count of records that each take at least min_bytes cannot exceed
    // what is left of the file.
    bool Count(std::uint32_t& count, size_t min_bytes) { return Number(count) && count <= Remaining() / min_bytes; }

private:
    size_t Remaining() const { return bytes_.size() - pos_; }
    unsigned Byte(size_t at) const { return static_cast<unsigned char>(bytes_[at]); }
    static std::wstring FromUtf16(const std::u16string& units) {
        std::wstring text;
        text.reserve(units.size());
        for (size_t i = 0; i < units.size(); ++i) {
            std::uint32_t code = units[i];
            if constexpr (sizeof(wchar_t) == 4) {
                if (code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                    units[i + 1] < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                    ++i;
                }
            }
            text.push_back(static_cast<wchar_t>(code));
        }
        return text;
    }
    std::string_view bytes_;
    size_t pos_ = 0;
};

constexpr size_t kTextBytes = 4;                    // an empty text
constexpr size_t kEntryBytes = 8 * kTextBytes + 4;  // eight empty texts and the flags
}  // namespace

std::string Serialise(const DownLoadList& list) {
    Writer out;
    for (const auto& [key, value] : list.name_table) {
        if (key.empty() || key == kEndOfNames) continue;  // the end key would cut the table short
        out.Text(key);
        out.Text(value);
    }
    out.Text(kEndOfNames);
    out.Number(static_cast<std::uint32_t>(list.run_commands.size()));
    for (const auto& command : list.run_commands) out.Text(command);
    for (const std::wstring* text :
         {&list.description, &list.list_url_base, &list.url_template, &list.temporary_directory, &list.guid})
        out.Text(*text);
    out.Number(static_cast<std::uint32_t>(list.update_state));
    out.Number(static_cast<std::uint32_t>(list.entries.size()));
    for (const auto& e : list.entries) {
        for (const std::wstring* text :
             {&e.url, &e.path, &e.dstname, &e.ver, &e.message, &e.shortcut, &e.shortcuticon, &e.iconindex})
            out.Text(*text);
        out.Number(e.flags);
    }
    return out.Take();
}

bool Parse(std::string_view bytes, DownLoadList& list) {
    Reader in(bytes);
    std::map<std::wstring, std::wstring> names;
    for (;;) {
        std::wstring key, value;
        if (!in.Text(key)) return false;
        if (key == kEndOfNames) break;
        if (!in.Text(value)) return false;
        names[std::move(key)] = std::move(value);
    }

    std::uint32_t count = 0;
    if (!in.Count(count, kTextBytes)) return false;
    std::vector<std::wstring> run_commands(count);
    for (auto& command : run_commands)
        if (!in.Text(command)) return false;

    std::wstring description, list_url_base, url_template, temporary_directory, guid;
    for (std::wstring* text : {&description, &list_url_base, &url_template, &temporary_directory, &guid})
        if (!in.Text(*text)) return false;

    // States run from UpdateNone (0) to UpdateEnd (13); anything else is damage.
    std::uint32_t state = 0;
    if (!in.Number(state) || state > 13) return false;

    if (!in.Count(count, kEntryBytes)) return false;
    std::vector<updatefileinfo> entries(count);
    for (auto& e : entries) {
        for (std::wstring* text :
             {&e.url, &e.path, &e.dstname, &e.ver, &e.message, &e.shortcut, &e.shortcuticon, &e.iconindex})
            if (!in.Text(*text)) return false;
        if (!in.Number(e.flags)) return false;
    }

    // All read: only now does the object change.
    for (auto& [key, value] : names) list.name_table[key] = std::move(value);
    list.run_commands = std::move(run_commands);
    list.description = std::move(description);
    list.list_url_base = std::move(list_url_base);
    list.url_template = std::move(url_template);
    list.temporary_directory = std::move(temporary_directory);
    list.guid = std::move(guid);
    list.update_state = static_cast<int>(state);
    list.entries.insert(list.entries.end(), std::make_move_iterator(entries.begin()),
                        std::make_move_iterator(entries.end()));
    return true;
}

}  // namespace nm::pending_list
