#pragma once
// A fresh folder of the test's own, removed with everything in it.
#include <windows.h>

#include <string>

#include "base/file_ops.h"
#include "test_files.h"

namespace nm {

class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::wstring& label = L"test") {
        wchar_t temp[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"novamend-" + label + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter_++);
        files::RemoveDirectoryTree(path_);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory() { files::RemoveDirectoryTree(path_); }

    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Writes bytes as they are; returns the file's path.
    std::wstring Write(const std::wstring& name, const std::string& bytes) const {
        const std::wstring file = File(name);
        WriteFileBytes(file, bytes);
        return file;
    }
    std::string Read(const std::wstring& name) const { return ReadFileBytes(File(name)); }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

}  // namespace nm
