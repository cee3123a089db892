// portable: builds without Win32
// The default settings another updater carries, read from its file: the
// vendor tool reads them the same way on every system.
#include <cstdint>

#include "base/file_ops.h"
#include "base/pe_resources.h"
#include "services/embedded_settings.h"

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

}  // namespace nm
