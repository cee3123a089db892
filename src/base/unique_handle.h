#pragma once
// Move-only owners for Win32 handles: one template, one alias per family, so
// every handle is closed by the scope that opened it.
#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>
#include <objbase.h>
#include <utility>

namespace nm {

template <typename T, auto Close, auto InvalidValue>
class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != invalid(); }
    T release() { return std::exchange(value_, invalid()); }
    void reset(T value = invalid()) {
        T old = std::exchange(value_, value);
        if (old != invalid()) Close(old);
    }
    // For APIs that return the handle through an out-parameter.
    T* put() {
        reset();
        return &value_;
    }

private:
    static T invalid() { return reinterpret_cast<T>(InvalidValue); }
    T value_ = invalid();
};

namespace detail {
inline void close_handle(HANDLE h) { ::CloseHandle(h); }
inline void close_internet(HINTERNET h) { ::InternetCloseHandle(h); }
inline void find_close(HANDLE h) { ::FindClose(h); }
inline void free_library(HMODULE h) { ::FreeLibrary(h); }
inline void delete_gdi_object(HGDIOBJ h) { ::DeleteObject(h); }
inline void destroy_icon(HICON h) { ::DestroyIcon(h); }
inline void reg_close_key(HKEY h) { ::RegCloseKey(h); }
inline void end_update_resource(HANDLE h) { ::EndUpdateResourceW(h, TRUE); }
inline void close_algorithm(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
inline void destroy_hash(BCRYPT_HASH_HANDLE h) { ::BCryptDestroyHash(h); }
inline void destroy_key(BCRYPT_KEY_HANDLE h) { ::BCryptDestroyKey(h); }
}  // namespace detail

// Kernel objects whose "none" is NULL (events, processes, threads, mappings).
using unique_handle = unique_any<HANDLE, detail::close_handle, 0>;
// Files opened with CreateFileW, whose "none" is INVALID_HANDLE_VALUE.
using unique_hfile = unique_any<HANDLE, detail::close_handle, -1>;
using unique_hfind = unique_any<HANDLE, detail::find_close, -1>;
using unique_hinternet = unique_any<HINTERNET, detail::close_internet, 0>;
using unique_hmodule = unique_any<HMODULE, detail::free_library, 0>;
using unique_hgdiobj = unique_any<HGDIOBJ, detail::delete_gdi_object, 0>;
using unique_hicon = unique_any<HICON, detail::destroy_icon, 0>;
using unique_hkey = unique_any<HKEY, detail::reg_close_key, 0>;
// A resource update that is discarded unless committed with EndUpdateResourceW(h, FALSE).
using unique_resource_update = unique_any<HANDLE, detail::end_update_resource, 0>;
// The platform's cryptography (CNG): providers, hash states, keys.
using unique_bcrypt_algorithm = unique_any<BCRYPT_ALG_HANDLE, detail::close_algorithm, 0>;
using unique_bcrypt_hash = unique_any<BCRYPT_HASH_HANDLE, detail::destroy_hash, 0>;
using unique_bcrypt_key = unique_any<BCRYPT_KEY_HANDLE, detail::destroy_key, 0>;

// Memory committed in another process, released with it. The process handle
// is borrowed: it must outlive the owner.
class unique_remote_memory {
public:
    unique_remote_memory() = default;
    unique_remote_memory(HANDLE process, void* address) : process_(process), address_(address) {}
    unique_remote_memory(const unique_remote_memory&) = delete;
    unique_remote_memory& operator=(const unique_remote_memory&) = delete;
    unique_remote_memory(unique_remote_memory&& other) noexcept
        : process_(other.process_), address_(std::exchange(other.address_, nullptr)) {}
    unique_remote_memory& operator=(unique_remote_memory&& other) noexcept {
        if (this != &other) {
            reset();
            process_ = other.process_;
            address_ = std::exchange(other.address_, nullptr);
        }
        return *this;
    }
    ~unique_remote_memory() { reset(); }
    void* get() const { return address_; }
    void reset() {
        if (address_) ::VirtualFreeEx(process_, std::exchange(address_, nullptr), 0, MEM_RELEASE);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// A COM interface pointer, released with its owner.
template <typename I>
class com_ptr {
public:
    com_ptr() = default;
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ~com_ptr() { reset(); }
    I* get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    I** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset() {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }

private:
    I* p_ = nullptr;
};

// COM for the calling thread, for the life of the scope.
class com_apartment {
public:
    explicit com_apartment(DWORD model = COINIT_APARTMENTTHREADED) : ok_(SUCCEEDED(::CoInitializeEx(nullptr, model))) {}
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;
    ~com_apartment() {
        if (ok_) ::CoUninitialize();
    }

private:
    bool ok_;
};

}  // namespace nm
