// portable: builds without Win32
#pragma once
// Path and parameter macros: {app}, {sys}, {desktop} ... in paths, and
// {param}-style macros in list addresses. The folders come from a resolver so
// the rules can be exercised without a shell.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nm::path_macros {

struct FolderResolver {
    // The shell folder path for a CSIDL value, "" when the shell has none.
    std::function<std::wstring(int csidl)> shell_folder;
    std::function<std::wstring()> windows_directory;
    std::function<std::wstring()> system_directory;
    std::function<std::wstring()> application_directory;
    std::function<bool(const std::wstring& path)> exists;
};

std::wstring Expand(std::wstring_view text, const FolderResolver& folders);
// The expanded path when it is absolute, else base + "\" + expanded path.
std::wstring MakeLocal(std::wstring_view base, std::wstring_view path, const FolderResolver& folders);
// Replaces [param1]/{param1}, [param2]/{param2}, [param]/{param}, each value
// asked for at the moment of its replacement.
std::wstring ExpandParameters(std::wstring_view address,
                              const std::function<std::wstring(const std::wstring& key)>& read_parameter);

// The local paths a file entry installs to, at least one: the entry's path
// under the application directory, or, when it names destinations (separated
// by ";", "," or "|"), one path per distinct destination. A destination with a
// separator is a path of its own; a bare name replaces the file name.
std::vector<std::wstring> EntryTargets(std::wstring_view path, std::wstring_view dstname,
                                       std::wstring_view application_directory, const FolderResolver& folders);

}  // namespace nm::path_macros
