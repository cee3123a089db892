#include "ui/picture_loader.h"

#include <cstring>

#include "ui/display_scale.h"

namespace nm {

namespace {
constexpr int kHimetricPerInch = 2540;

inline void free_global(HGLOBAL memory) { ::GlobalFree(memory); }
using unique_hglobal = unique_any<HGLOBAL, free_global, 0>;
}  // namespace

std::span<const std::uint8_t> ProgramResource(int id, const wchar_t* type) {
    HMODULE program = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    HGLOBAL loaded = ::LoadResource(program, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return {};
    return {static_cast<const std::uint8_t*>(bytes), ::SizeofResource(program, found)};
}

com_ptr<IPicture> LoadPicture(std::span<const std::uint8_t> bytes) {
    com_ptr<IPicture> picture;
    if (bytes.empty() || bytes.size() > MAXLONG) return picture;
    // The loader reads from a stream over movable global memory; the stream frees it.
    unique_hglobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!memory) return picture;
    void* target = ::GlobalLock(memory.get());
    if (!target) return picture;
    std::memcpy(target, bytes.data(), bytes.size());
    ::GlobalUnlock(memory.get());
    com_ptr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(memory.get(), TRUE, stream.put()))) return picture;
    memory.release();
    if (FAILED(
            ::OleLoadPicture(stream.get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture, picture.put_void())))
        picture.reset();
    return picture;
}

SIZE PictureSize(IPicture* picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    const int dpi = WindowDpi(nullptr);  // the screen's
    return {::MulDiv(width, dpi, kHimetricPerInch), ::MulDiv(height, dpi, kHimetricPerInch)};
}

void RenderPicture(IPicture* picture, HDC dc, const RECT& where) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    // HIMETRIC runs upwards: the source starts at the bottom edge with a negative height.
    picture->Render(dc, where.left, where.top, where.right - where.left, where.bottom - where.top, 0, height, width,
                    -height, nullptr);
}

}  // namespace nm
