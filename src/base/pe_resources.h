// portable: builds without Win32
#pragma once
// A resource read out of a Windows program's file without loading it: the
// resource directory of its PE image walked as FindResource walks it, so
// that a program can be read on any system, and from a file that would not
// load.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nm::pe {

// The data of the resource with the type name `type` (compared without
// regard to case) and the number `id`, in the neutral language when the
// image carries it in several, else in the first. None when the bytes are
// not a PE image; "" when the image carries no such resource, or its
// resource directory points outside the file.
std::optional<std::string> ResourceData(std::string_view image, std::wstring_view type, std::uint16_t id);

}  // namespace nm::pe
