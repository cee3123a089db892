#include "install/app_files.h"

#include "base/file_ops.h"
#include "base/text.h"

namespace nm {

bool DeleteAppFile(const std::wstring& path, const std::wstring& application_directory) {
    const std::wstring full =
        text::Contains(path, L":") ? path : text::CollapseSeparators(application_directory + L"\\" + path);
    return files::Delete(full);
}

}  // namespace nm
