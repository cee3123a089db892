#include "list/update_list_reader.h"

#include <ole2.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "base/com_text.h"
#include "base/text.h"
#include "base/unique_handle.h"
#include "base/xml_dom.h"
#include "list/list_entry_rules.h"
#include "list/release_control.h"
#include "services/process_lock.h"
#include "services/process_services.h"

namespace nm {

using namespace xml;

namespace {
bool ReadFileElement(IXMLDOMNode* element, list_entry::FileAttributes attributes, updatefileinfo& entry,
                     list_entry::ExpectedBytes* expected = nullptr) {
    const bool ok = ForEachAttribute(element, [&](IXMLDOMNode* attribute, std::wstring_view name) {
        // Only values that can still win are read.
        const list_entry::AttributeSlot slot = list_entry::FileAttributeSlot(name);
        if (attributes.Wants(slot)) attributes.Offer(slot, AttributeValue(attribute));
    });
    if (expected) *expected = attributes.Expected();
    entry = std::move(attributes).Build();
    return ok;
}

bool ReadRunElement(IXMLDOMNode* element, updatefileinfo& entry) {
    std::wstring program, parameters, wait;
    const bool ok = ForEachAttribute(element, [&](IXMLDOMNode* attribute, std::wstring_view name) {
        if (name == L"path")
            program = AttributeValue(attribute);
        else if (name == L"param")
            parameters = AttributeValue(attribute);
        else if (name == L"wait")
            wait = AttributeValue(attribute);
    });
    entry = list_entry::MakeRunEntry(program, parameters, wait);
    return ok;
}

// Reads the entries of node's subtree: keep(entry, expected) gets each one
// normalised, in document order, file entries past the duplicate rule, with
// what a file element says of its bytes (nothing for others) and the element. Of a file
// element only the fields `wanted` collects are read. False on a COM failure.
template <typename Keep>
bool ReadEntries(IXMLDOMNode* node, const list_entry::FileAttributes& wanted, SeenPaths& seen, Keep&& keep) {
    std::wstring key;                    // reused for every file element
    list_entry::ExpectedBytes expected;  // the same
    return ForEachElement(node, [&](IXMLDOMNode* element) {
        unique_bstr name_text;
        if (FAILED(element->get_nodeName(name_text.put()))) return false;
        const std::wstring_view name = name_text.view();
        updatefileinfo entry;
        expected = {};
        if (name == L"description") {
            entry = list_entry::MakeDescriptionEntry(NodeText(element));
        } else if (name == L"run") {
            if (!ReadRunElement(element, entry)) return false;
        } else if (name == L"file") {
            if (!ReadFileElement(element, wanted, entry, &expected)) return false;
            // The key is taken before normalisation.
            list_entry::DuplicateKey(entry, key);
            if (!seen.Insert(key)) return true;
        } else {
            return true;
        }
        list_entry::Normalise(entry);
        keep(std::move(entry), expected, element);
        return true;
    });
}

struct RootChildren {
    com_ptr<IXMLDOMNode> guid, fileurl, serial, paused, expires, rollout;
};

// The first direct children named guid, fileurl, serial and the release
// controls paused, expires and rollout.
RootChildren FindListSettings(IXMLDOMNode* root) {
    RootChildren found;
    for (com_ptr<IXMLDOMNode> child = FirstChild(root); child;) {
        com_ptr<IXMLDOMNode> next = NextSibling(child.get());
        if (IsElement(child.get())) {
            const std::wstring name = NodeName(child.get());
            if (name == L"guid" && !found.guid)
                found.guid = std::move(child);
            else if (name == L"fileurl" && !found.fileurl)
                found.fileurl = std::move(child);
            else if (name == L"serial" && !found.serial)
                found.serial = std::move(child);
            else if (name == L"paused" && !found.paused)
                found.paused = std::move(child);
            else if (name == L"expires" && !found.expires)
                found.expires = std::move(child);
            else if (name == L"rollout" && !found.rollout)
                found.rollout = std::move(child);
        }
        child = std::move(next);
    }
    return found;
}

ReleaseControl ReadReleaseControl(const RootChildren& children) {
    ReleaseControl control;
    control.paused = static_cast<bool>(children.paused);
    if (children.expires) control.expires = text::Trim(NodeText(children.expires.get()));
    if (children.rollout) {
        // A share that cannot be read holds everybody back rather than nobody.
        control.rollout_percent =
            release_control::ParsePercent(Attribute(children.rollout.get(), L"percent")).value_or(0);
        control.rollout_user_checks = Attribute(children.rollout.get(), L"user") == L"all";
    }
    return control;
}

// The first "update" child of the document, else the first "updates", else
// the first "novamend".
com_ptr<IXMLDOMNode> FindRoot(IXMLDOMDocument* document) {
    static constexpr std::wstring_view kRootNames[] = {L"update", L"updates", L"novamend"};
    com_ptr<IXMLDOMNode> roots[std::size(kRootNames)];
    for (com_ptr<IXMLDOMNode> child = FirstChild(document); child;) {
        com_ptr<IXMLDOMNode> next = NextSibling(child.get());
        if (IsElement(child.get())) {
            const std::wstring name = NodeName(child.get());
            for (size_t i = 0; i < std::size(kRootNames); ++i)
                if (name == kRootNames[i] && !roots[i]) roots[i] = std::move(child);
        }
        child = std::move(next);
    }
    for (auto& root : roots)
        if (root) return std::move(root);
    return {};
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void ShowFormatError(const std::wstring& text) {
    ::MessageBoxW(nullptr, text.c_str(), nullptr, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void AddListEntry(updatefileinfo entry, std::vector<updatefileinfo>& entries) {
    list_entry::Normalise(entry);
    ScopedLock lock(ProcessLock::EntryArray);
    entries.push_back(std::move(entry));
}

namespace {
// The <patch from path size sha256/> children of a file element; one that
// lacks any of them, or whose size is not a number, is left out.
std::vector<DownLoadList::FilePatch> ReadPatches(IXMLDOMNode* file) {
    std::vector<DownLoadList::FilePatch> patches;
    for (com_ptr<IXMLDOMNode> child = FirstChild(file); child; child = NextSibling(child.get())) {
        if (!IsElement(child.get()) || NodeName(child.get()) != L"patch") continue;
        DownLoadList::FilePatch patch;
        std::wstring size;
        ForEachAttribute(child.get(), [&](IXMLDOMNode* attribute, std::wstring_view name) {
            if (name == L"from")
                patch.from = text::Lower(AttributeValue(attribute));
            else if (name == L"path")
                patch.path = AttributeValue(attribute);
            else if (name == L"sha256")
                patch.sha256 = text::Lower(AttributeValue(attribute));
            else if (name == L"size")
                size = AttributeValue(attribute);
        });
        const std::optional<std::int64_t> bytes = list_entry::ByteCount(size);
        if (patch.from.size() != 64 || patch.path.empty() || patch.sha256.size() != 64 || !bytes) continue;
        patch.size = *bytes;
        patches.push_back(std::move(patch));
    }
    return patches;
}

// The entries of node's subtree appended to entries; with a main list
// given, each file's sha256 text and size go into it under its path.
bool ReadNodeInto(IXMLDOMNode* node, std::vector<updatefileinfo>& entries, SeenPaths& seen, DownLoadList* main_list) {
    if (!node) return false;
    return ReadEntries(
        node, list_entry::FileAttributes(), seen,
        [&entries, main_list](updatefileinfo&& entry, const list_entry::ExpectedBytes& expected, IXMLDOMNode* element) {
            if (main_list && IsFileEntry(entry)) {
                std::vector<DownLoadList::FilePatch> patches = ReadPatches(element);
                if (!patches.empty()) main_list->file_patches.emplace(entry.path, std::move(patches));
            }
            if (main_list && !expected.sha256.empty()) main_list->file_hashes.emplace(entry.path, expected.sha256);
            if (main_list && expected.size) main_list->file_sizes.emplace(entry.path, *expected.size);
            ScopedLock lock(ProcessLock::EntryArray);
            entries.push_back(std::move(entry));
        });
}
}  // namespace

bool ReadListNode(IXMLDOMNode* node, std::vector<updatefileinfo>& entries, SeenPaths& seen, bool /*main_list*/) {
    return ReadNodeInto(node, entries, seen, nullptr);
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
    com_ptr<IXMLDOMNode> root = FindRoot(loaded.document.get());
    if (!root) return false;

    RootChildren settings = FindListSettings(root.get());
    const std::uint64_t list_serial = settings.serial ? list_entry::ListSerial(NodeText(settings.serial.get())) : 0;
    if (serial) *serial = list_serial;
    if (main_list) {
        if (settings.guid) main_list->guid = NodeText(settings.guid.get());
        main_list->url_template =
            settings.fileurl ? NodeText(settings.fileurl.get()) : DownLoadList::kDefaultUrlTemplate;
        main_list->serial = list_serial;
        main_list->release_control = ReadReleaseControl(settings);
    }

    if (!read_root(root.get())) return fail_with_message();

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
    if (main_list) {
        list.file_hashes.clear();
        list.file_sizes.clear();
        list.file_patches.clear();
        list.release_control = {};
    }
    return ReadListFile(path, main_list ? &list : nullptr, nullptr, report_error, [&](IXMLDOMNode* root) {
        SeenPaths seen;
        return ReadNodeInto(root, entries, seen, main_list ? &list : nullptr);
    });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, const ListErrorReporter& report_error,
                      std::uint64_t* serial) {
    // The comparison looks at paths and versions only; an address stands in
    // for a missing path, so it is read too.
    using list_entry::FileField;
    const list_entry::FileAttributes wanted({FileField::ver, FileField::path, FileField::url});
    return ReadListFile(path, nullptr, serial, report_error, [&](IXMLDOMNode* root) {
        SeenPaths seen;
        return ReadEntries(root, wanted, seen,
                           [&versions](updatefileinfo&& entry, const list_entry::ExpectedBytes&, IXMLDOMNode*) {
                               AddListVersion(versions, entry);
                           });
    });
}

bool ReadListVersions(const std::wstring& path, ListVersions& versions, std::uint64_t* serial) {
    return ReadListVersions(path, versions, ShowFormatError, serial);
}

}  // namespace nm
