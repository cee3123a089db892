#pragma once
// A scratch folder of files for the list tests, removed afterwards.
#include <windows.h>

#include <string>

#include "base/unique_handle.h"
#include "install/leftover_files.h"

namespace nm::list_test {

class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"novamend-list-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(counter()++);
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchFolder() { RemoveDirectoryTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Writes bytes as they are; returns the file's path.
    std::wstring Write(const std::wstring& name, const std::string& bytes) const {
        const std::wstring file = File(name);
        unique_hfile out(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        if (out) ::WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return file;
    }
    static std::string Read(const std::wstring& file) {
        std::string bytes;
        unique_hfile in(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!in) return bytes;
        char buffer[65536];
        DWORD read = 0;
        while (::ReadFile(in.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
        return bytes;
    }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::wstring path_;
};

}  // namespace nm::list_test
