#pragma once
// Whole-file reads and writes for tests, byte for byte.
#include <windows.h>

#include <string>

#include "base/unique_handle.h"

namespace nm {

// The file's bytes, or nothing when it cannot be opened. Shares the file with
// writers, so a test can read what another process is still writing.
inline std::string ReadFileBytes(const std::wstring& path) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) bytes.append(chunk, read);
    return bytes;
}

// Replaces the file with exactly these bytes.
inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Adds the bytes at the end of the file, creating it when missing; others may
// write to it at the same time.
inline bool AppendFileBytes(const std::wstring& path, const std::string& bytes) {
    unique_hfile file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace nm
