// portable: builds without Win32
#include "base/xml_document.h"

#include <algorithm>
#include <map>
#include <optional>

namespace nm::xml {

namespace {

bool IsSpace(char32_t c) { return c == 0x20 || c == 0x9 || c == 0xA || c == 0xD; }

bool IsChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStart(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c) {
    return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

void AppendCodePoint(char32_t c, std::wstring& out) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The code point at `at` of valid UTF-8, and its length.
char32_t DecodeAt(std::string_view s, size_t at, size_t& length) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return length = 1, lead;
    if (lead < 0xE0) return length = 2, ((lead & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    if (lead < 0xF0) return length = 3, ((lead & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    return length = 4,
           ((lead & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) | (byte(3) & 0x3Fu);
}

// The offset of the first byte that is not valid UTF-8 of XML characters;
// npos when all are.
size_t FirstInvalidUtf8(std::string_view s) {
    for (size_t at = 0; at < s.size();) {
        const unsigned char lead = static_cast<unsigned char>(s[at]);
        if (lead < 0x80) {
            if (!IsChar(lead)) return at;
            ++at;
            continue;
        }
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || at + length > s.size()) return at;
        for (size_t i = 1; i < length; ++i)
            if ((static_cast<unsigned char>(s[at + i]) & 0xC0) != 0x80) return at;
        size_t decoded_length = 0;
        const char32_t c = DecodeAt(s, at, decoded_length);
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (c < smallest || !IsChar(c)) return at;
        at += length;
    }
    return std::string_view::npos;
}

bool Utf16ToUtf8(std::string_view bytes, bool big_endian, std::string& out) {
    if (bytes.size() % 2) return false;
    const auto unit = [&](size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return big_endian ? (a << 8 | b) : (b << 8 | a);
    };
    for (size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 2 >= bytes.size()) return false;
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
        AppendUtf8(c, out);
    }
    return true;
}

std::string LowerAscii(std::string_view s) {
    std::string lower(s);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool NamesUtf8(std::string_view name) { return name == "utf-8" || name == "utf8"; }
bool NamesUtf16(std::string_view name) { return name == "utf-16" || name == "ucs-2" || name == "unicode"; }
bool NamesLatin1(std::string_view name) {
    return name == "iso-8859-1" || name == "latin1" || name == "iso_8859-1" || name == "l1";
}

// The encoding an ASCII-compatible document declares ("" for none), read
// off its XML declaration before anything is decoded.
std::string DeclaredEncoding(std::string_view bytes) {
    if (bytes.substr(0, 6) != "<?xml " && bytes.substr(0, 6) != "<?xml\t" && bytes.substr(0, 6) != "<?xml\r" &&
        bytes.substr(0, 6) != "<?xml\n")
        return {};
    const size_t end = bytes.find("?>");
    const std::string_view declaration = bytes.substr(0, end);
    const size_t key = declaration.find("encoding");
    if (key == std::string_view::npos) return {};
    size_t at = key + 8;
    while (at < declaration.size() && (declaration[at] == ' ' || declaration[at] == '=' || declaration[at] == '\t' ||
                                       declaration[at] == '\r' || declaration[at] == '\n'))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
    const size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos) return {};
    return LowerAscii(declaration.substr(at + 1, close - at - 1));
}

}  // namespace

class Parser {
public:
    Parser(Document& document, std::string& error) : document_(document), s_(document.source_), error_(error) {}

    bool Run() {
        if (Starts("<?xml") && pos_ + 5 < s_.size() && IsSpace(static_cast<unsigned char>(s_[pos_ + 5])) &&
            !XmlDeclaration())
            return false;
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size()) return Fail("the document has no element");
            if (Starts("<!--")) {
                if (!Comment()) return false;
            } else if (Starts("<?")) {
                if (!ProcessingInstruction()) return false;
            } else if (Starts("<!DOCTYPE")) {
                // The updater's parser refuses them, entities and all.
                return Fail("a document type declaration");
            } else if (Starts("<")) {
                break;
            } else {
                return Fail("text before the document element");
            }
        }
        if (!Content(Document::kNone)) return false;
        for (;;) {
            SkipSpace();
            if (pos_ >= s_.size()) return true;
            if (Starts("<!--")) {
                if (!Comment()) return false;
            } else if (Starts("<?")) {
                if (!ProcessingInstruction()) return false;
            } else {
                return Fail("more after the document element");
            }
        }
    }

private:
    struct OpenElement {
        std::int32_t node;
        std::wstring name;
        size_t namespaces_before;  // prefixes declared by the elements above
    };

    bool Fail(const char* why) {
        size_t line = 1, column = 1;
        for (size_t i = 0; i < pos_ && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        error_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + why;
        return false;
    }

    bool Starts(std::string_view text) const { return s_.substr(pos_, text.size()) == text; }
    bool Eat(std::string_view text) {
        if (!Starts(text)) return false;
        pos_ += text.size();
        return true;
    }
    char32_t Peek() const {
        if (pos_ >= s_.size()) return 0;
        size_t length = 0;
        return DecodeAt(s_, pos_, length);
    }
    char32_t Next() {
        size_t length = 0;
        const char32_t c = DecodeAt(s_, pos_, length);
        pos_ += length;
        return c;
    }
    bool SkipSpace() {
        const size_t start = pos_;
        while (pos_ < s_.size() && IsSpace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        return pos_ > start;
    }
    // A line end as the application sees it: CR LF and CR alone become LF.
    char32_t NextNormalised() {
        const char32_t c = Next();
        if (c == '\r') {
            if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
            return '\n';
        }
        return c;
    }

    bool Name(std::wstring& name) {
        name.clear();
        if (pos_ >= s_.size() || !IsNameStart(Peek())) return Fail("a name was expected");
        while (pos_ < s_.size() && IsNameChar(Peek())) AppendCodePoint(Next(), name);
        return true;
    }

    bool XmlDeclaration() {
        pos_ += 5;
        std::wstring key;
        bool version_seen = false;
        for (;;) {
            const bool spaced = SkipSpace();
            if (Eat("?>")) return version_seen || Fail("the XML declaration has no version");
            if (!spaced) return Fail("the XML declaration is not well-formed");
            if (!Name(key)) return false;
            SkipSpace();
            if (!Eat("=")) return Fail("'=' was expected in the XML declaration");
            SkipSpace();
            std::wstring value;
            if (!QuotedLiteral(value)) return false;
            if (key == L"version") {
                if (version_seen || value.size() < 3 || value.compare(0, 2, L"1.") != 0)
                    return Fail("the XML declaration gives a version other than 1.x");
                version_seen = true;
            } else if (key == L"standalone") {
                if (!version_seen || (value != L"yes" && value != L"no"))
                    return Fail("the XML declaration's standalone is not yes or no");
            } else if (key != L"encoding" || !version_seen) {
                return Fail("the XML declaration is not well-formed");
            }
        }
    }

    bool QuotedLiteral(std::wstring& value) {
        value.clear();
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return Fail("a quoted value was expected");
        const char quote = s_[pos_++];
        while (pos_ < s_.size() && s_[pos_] != quote) AppendCodePoint(NextNormalised(), value);
        if (pos_ >= s_.size()) return Fail("a quoted value does not end");
        ++pos_;
        return true;
    }

    bool Comment() {
        pos_ += 4;
        const size_t end = s_.find("--", pos_);
        if (end == std::string::npos) return Fail("a comment does not end");
        pos_ = end;
        if (!Eat("-->")) return Fail("'--' inside a comment");
        return true;
    }

    bool ProcessingInstruction() {
        pos_ += 2;
        std::wstring target;
        if (!Name(target)) return false;
        if (target.size() == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l')
            return Fail("an XML declaration that is not at the start");
        if (Eat("?>")) return true;
        if (!SkipSpace()) return Fail("a processing instruction is not well-formed");
        const size_t end = s_.find("?>", pos_);
        if (end == std::string::npos) return Fail("a processing instruction does not end");
        pos_ = end + 2;
        return true;
    }

    // A reference after '&' into out: character references and the five
    // predefined entities.
    bool Reference(std::wstring& out) {
        if (Eat("#")) {
            char32_t c = 0;
            const bool hex = Eat("x");
            size_t digits = 0;
            while (pos_ < s_.size() && s_[pos_] != ';') {
                const char d = s_[pos_];
                int value = -1;
                if (d >= '0' && d <= '9') value = d - '0';
                if (hex && d >= 'a' && d <= 'f') value = d - 'a' + 10;
                if (hex && d >= 'A' && d <= 'F') value = d - 'A' + 10;
                if (value < 0) return Fail("a character reference is not well-formed");
                c = c * (hex ? 16 : 10) + static_cast<char32_t>(value);
                if (c > 0x10FFFF) return Fail("a character reference to no character");
                ++pos_;
                ++digits;
            }
            if (digits == 0 || !Eat(";")) return Fail("a character reference is not well-formed");
            if (!IsChar(c)) return Fail("a character reference to no character");
            AppendCodePoint(c, out);
            return true;
        }
        std::wstring name;
        if (!Name(name)) return false;
        if (!Eat(";")) return Fail("an entity reference is not well-formed");
        static const std::map<std::wstring, wchar_t> kPredefined = {
            {L"lt", L'<'}, {L"gt", L'>'}, {L"amp", L'&'}, {L"apos", L'\''}, {L"quot", L'"'}};
        const auto predefined = kPredefined.find(name);
        if (predefined == kPredefined.end()) return Fail("a reference to an undeclared entity");
        out.push_back(predefined->second);
        return true;
    }

    std::int32_t AddNode(Document::Kind kind, std::int32_t parent) {
        auto& nodes = document_.nodes_;
        const auto index = static_cast<std::int32_t>(nodes.size());
        nodes.emplace_back();
        nodes.back().kind = kind;
        if (parent != Document::kNone) {
            Document::Node& above = nodes[static_cast<size_t>(parent)];
            if (above.last_child == Document::kNone)
                above.first_child = index;
            else
                nodes[static_cast<size_t>(above.last_child)].next_sibling = index;
            above.last_child = index;
        }
        return index;
    }

    // Text goes into the last child when that is a text already, as the
    // system's DOM joins neighbouring character data and references.
    std::wstring& TextOf(std::int32_t parent) {
        auto& nodes = document_.nodes_;
        const std::int32_t last = nodes[static_cast<size_t>(parent)].last_child;
        if (last != Document::kNone && nodes[static_cast<size_t>(last)].kind == Document::Kind::text)
            return nodes[static_cast<size_t>(last)].value;
        return nodes[static_cast<size_t>(AddNode(Document::Kind::text, parent))].value;
    }

    // The namespace of a prefixed name ("" without a prefix); none when its
    // prefix is not declared. The innermost declaration binds.
    std::optional<std::wstring_view> NamespaceOf(std::wstring_view qualified) const {
        const size_t colon = qualified.find(L':');
        if (colon == std::wstring_view::npos) return std::wstring_view();
        const std::wstring_view prefix = qualified.substr(0, colon);
        if (prefix == L"xml") return std::wstring_view(L"http://www.w3.org/XML/1998/namespace");
        if (prefix == L"xmlns") return std::wstring_view(L"http://www.w3.org/2000/xmlns/");
        for (auto declared = prefixes_.rbegin(); declared != prefixes_.rend(); ++declared)
            if (declared->first == prefix) return std::wstring_view(declared->second);
        return std::nullopt;
    }

    // Every prefix of the tag declared, and no two attributes the same name
    // in the same namespace (a:x and b:x with a and b bound alike).
    bool NamespacesWellFormed(std::wstring_view element,
                              const std::vector<std::pair<std::wstring, std::wstring>>& attributes) {
        if (!NamespaceOf(element)) return Fail("a reference to an undeclared namespace prefix");
        for (size_t i = 0; i < attributes.size(); ++i) {
            const std::wstring_view name = attributes[i].first;
            const auto space = NamespaceOf(name);
            if (!space) return Fail("a reference to an undeclared namespace prefix");
            if (space->empty()) continue;
            const std::wstring_view local = name.substr(name.find(L':') + 1);
            for (size_t j = 0; j < i; ++j) {
                const std::wstring_view other = attributes[j].first;
                const size_t colon = other.find(L':');
                if (colon != std::wstring_view::npos && other.substr(colon + 1) == local && NamespaceOf(other) == space)
                    return Fail("an attribute given twice in one namespace");
            }
        }
        return true;
    }

    static bool QualifiedNameWellFormed(std::wstring_view name) {
        const size_t colon = name.find(L':');
        if (colon == std::wstring_view::npos) return true;
        return colon > 0 && colon + 1 < name.size() && name.find(L':', colon + 1) == std::wstring_view::npos;
    }

    bool StartTag(std::int32_t parent, std::vector<OpenElement>& open) {
        const size_t begin = pos_++;
        std::wstring name;
        if (!Name(name)) return false;
        if (!QualifiedNameWellFormed(name)) return Fail("a name with a misplaced ':'");
        const std::int32_t element = AddNode(Document::Kind::element, parent);
        const size_t namespaces_before = prefixes_.size();
        auto& attributes = document_.nodes_[static_cast<size_t>(element)].attributes;
        for (;;) {
            const bool spaced = SkipSpace();
            if (Starts(">") || Starts("/>")) break;
            if (!spaced) return Fail("white space was expected between attributes");
            std::wstring key, value;
            if (!Name(key)) return false;
            if (!QualifiedNameWellFormed(key)) return Fail("a name with a misplaced ':'");
            SkipSpace();
            if (!Eat("=")) return Fail("'=' was expected after an attribute's name");
            SkipSpace();
            if (!AttributeValue(value)) return false;
            for (const auto& earlier : attributes)
                if (earlier.first == key) return Fail("an attribute given twice");
            if (key.compare(0, 6, L"xmlns:") == 0) {
                if (value.empty()) return Fail("a namespace prefix bound to nothing");
                prefixes_.emplace_back(key.substr(6), value);
            }
            attributes.emplace_back(std::move(key), std::move(value));
        }
        // Prefixes may be declared after their first use in the same tag.
        if (!NamespacesWellFormed(name, attributes)) return false;
        document_.nodes_[static_cast<size_t>(element)].value = name;
        document_.nodes_[static_cast<size_t>(element)].source_begin = begin;
        if (parent == Document::kNone) document_.root_ = element;
        if (Eat("/>")) {
            document_.nodes_[static_cast<size_t>(element)].source_end = pos_;
            prefixes_.resize(namespaces_before);
            return true;
        }
        ++pos_;  // '>'
        open.push_back({element, std::move(name), namespaces_before});
        return true;
    }

    bool AttributeValue(std::wstring& value) {
        if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\''))
            return Fail("an attribute's value is not quoted");
        const char quote = s_[pos_++];
        for (;;) {
            if (pos_ >= s_.size()) return Fail("an attribute's value does not end");
            const char c = s_[pos_];
            if (c == quote) break;
            if (c == '<') return Fail("'<' in an attribute's value");
            if (c == '&') {
                ++pos_;
                if (!Reference(value)) return false;
                continue;
            }
            const char32_t normalised = NextNormalised();
            AppendCodePoint(IsSpace(normalised) ? U' ' : normalised, value);
        }
        ++pos_;
        return true;
    }

    // The document element and everything in it, without recursion: open
    // elements wait on a stack of our own.
    bool Content(std::int32_t parent) {
        std::vector<OpenElement> open;
        if (!StartTag(parent, open)) return false;
        while (!open.empty()) {
            const std::int32_t current = open.back().node;
            if (pos_ >= s_.size()) return Fail("an element does not end");
            if (s_[pos_] == '<') {
                if (Starts("</")) {
                    pos_ += 2;
                    std::wstring name;
                    if (!Name(name)) return false;
                    SkipSpace();
                    if (name != open.back().name) return Fail("an end tag that does not match its start tag");
                    if (!Eat(">")) return Fail("an end tag is not well-formed");
                    document_.nodes_[static_cast<size_t>(current)].source_end = pos_;
                    prefixes_.resize(open.back().namespaces_before);
                    open.pop_back();
                } else if (Starts("<!--")) {
                    if (!Comment()) return false;
                } else if (Starts("<![CDATA[")) {
                    pos_ += 9;
                    const size_t end = s_.find("]]>", pos_);
                    if (end == std::string::npos) return Fail("a CDATA section does not end");
                    const std::int32_t cdata = AddNode(Document::Kind::cdata, current);
                    std::wstring& text = document_.nodes_[static_cast<size_t>(cdata)].value;
                    while (pos_ < end) AppendCodePoint(NextNormalised(), text);
                    pos_ = end + 3;
                } else if (Starts("<?")) {
                    if (!ProcessingInstruction()) return false;
                } else if (Starts("<!")) {
                    return Fail("a declaration inside an element");
                } else if (!StartTag(current, open)) {
                    return false;
                }
            } else if (s_[pos_] == '&') {
                ++pos_;
                if (!Reference(TextOf(current))) return false;
            } else {
                if (Starts("]]>")) return Fail("']]>' in text");
                std::wstring& text = TextOf(current);
                while (pos_ < s_.size() && s_[pos_] != '<' && s_[pos_] != '&') {
                    if (Starts("]]>")) break;
                    AppendCodePoint(NextNormalised(), text);
                }
            }
        }
        return true;
    }

    Document& document_;
    std::string_view s_;  // the document, or an entity's text while it is read
    size_t pos_ = 0;
    std::string& error_;
    // Prefixes and their namespaces, as the open elements declare them,
    // innermost last.
    std::vector<std::pair<std::wstring, std::wstring>> prefixes_;
};

bool Document::Parse(std::string_view bytes, std::string& error, const EncodingConverter& convert) {
    *this = Document();
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    bool utf16 = false, big_endian = false;
    size_t mark = 0;
    if (starts("\xEF\xBB\xBF")) {
        utf8_mark_ = true;
        mark = 3;
    } else if (starts("\xFF\xFE") || starts(std::string_view("<\0?\0", 4))) {
        utf16 = true;
        mark = starts("\xFF\xFE") ? 2 : 0;
    } else if (starts("\xFE\xFF") || starts(std::string_view("\0<\0?", 4))) {
        utf16 = big_endian = true;
        mark = starts("\xFE\xFF") ? 2 : 0;
    }
    const std::string_view body = bytes.substr(mark);
    if (utf16) {
        if (!Utf16ToUtf8(body, big_endian, source_)) return error = "the file is not UTF-16 text", false;
        const std::string declared = DeclaredEncoding(source_);
        if (!declared.empty() && !NamesUtf16(declared))
            return error = "the file is UTF-16 text but declares " + declared, false;
    } else {
        const std::string declared = DeclaredEncoding(body);
        if (declared.empty() || NamesUtf8(declared)) {
            source_.assign(body);
            source_is_file_ = true;
        } else if (utf8_mark_) {
            return error = "the file is UTF-8 text but declares " + declared, false;
        } else if (declared == "us-ascii" || declared == "ascii") {
            for (const char c : body)
                if (static_cast<unsigned char>(c) >= 0x80) return error = "the file is not US-ASCII text", false;
            source_.assign(body);
        } else if (NamesLatin1(declared)) {
            for (const char c : body) AppendUtf8(static_cast<unsigned char>(c), source_);
        } else if (!convert || !convert(declared, body, source_)) {
            return error = "the encoding " + declared + " cannot be read", false;
        }
    }
    if (const size_t bad = FirstInvalidUtf8(source_); bad != std::string::npos) {
        error = "a byte that is no character of the document's encoding at offset " + std::to_string(bad);
        return false;
    }
    Parser parser(*this, error);
    if (parser.Run()) return true;
    *this = Document();
    return false;
}

std::wstring Document::Attribute(std::int32_t element, std::wstring_view name) const {
    for (const auto& attribute : At(element).attributes)
        if (attribute.first == name) return attribute.second;
    return {};
}

std::wstring Document::Text(std::int32_t node) const {
    const auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; };
    std::wstring text;
    bool space_pending = false;
    // Character data keeps its white space even at the ends.
    size_t first_kept = std::wstring::npos, last_kept = 0;
    const auto add = [&](const Node& piece) {
        if (piece.kind == Kind::element) return;
        bool blank = true;
        for (const wchar_t c : piece.value) blank = blank && space(c);
        if (piece.kind == Kind::text && blank) {
            space_pending = true;
            return;
        }
        if (space_pending && !text.empty()) text.push_back(L' ');
        space_pending = false;
        if (piece.kind == Kind::cdata) {
            first_kept = std::min(first_kept, text.size());
            last_kept = text.size() + piece.value.size();
        }
        text += piece.value;
    };
    // Pre-order over the subtree, with a stack of our own.
    std::vector<std::int32_t> pending{node};
    while (!pending.empty()) {
        const std::int32_t current = pending.back();
        pending.pop_back();
        add(At(current));
        const size_t first_of_children = pending.size();
        for (std::int32_t child = FirstChild(current); child != kNone; child = NextSibling(child))
            pending.push_back(child);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(first_of_children), pending.end());
    }
    size_t begin = 0, end = text.size();
    while (begin < end && begin < first_kept && space(text[begin])) ++begin;
    while (end > begin && end > last_kept && space(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::optional<std::string> Document::FileWithout(std::int32_t node) const {
    if (!source_is_file_) return std::nullopt;
    const Node& removed = At(node);
    std::string file = utf8_mark_ ? "\xEF\xBB\xBF" : "";
    file.append(source_, 0, removed.source_begin);
    file.append(source_, removed.source_end, std::string::npos);
    return file;
}

}  // namespace nm::xml
