#pragma once
// A fresh folder of the test's own, removed with everything in it.
#include <windows.h>

#include <fstream>
#include <string>

#include "install/leftover_files.h"

namespace nm {

class ScratchDirectory {
public:
    ScratchDirectory() {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"novamend-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        RemoveDirectoryTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory() { RemoveDirectoryTree(path_); }

    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    void Write(const std::wstring& name, const std::string& bytes) const {
        std::ofstream(File(name).c_str(), std::ios::binary) << bytes;
    }
    std::string Read(const std::wstring& name) const {
        std::ifstream in(File(name).c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

}  // namespace nm
