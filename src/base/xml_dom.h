#pragma once
// XML documents through the system's DOM (MSXML, by its version-independent
// class id): loading a file, walking its elements in document order without
// deep recursion, and reading names, texts and attributes. COM must be
// initialised on the calling thread.
#include <windows.h>
#include <msxml.h>
#include <ole2.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/com_text.h"
#include "base/unique_handle.h"

namespace nm::xml {

// The version-independent DOM document and its document interface.
constexpr CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

inline com_ptr<IXMLDOMNode> Retained(IXMLDOMNode* node) {
    com_ptr<IXMLDOMNode> owner;
    node->AddRef();
    *owner.put() = node;
    return owner;
}

inline com_ptr<IXMLDOMNode> FirstChild(IXMLDOMNode* node) {
    com_ptr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.put()))) child.reset();
    return child;
}

inline com_ptr<IXMLDOMNode> NextSibling(IXMLDOMNode* node) {
    com_ptr<IXMLDOMNode> sibling;
    if (FAILED(node->get_nextSibling(sibling.put()))) sibling.reset();
    return sibling;
}

inline bool IsElement(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT;
}

inline std::wstring NodeName(IXMLDOMNode* node) {
    unique_bstr name;
    if (FAILED(node->get_nodeName(name.put()))) return {};
    return name.str();
}

inline std::wstring NodeText(IXMLDOMNode* node) {
    unique_bstr text;
    if (FAILED(node->get_text(text.put()))) return {};
    return text.str();
}

// Calls visit(attribute node, name) for each attribute of an element, once.
template <typename Visit>
bool ForEachAttribute(IXMLDOMNode* element, Visit&& visit) {
    com_ptr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(element->get_attributes(attributes.put())) || !attributes) return false;
    long count = 0;
    if (FAILED(attributes->get_length(&count))) return false;
    for (long i = 0; i < count; ++i) {
        com_ptr<IXMLDOMNode> attribute;
        if (FAILED(attributes->get_item(i, attribute.put())) || !attribute) return false;
        unique_bstr name;
        if (FAILED(attribute->get_nodeName(name.put()))) return false;
        visit(attribute.get(), name.view());
    }
    return true;
}

inline std::wstring AttributeValue(IXMLDOMNode* attribute) {
    unique_variant value;
    if (FAILED(attribute->get_nodeValue(value.put()))) return {};
    return std::wstring(value.text());
}

// The value of the element's attribute of that name; "" when absent.
inline std::wstring Attribute(IXMLDOMNode* element, std::wstring_view name) {
    com_ptr<IXMLDOMNamedNodeMap> attributes;
    if (FAILED(element->get_attributes(attributes.put())) || !attributes) return {};
    com_ptr<IXMLDOMNode> attribute;
    if (FAILED(attributes->getNamedItem(unique_bstr(name).get(), attribute.put())) || !attribute) return {};
    return AttributeValue(attribute.get());
}

// Walks node and everything below it in document order and calls
// read(element) for each element; stops with false when read does. Pre-order
// over first-child and next-sibling links; ancestors wait on a stack of our
// own, so a deep document cannot exhaust the call stack.
template <typename Read>
bool ForEachElement(IXMLDOMNode* node, Read&& read) {
    std::vector<com_ptr<IXMLDOMNode>> ancestors;
    com_ptr<IXMLDOMNode> current = Retained(node);
    for (;;) {
        com_ptr<IXMLDOMNode> child;
        if (IsElement(current.get())) {
            if (!read(current.get())) return false;
            child = FirstChild(current.get());
        }
        if (child) {
            ancestors.push_back(std::move(current));
            current = std::move(child);
            continue;
        }
        // No children: the next sibling, else the next sibling of the nearest
        // ancestor that has one, never leaving the subtree of node.
        for (;;) {
            if (ancestors.empty()) return true;  // back at node
            if (com_ptr<IXMLDOMNode> sibling = NextSibling(current.get())) {
                current = std::move(sibling);
                break;
            }
            current = std::move(ancestors.back());
            ancestors.pop_back();
        }
    }
}

// Creates the document object and loads the file without validating it or
// fetching anything it refers to. Null document with com_failed false: the
// file is not well-formed.
struct LoadedDocument {
    com_ptr<IXMLDOMDocument> document;
    bool com_failed = false;
};

inline LoadedDocument LoadDocument(const std::wstring& path) {
    LoadedDocument result;
    com_ptr<IUnknown> object;
    if (FAILED(::CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_SERVER, IID_IUnknown, object.put_void())) ||
        FAILED(::OleRun(object.get())) ||
        FAILED(object->QueryInterface(kDomDocumentInterface, result.document.put_void())) || !result.document) {
        result.document.reset();
        result.com_failed = true;
        return result;
    }
    result.document->put_async(VARIANT_FALSE);
    result.document->put_validateOnParse(VARIANT_FALSE);
    result.document->put_resolveExternals(VARIANT_FALSE);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = result.document->load(unique_variant(path).get(), &loaded);
    if (FAILED(hr)) result.com_failed = true;
    if (FAILED(hr) || loaded != VARIANT_TRUE) result.document.reset();
    return result;
}

}  // namespace nm::xml
