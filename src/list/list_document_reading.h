// portable: builds without Win32
#pragma once
// How an update list is read out of its XML document, written once for every
// document model that holds it: the system's DOM in the updater, the
// portable reader in the native tool. `Dom` gives, for its node handles:
//   Node FirstChild(const Node&), Node NextSibling(const Node&),
//   bool Valid(const Node&), bool IsElement(const Node&),
//   std::wstring Name(const Node&), std::wstring Text(const Node&),
//   std::wstring Attribute(const Node&, std::wstring_view name),
//   bool ForEachAttribute(const Node&, visit(std::wstring_view name, value())),
//   bool ForEachElement(const Node&, read(const Node&) -> bool)
// (the last two false when the model fails, the walk in document order).
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"
#include "base/text_table.h"
#include "list/download_list.h"
#include "list/list_entry.h"
#include "list/list_entry_rules.h"
#include "list/release_control.h"

namespace nm::list_document {

// Lower-cased paths of the file entries read so far: the first entry with a
// path wins.
using SeenPaths = TextTable;

template <class Dom, class Node>
bool ReadFileElement(const Dom& dom, const Node& element, list_entry::FileAttributes attributes, updatefileinfo& entry,
                     list_entry::ExpectedBytes* expected = nullptr) {
    const bool ok = dom.ForEachAttribute(element, [&](std::wstring_view name, auto&& value) {
        // Only values that can still win are read.
        const list_entry::AttributeSlot slot = list_entry::FileAttributeSlot(name);
        if (attributes.Wants(slot)) attributes.Offer(slot, value());
    });
    if (expected) *expected = attributes.Expected();
    entry = std::move(attributes).Build();
    return ok;
}

template <class Dom, class Node>
bool ReadRunElement(const Dom& dom, const Node& element, updatefileinfo& entry) {
    std::wstring program, parameters, wait;
    const bool ok = dom.ForEachAttribute(element, [&](std::wstring_view name, auto&& value) {
        if (name == L"path")
            program = value();
        else if (name == L"param")
            parameters = value();
        else if (name == L"wait")
            wait = value();
    });
    entry = list_entry::MakeRunEntry(program, parameters, wait);
    return ok;
}

// Reads the entries of node's subtree: keep(entry, expected, element) gets
// each one normalised, in document order, file entries past the duplicate
// rule, with what a file element says of its bytes (nothing for others). Of
// a file element only the fields `wanted` collects are read. False when the
// document model fails.
template <class Dom, class Node, class Keep>
bool ReadEntries(const Dom& dom, const Node& node, const list_entry::FileAttributes& wanted, SeenPaths& seen,
                 Keep&& keep) {
    std::wstring key;                    // reused for every file element
    list_entry::ExpectedBytes expected;  // the same
    return dom.ForEachElement(node, [&](const auto& element) {
        const std::wstring name = dom.Name(element);
        updatefileinfo entry;
        expected = {};
        if (name == L"description") {
            entry = list_entry::MakeDescriptionEntry(dom.Text(element));
        } else if (name == L"run") {
            if (!ReadRunElement(dom, element, entry)) return false;
        } else if (name == L"file") {
            if (!ReadFileElement(dom, element, wanted, entry, &expected)) return false;
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

template <class Node>
struct ListSettings {
    Node guid, fileurl, serial, paused, expires, rollout;
};

// The first direct children named guid, fileurl, serial and the release
// controls paused, expires and rollout.
template <class Dom, class Node>
ListSettings<Node> FindListSettings(const Dom& dom, const Node& root) {
    ListSettings<Node> found{};
    const std::pair<const wchar_t*, Node*> slots[] = {{L"guid", &found.guid},       {L"fileurl", &found.fileurl},
                                                      {L"serial", &found.serial},   {L"paused", &found.paused},
                                                      {L"expires", &found.expires}, {L"rollout", &found.rollout}};
    for (Node child = dom.FirstChild(root); dom.Valid(child);) {
        Node next = dom.NextSibling(child);
        if (dom.IsElement(child)) {
            const std::wstring name = dom.Name(child);
            for (const auto& [slot_name, slot] : slots)
                if (name == slot_name && !dom.Valid(*slot)) {
                    *slot = std::move(child);
                    break;
                }
        }
        child = std::move(next);
    }
    return found;
}

template <class Dom, class Node>
ReleaseControl ReadReleaseControl(const Dom& dom, const ListSettings<Node>& settings) {
    ReleaseControl control;
    control.paused = dom.Valid(settings.paused);
    if (dom.Valid(settings.expires)) control.expires = text::Trim(dom.Text(settings.expires));
    if (dom.Valid(settings.rollout)) {
        // A share that cannot be read holds everybody back rather than nobody.
        control.rollout_percent =
            release_control::ParsePercent(dom.Attribute(settings.rollout, L"percent")).value_or(0);
        control.rollout_user_checks = dom.Attribute(settings.rollout, L"user") == L"all";
    }
    return control;
}

// Of the elements from `first` on and their next siblings: the first
// "update", else the first "updates", else the first "novamend".
template <class Dom, class Node>
Node FindRoot(const Dom& dom, Node first) {
    static constexpr std::wstring_view kRootNames[] = {L"update", L"updates", L"novamend"};
    Node roots[std::size(kRootNames)]{};
    for (Node child = std::move(first); dom.Valid(child);) {
        Node next = dom.NextSibling(child);
        if (dom.IsElement(child)) {
            const std::wstring name = dom.Name(child);
            for (size_t i = 0; i < std::size(kRootNames); ++i)
                if (name == kRootNames[i] && !dom.Valid(roots[i])) roots[i] = std::move(child);
        }
        child = std::move(next);
    }
    for (Node& root : roots)
        if (dom.Valid(root)) return std::move(root);
    return Node{};
}

// The <patch from path size sha256/> children of a file element; one that
// lacks any of them, or whose size is not a number, is left out.
template <class Dom, class Node>
std::vector<DownLoadList::FilePatch> ReadPatches(const Dom& dom, const Node& file) {
    std::vector<DownLoadList::FilePatch> patches;
    for (Node child = dom.FirstChild(file); dom.Valid(child); child = dom.NextSibling(child)) {
        if (!dom.IsElement(child) || dom.Name(child) != L"patch") continue;
        DownLoadList::FilePatch patch;
        std::wstring size;
        dom.ForEachAttribute(child, [&](std::wstring_view name, auto&& value) {
            if (name == L"from")
                patch.from = text::Lower(value());
            else if (name == L"path")
                patch.path = value();
            else if (name == L"sha256")
                patch.sha256 = text::Lower(value());
            else if (name == L"size")
                size = value();
        });
        const std::optional<std::int64_t> bytes = list_entry::ByteCount(size);
        if (patch.from.size() != 64 || patch.path.empty() || patch.sha256.size() != 64 || !bytes) continue;
        patch.size = *bytes;
        patches.push_back(std::move(patch));
    }
    return patches;
}

// The entries of node's subtree, each handed to append(entries, entry); with
// a main list given, each file's sha256 text, size and patches go into it
// under its path.
template <class Dom, class Node, class Append>
bool ReadNodeInto(const Dom& dom, const Node& node, std::vector<updatefileinfo>& entries, SeenPaths& seen,
                  DownLoadList* main_list, Append&& append) {
    if (!dom.Valid(node)) return false;
    return ReadEntries(dom, node, list_entry::FileAttributes(), seen,
                       [&](updatefileinfo&& entry, const list_entry::ExpectedBytes& expected, const auto& element) {
                           if (main_list && IsFileEntry(entry)) {
                               std::vector<DownLoadList::FilePatch> patches = ReadPatches(dom, element);
                               if (!patches.empty()) main_list->file_patches.emplace(entry.path, std::move(patches));
                           }
                           if (main_list && !expected.sha256.empty())
                               main_list->file_hashes.emplace(entry.path, expected.sha256);
                           if (main_list && expected.size) main_list->file_sizes.emplace(entry.path, *expected.size);
                           append(entries, std::move(entry));
                       });
}

// What the list's own settings say, read off its root: the serial for
// anyone who asks, and for the main list its guid, URL template, serial and
// release controls. Gives the settings found, for the guid's removal.
template <class Dom, class Node>
ListSettings<Node> ReadListSettings(const Dom& dom, const Node& root, DownLoadList* main_list, std::uint64_t* serial) {
    ListSettings<Node> settings = FindListSettings(dom, root);
    const std::uint64_t list_serial =
        dom.Valid(settings.serial) ? list_entry::ListSerial(dom.Text(settings.serial)) : 0;
    if (serial) *serial = list_serial;
    if (main_list) {
        if (dom.Valid(settings.guid)) main_list->guid = dom.Text(settings.guid);
        main_list->url_template =
            dom.Valid(settings.fileurl) ? dom.Text(settings.fileurl) : DownLoadList::kDefaultUrlTemplate;
        main_list->serial = list_serial;
        main_list->release_control = ReadReleaseControl(dom, settings);
    }
    return settings;
}

// A main list starts from nothing the last read left.
inline void ClearMainList(DownLoadList& list) {
    list.file_hashes.clear();
    list.file_sizes.clear();
    list.file_patches.clear();
    list.release_control = {};
}

// The file fields the comparison looks at: paths and versions only; an
// address stands in for a missing path, so it is read too.
inline list_entry::FileAttributes VersionFields() {
    using list_entry::FileField;
    return list_entry::FileAttributes({FileField::ver, FileField::path, FileField::url});
}

}  // namespace nm::list_document
