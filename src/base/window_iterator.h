#pragma once
// Finds top-level windows, for example those of a running main program that
// is to be asked to close.
#include <windows.h>

#include <cstddef>
#include <vector>

namespace nm {

// Collects the desktop's top-level windows that OnWindow accepts, up to a
// capacity fixed at construction; later ones are dropped.
class CWindowIterator {
public:
    static constexpr std::size_t kDefaultCapacity = 1024;

    explicit CWindowIterator(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}
    CWindowIterator(const CWindowIterator&) = delete;
    CWindowIterator& operator=(const CWindowIterator&) = delete;
    virtual ~CWindowIterator() = default;

    // Enumerates afresh and returns the first collected window (null when none).
    HWND First();
    // The next collected window in enumeration order, null when exhausted.
    HWND Next();
    std::size_t Count() const { return windows_.size(); }

protected:
    // The base class accepts every window.
    virtual bool OnWindow(HWND) { return true; }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self);

    std::size_t capacity_;
    std::vector<HWND> windows_;
    std::size_t current_ = 0;
};

// The visible top-level windows of one process.
class CMainWindowIterator : public CWindowIterator {
public:
    explicit CMainWindowIterator(DWORD process_id, std::size_t capacity = kDefaultCapacity)
        : CWindowIterator(capacity), process_id_(process_id) {}

protected:
    bool OnWindow(HWND window) override;

private:
    DWORD process_id_;
};

}  // namespace nm
