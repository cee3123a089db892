#pragma once
// Clean-up that runs when a scope ends, unless the scope decided to keep
// what it made: failure paths then need no clean-up of their own.
#include <string>
#include <utility>

#include "base/file_ops.h"

namespace nm {

template <typename Action>
class scope_exit {
public:
    explicit scope_exit(Action action) : action_(std::move(action)) {}
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    ~scope_exit() {
        if (armed_) action_();
    }
    // The clean-up is not wanted any more.
    void release() { armed_ = false; }

private:
    Action action_;
    bool armed_ = true;
};

// Deletes a file when the scope ends, unless it was kept.
class remove_unless_kept {
public:
    explicit remove_unless_kept(std::wstring path) : path_(std::move(path)) {}
    remove_unless_kept(const remove_unless_kept&) = delete;
    remove_unless_kept& operator=(const remove_unless_kept&) = delete;
    ~remove_unless_kept() {
        if (!kept_) files::Delete(path_);
    }
    void keep() { kept_ = true; }

private:
    std::wstring path_;
    bool kept_ = false;
};

}  // namespace nm
