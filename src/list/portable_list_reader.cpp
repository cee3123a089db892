// portable: builds without Win32
#include "list/portable_list_reader.h"

#include <utility>

#include "list/list_document_reading.h"

namespace nm::portable_list {

namespace {
// The portable document as the list reading sees it.
struct PortableDom {
    struct Node {
        std::int32_t index = xml::Document::kNone;
    };
    const xml::Document& document;

    Node FirstChild(const Node& node) const { return {document.FirstChild(node.index)}; }
    Node NextSibling(const Node& node) const { return {document.NextSibling(node.index)}; }
    bool Valid(const Node& node) const { return node.index != xml::Document::kNone; }
    bool IsElement(const Node& node) const { return document.IsElement(node.index); }
    std::wstring Name(const Node& node) const { return document.Name(node.index); }
    std::wstring Text(const Node& node) const { return document.Text(node.index); }
    std::wstring Attribute(const Node& node, std::wstring_view name) const {
        return document.Attribute(node.index, name);
    }
    template <class Visit>
    bool ForEachAttribute(const Node& node, Visit&& visit) const {
        for (const auto& [name, value] : document.At(node.index).attributes)
            visit(std::wstring_view(name), [&value = value] { return value; });
        return true;
    }
    // Pre-order over the subtree; the document links children in order, so
    // the walk needs only the way back up.
    template <class Read>
    bool ForEachElement(const Node& node, Read&& read) const {
        std::vector<std::int32_t> ancestors;
        std::int32_t current = node.index;
        for (;;) {
            std::int32_t child = xml::Document::kNone;
            if (document.IsElement(current)) {
                if (!read(Node{current})) return false;
                child = document.FirstChild(current);
            }
            if (child != xml::Document::kNone) {
                ancestors.push_back(current);
                current = child;
                continue;
            }
            for (;;) {
                if (ancestors.empty()) return true;
                if (const std::int32_t sibling = document.NextSibling(current); sibling != xml::Document::kNone) {
                    current = sibling;
                    break;
                }
                current = ancestors.back();
                ancestors.pop_back();
            }
        }
    }
};

void Append(std::vector<updatefileinfo>& entries, updatefileinfo&& entry) { entries.push_back(std::move(entry)); }

// The document in bytes, read by read_root(dom, root) after its list
// settings went into main_list and serial.
template <class ReadRoot>
DocumentRead ReadDocument(std::string_view bytes, DownLoadList* main_list, std::uint64_t* serial,
                          const xml::EncodingConverter& convert, ReadRoot&& read_root) {
    DocumentRead result;
    xml::Document document;
    if (!document.Parse(bytes, result.not_well_formed, convert)) return result;
    const PortableDom dom{document};
    const PortableDom::Node root = list_document::FindRoot(dom, PortableDom::Node{document.Root()});
    if (!dom.Valid(root)) return result;
    const auto settings = list_document::ReadListSettings(dom, root, main_list, serial);
    read_root(dom, root);
    result.read = true;
    if (dom.Valid(settings.guid)) result.without_guid = document.FileWithout(settings.guid.index);
    return result;
}
}  // namespace

DocumentRead ReadUpdateList(std::string_view bytes, std::vector<updatefileinfo>& entries, bool main_list,
                            DownLoadList& list, const xml::EncodingConverter& convert) {
    if (main_list) list_document::ClearMainList(list);
    return ReadDocument(bytes, main_list ? &list : nullptr, nullptr, convert,
                        [&](const PortableDom& dom, const PortableDom::Node& root) {
                            list_document::SeenPaths seen;
                            list_document::ReadNodeInto(dom, root, entries, seen, main_list ? &list : nullptr, Append);
                        });
}

DocumentRead ReadListVersions(std::string_view bytes, ListVersions& versions, std::uint64_t* serial,
                              const xml::EncodingConverter& convert) {
    return ReadDocument(bytes, nullptr, serial, convert, [&](const PortableDom& dom, const PortableDom::Node& root) {
        list_document::SeenPaths seen;
        list_document::ReadEntries(dom, root, list_document::VersionFields(), seen,
                                   [&versions](updatefileinfo&& entry, const list_entry::ExpectedBytes&,
                                               const PortableDom::Node&) { AddListVersion(versions, entry); });
    });
}

}  // namespace nm::portable_list
