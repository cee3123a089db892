// portable: builds without Win32
// The tool's failure lines: what failed, the file, and the system's reason.
#include <cstdio>
#include <optional>
#include <string>

#include "base/file_ops.h"
#include "base/last_error.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
int FailWith(const std::wstring& command, const std::wstring& what, const std::wstring& path,
             const std::wstring& reason) {
    std::fwprintf(stderr, L"novamend-tool %ls: %ls: %ls%ls\n", command.c_str(), what.c_str(), path.c_str(),
                  reason.c_str());
    return 1;
}
}  // namespace

int Fail(const std::wstring& command, const std::wstring& what, const std::wstring& path) {
    return FailWith(command, what, path, LastSystemReason());
}

int Refuse(const std::wstring& command, const std::wstring& what, const std::wstring& path) {
    std::fwprintf(stderr, L"novamend-tool %ls: %ls%ls%ls\n", command.c_str(), what.c_str(), path.empty() ? L"" : L": ",
                  path.c_str());
    return 1;
}

int CannotRead(const std::wstring& command, const std::wstring& expected, const std::wstring& path,
               std::int64_t largest) {
    // The reason of the read that failed, kept across the looks below.
    const std::wstring reason = LastSystemReason();
    if (!files::Exists(path)) return Refuse(command, path + L": no such file (" + expected + L" was expected)", L"");
    if (files::IsDirectory(path)) return Refuse(command, path + L": a folder, not " + expected, L"");
    if (const std::optional<std::int64_t> size = files::Size(path); largest >= 0 && size && *size > largest)
        return Refuse(
            command, path + L": not " + expected + L" (" + std::to_wstring(*size) + L" bytes, far more than one holds)",
            L"");
    return FailWith(command, L"cannot read " + expected, path, reason);
}

}  // namespace nm::tool
