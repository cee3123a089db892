#include "list/update_list_reader.h"

#include <ole2.h>

#include <cstdint>
#include <utility>

#include "base/com_text.h"
#include "base/unique_handle.h"
#include "base/xml_dom.h"
#include "list/list_document_reading.h"
#include "services/process_lock.h"
#include "services/process_services.h"

namespace nm {

using namespace xml;

namespace {
// The system's DOM as the list reading sees it.
struct SystemDom {
    using Node = com_ptr<IXMLDOMNode>;
    Node FirstChild(const Node& node) const { return xml::FirstChild(node.get()); }
    Node NextSibling(const Node& node) const { return xml::NextSibling(node.get()); }
    bool Valid(const Node& node) const { return static_cast<bool>(node); }
    bool IsElement(const Node& node) const { return xml::IsElement(node.get()); }
    std::wstring Name(const Node& node) const { return NodeName(node.get()); }
    std::wstring Text(const Node& node) const { return NodeText(node.get()); }
    std::wstring Attribute(const Node& node, std::wstring_view name) const { return xml::Attribute(node.get(), name); }
    template <class Visit>
    bool ForEachAttribute(const Node& node, Visit&& visit) const {
        return xml::ForEachAttribute(node.get(), [&](IXMLDOMNode* attribute, std::wstring_view name) {
            visit(name, [attribute] { return AttributeValue(attribute); });
        });
    }
    template <class Read>
    bool ForEachElement(const Node& node, Read&& read) const {
        return xml::ForEachElement(node.get(), [&](IXMLDOMNode* element) { return read(Retained(element)); });
    }
};

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AppendLocked(std::vector<updatefileinfo>& entries, updatefileinfo&& entry) {
    ScopedLock lock(ProcessLock::EntryArray);
    entries.push_back(std::move(entry));
}

}  // namespace

void ShowFormatError(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void AddListEntry(updatefileinfo entry, std::vector<updatefileinfo>& entries) {
    list_entry::Normalise(entry);
    AppendLocked(entries, std::move(entry));
}

bool ReadListNode(IXMLDOMNode* node, std::vector<updatefileinfo>& entries, SeenPaths& seen, bool /*main_list*/) {
    return list_document::ReadNodeInto(SystemDom(), Retained(node), entries, seen, nullptr, AppendLocked);
}

namespace {
// The list file at path, read by read_root(root element). The main list (a
// list object given) also sets the list's guid, URL template and serial. Any
// list gives its serial when asked. Whatever reads the entries, the file
// loses its guid and a failure shows its message.
template <typename ReadRoot>
bool ReadListFile(const std::wstring& path, DownLoadList* main_list, std::uint64_t* serial,
                  const ListErrorReporter& report_error, ReadRoot&& read_root) {
    auto fail_with_message = [&] {
        // The comparison copy is often simply not there yet: no message then.
        if (!main_list && !FileExists(path)) return false;
        const std::wstring where = main_list ? Services().settings.ListAddress() : path;
        report_error(TranslateMain(L"The xml file format error!") + L"\n" + where);
        return false;
    };
    // A missing file is an empty list, not a broken one.
    if (!FileExists(path)) return false;

    LoadedDocument loaded = LoadDocument(path);
    if (loaded.com_failed) return fail_with_message();
    if (!loaded.document) return false;  // not well-formed
    const SystemDom dom;
    com_ptr<IXMLDOMNode> root = list_document::FindRoot(dom, xml::FirstChild(loaded.document.get()));
    if (!root) return false;
    const auto settings = list_document::ReadListSettings(dom, root, main_list, serial);

    if (!read_root(dom, root)) return fail_with_message();

    // The guid is for this run only; the copy on disk loses it.
    if (settings.guid) {
        com_ptr<IXMLDOMNode> removed;
        if (SUCCEEDED(root->removeChild(settings.guid.get(), removed.put())))
            loaded.document->save(unique_variant(path).get());
    }
    return true;
}
}  // namespace

bool ReadUpdateList(const std::wstring& path, std::vector<updatefileinfo>& entries, bool main_list, DownLoadList& list,
                    const ListErrorReporter& report_error) {
    if (main_list) list_document::ClearMainList(list);
    return ReadListFile(path, main_list ? &list : nullptr, nullptr, report_error,
                        [&](const SystemDom& dom, const SystemDom::Node& root) {
                            SeenPaths seen;
                            return list_document::ReadNodeInto(dom, root, entries, seen, main_list ? &list : nullptr,
                                                               AppendLocked);
                        });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, const ListErrorReporter& report_error,
                      std::uint64_t* serial) {
    return ReadListFile(path, nullptr, serial, report_error, [&](const SystemDom& dom, const SystemDom::Node& root) {
        SeenPaths seen;
        return list_document::ReadEntries(dom, root, list_document::VersionFields(), seen,
                                          [&versions](updatefileinfo&& entry, const list_entry::ExpectedBytes&,
                                                      const SystemDom::Node&) { AddListVersion(versions, entry); });
    });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, std::uint64_t* serial) {
    return ReadListVersions(path, versions, ShowFormatError, serial);
}

}  // namespace nm
