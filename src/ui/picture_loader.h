#pragma once
// Pictures decoded by the system's picture loader (OleLoadPicture), and the
// GIF resources of the program they usually come from.
#include <windows.h>
#include <olectl.h>

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/unique_handle.h"

namespace nm {

// The bytes of a resource of the program, or empty when it has none.
std::span<const std::uint8_t> ProgramResource(int id, const wchar_t* type);

// Decodes a picture from a copy of the bytes; empty when the loader refuses them.
com_ptr<IPicture> LoadPicture(std::span<const std::uint8_t> bytes);

// The picture's own size in pixels (its HIMETRIC size at the screen's pixels per inch).
SIZE PictureSize(IPicture* picture);

// Draws the whole picture into the rectangle (stretched to it).
void RenderPicture(IPicture* picture, HDC dc, const RECT& where);

}  // namespace nm
