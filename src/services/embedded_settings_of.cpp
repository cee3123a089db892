// portable: builds without Win32
// The default settings another updater carries, read from its file, and one
// setting of them as that updater reads it: the vendor tool reads them the
// same way on every system.
#include <cstdint>

#include "base/file_ops.h"
#include "base/pe_resources.h"
#include "services/embedded_settings.h"
#include "services/settings.h"

namespace nm {

namespace {
// Far above any updater; a larger file is not one.
constexpr std::int64_t kLargestUpdater = 512LL * 1024 * 1024;
}  // namespace

std::optional<std::string> EmbeddedSettingsBytesOf(const std::wstring& executable) {
    std::string image;
    if (!files::ReadAll(executable, image, kLargestUpdater)) return std::nullopt;
    return pe::ResourceData(image, kEmbeddedSettingsType, kEmbeddedSettingsId);
}

std::wstring EmbeddedSettingOf(const std::wstring& executable, const std::wstring& section, const std::wstring& key,
                               const std::wstring& scratch_file) {
    const std::string bytes = EmbeddedSettingsBytesOf(executable).value_or("");
    // The profile functions look for a relative name in the Windows folder,
    // not where it was written.
    const std::wstring full = files::FullPath(scratch_file);
    if (bytes.empty() || !files::WriteAll(full, bytes)) return L"";
    const std::wstring value = Settings::ReadIni(full, section, key);
    files::Delete(full);
    return value;
}

}  // namespace nm
