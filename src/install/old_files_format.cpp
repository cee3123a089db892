// portable: builds without Win32
#include "install/old_files_format.h"

#include "base/text.h"

namespace nm::old_files {

std::string Record(std::wstring_view path, const std::optional<std::string>& ansi_path) {
    std::string record = "\r\n";
    if (ansi_path) return record + *ansi_path;
    return record + std::string(kUtf8Mark) + text::ToUtf8(path);
}

std::vector<std::wstring> Paths(std::string_view bytes,
                                const std::function<std::wstring(std::string_view)>& decode_ansi) {
    std::vector<std::wstring> paths;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        std::wstring path;
        if (line.substr(0, kUtf8Mark.size()) == kUtf8Mark)
            path = text::FromUtf8(line.substr(kUtf8Mark.size()));
        else
            path = decode_ansi(line);
        path = text::Trim(path);
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace nm::old_files
