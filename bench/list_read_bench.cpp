// Times one way of reading an update list, in a process of its own so the
// peak memory belongs to that way alone:
//   load    the XML document's load, nothing else
//   read    the whole read: load, walk, attributes, normalisation
//   versions  the read of a comparison copy: paths and versions only
//   walk    load and a walk over every node, names only, no attributes
//   attributes  the walk, also reading every attribute of every file element
//   lookup  load and walk, but each element asked for every accepted
//           attribute spelling by name (the approach the read replaces)
// Prints: mode entries wall-ms cpu-ms peak-working-set-bytes
#include <windows.h>
#include <msxml.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/com_text.h"
#include "base/unique_handle.h"
#include "list/list_entry_rules.h"
#include "list/update_list_reader.h"
#include "process_meter.h"

namespace {

using namespace nm;
using bench::CpuNow;
using bench::Now;

com_ptr<IXMLDOMDocument> Load(const std::wstring& path) {
    com_ptr<IXMLDOMDocument> document;
    if (FAILED(::CoCreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                  document.put_void())))
        return {};
    document->put_async(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->load(unique_variant(path).get(), &loaded)) || loaded != VARIANT_TRUE) return {};
    return document;
}

bool g_attributes = false;

// Calls visit(element, name) for every element below node, in document
// order, as the read walks them.
template <typename Visit>
void ForEachElement(IXMLDOMNode* node, Visit& visit) {
    com_ptr<IXMLDOMNode> child;
    node->get_firstChild(child.put());
    while (child) {
        DOMNodeType type = NODE_INVALID;
        child->get_nodeType(&type);
        if (type == NODE_ELEMENT) {
            unique_bstr name;
            child->get_nodeName(name.put());
            visit(child.get(), name.view());
            ForEachElement(child.get(), visit);
        }
        com_ptr<IXMLDOMNode> next;
        child->get_nextSibling(next.put());
        child = std::move(next);
    }
}

// Visits every node as the read does, reading names and, with g_attributes,
// every attribute of the file elements.
long PlainWalk(IXMLDOMNode* node) {
    long elements = 0;
    auto visit = [&elements](IXMLDOMNode* element, std::wstring_view name) {
        ++elements;
        if (!g_attributes || name != L"file") return;
        com_ptr<IXMLDOMNamedNodeMap> attributes;
        element->get_attributes(attributes.put());
        long count = 0;
        attributes->get_length(&count);
        for (long i = 0; i < count; ++i) {
            com_ptr<IXMLDOMNode> attribute;
            attributes->get_item(i, attribute.put());
            unique_bstr attribute_name;
            attribute->get_nodeName(attribute_name.put());
            unique_variant value;
            attribute->get_nodeValue(value.put());
        }
    };
    ForEachElement(node, visit);
    return elements;
}

// The per-spelling way: one named lookup per accepted spelling per file element.
long LookupWalk(IXMLDOMNode* node) {
    long files = 0;
    auto visit = [&files](IXMLDOMNode* element, std::wstring_view name) {
        if (name != L"file") return;
        com_ptr<IXMLDOMNamedNodeMap> attributes;
        element->get_attributes(attributes.put());
        list_entry::FileAttributes collected;
        for (std::wstring_view spelling : list_entry::FileAttributeSpellings()) {
            com_ptr<IXMLDOMNode> attribute;
            if (attributes->getNamedItem(unique_bstr(spelling).get(), attribute.put()) == S_OK && attribute) {
                unique_variant value;
                attribute->get_nodeValue(value.put());
                collected.Offer(spelling, value.text());
            }
        }
        updatefileinfo entry = std::move(collected).Build();
        list_entry::Normalise(entry);
        ++files;
    };
    ForEachElement(node, visit);
    return files;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: list_read_bench load|walk|attributes|read|versions|lookup <list.xml>\n");
        return 2;
    }
    const std::wstring mode = argv[1], path = argv[2];
    com_apartment com;
    long entries = -1;
    // The entries read are the product: they are freed after the clock stops.
    std::vector<updatefileinfo> read;
    DownLoadList list;
    const double start = Now(), cpu_start = CpuNow();
    if (mode == L"load") {
        if (Load(path)) entries = 0;
    } else if (mode == L"read") {
        if (ReadUpdateList(path, read, true, list, [](const std::wstring&) {}))
            entries = static_cast<long>(read.size());
    } else if (mode == L"versions") {
        ListVersions versions;
        if (ReadListVersions(path, versions, [](const std::wstring&) {})) entries = static_cast<long>(versions.size());
    } else if (mode == L"walk" || mode == L"attributes") {
        g_attributes = mode == L"attributes";
        if (auto document = Load(path)) {
            com_ptr<IXMLDOMElement> root;
            document->get_documentElement(root.put());
            if (root) entries = PlainWalk(root.get());
        }
    } else if (mode == L"lookup") {
        if (auto document = Load(path)) {
            com_ptr<IXMLDOMElement> root;
            document->get_documentElement(root.put());
            if (root) entries = LookupWalk(root.get());
        }
    }
    const double elapsed = Now() - start, cpu = CpuNow() - cpu_start;
    std::wprintf(L"%ls %ld %.1f %.1f %llu\n", mode.c_str(), entries, elapsed, cpu, bench::PeakWorkingSet());
    return entries < 0 ? 1 : 0;
}
