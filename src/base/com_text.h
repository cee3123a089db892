#pragma once
// Owners for the COM text types: a BSTR freed with SysFreeString, a VARIANT
// cleared with VariantClear.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace nm {

class unique_bstr {
public:
    unique_bstr() = default;
    explicit unique_bstr(std::wstring_view text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    unique_bstr(const unique_bstr&) = delete;
    unique_bstr& operator=(const unique_bstr&) = delete;
    ~unique_bstr() { reset(); }

    BSTR get() const { return value_; }
    BSTR* put() {
        reset();
        return &value_;
    }
    void reset() {
        if (value_) {
            ::SysFreeString(value_);
            value_ = nullptr;
        }
    }
    // A null BSTR is the empty text.
    std::wstring_view view() const {
        return value_ ? std::wstring_view(value_, ::SysStringLen(value_)) : std::wstring_view();
    }
    std::wstring str() const { return std::wstring(view()); }

private:
    BSTR value_ = nullptr;
};

class unique_variant {
public:
    unique_variant() { ::VariantInit(&value_); }
    explicit unique_variant(std::wstring_view text) : unique_variant() {
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    ~unique_variant() { ::VariantClear(&value_); }

    const VARIANT& get() const { return value_; }
    VARIANT* put() {
        ::VariantClear(&value_);
        return &value_;
    }
    // The text of a string variant; null, empty and every other kind read as "".
    std::wstring_view text() const {
        if (value_.vt != VT_BSTR || !value_.bstrVal) return {};
        return std::wstring_view(value_.bstrVal, ::SysStringLen(value_.bstrVal));
    }

private:
    VARIANT value_;
};

}  // namespace nm
