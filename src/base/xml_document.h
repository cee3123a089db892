// portable: builds without Win32
#pragma once
// XML documents read by a reader of our own, for the places where the
// system's XML DOM is not there (the vendor tool on Linux). It takes
// well-formed XML 1.0 with namespaces, without a document type declaration
// (which the updater's parser refuses), and keeps what a list reader looks
// at: elements, their attributes and their text. Nodes live in one array and link by index, so
// neither reading nor freeing a deep document recurses.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nm::xml {

// Converts a document declared in an encoding other than UTF-8, UTF-16,
// US-ASCII and ISO-8859-1 to UTF-8; false when the encoding is unknown or
// the bytes are not in it.
using EncodingConverter = std::function<bool(std::string_view encoding, std::string_view bytes, std::string& utf8)>;

class Document {
public:
    static constexpr std::int32_t kNone = -1;

    enum class Kind : std::uint8_t { element, text, cdata };
    struct Node {
        Kind kind = Kind::element;
        std::wstring value;  // an element's qualified name, a text's characters
        std::vector<std::pair<std::wstring, std::wstring>> attributes;  // in document order
        std::int32_t first_child = kNone, last_child = kNone, next_sibling = kNone;
        // Where an element's markup begins and ends in the UTF-8 text read.
        size_t source_begin = 0, source_end = 0;
    };

    // Reads the bytes of a file; false with `error` saying where and why
    // when they are not a well-formed document.
    bool Parse(std::string_view bytes, std::string& error, const EncodingConverter& convert = nullptr);

    // The document element; kNone before a successful Parse.
    std::int32_t Root() const { return root_; }
    const Node& At(std::int32_t node) const { return nodes_[static_cast<size_t>(node)]; }
    std::int32_t FirstChild(std::int32_t node) const { return At(node).first_child; }
    std::int32_t NextSibling(std::int32_t node) const { return At(node).next_sibling; }
    bool IsElement(std::int32_t node) const { return At(node).kind == Kind::element; }
    const std::wstring& Name(std::int32_t node) const { return At(node).value; }
    // The value of the element's attribute of that name; "" when absent.
    std::wstring Attribute(std::int32_t element, std::wstring_view name) const;
    // The text of the node and everything below it as the system's DOM gives
    // it when it does not preserve white space: texts and character data in
    // document order, where a text of white space alone only puts one space
    // between two others, and the whole without leading or trailing white
    // space.
    std::wstring Text(std::int32_t node) const;

    // The file's bytes without the markup of `node`, when the file was UTF-8
    // (so that the rest stays byte for byte); none for other encodings.
    std::optional<std::string> FileWithout(std::int32_t node) const;

private:
    friend class Parser;
    std::vector<Node> nodes_;
    std::int32_t root_ = kNone;
    std::string source_;  // the document as UTF-8, without a byte-order mark
    bool source_is_file_ = false, utf8_mark_ = false;
};

}  // namespace nm::xml
