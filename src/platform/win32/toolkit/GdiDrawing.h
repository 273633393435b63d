#pragma once
// Pictures and fonts on GDI: a Drawing rendered smoothly into a bitmap, and the product's face.

#include <windows.h>

#include <string>

#include "platform/Toolkit.h"
#include "platform/win32/common/Handle.h"

namespace win32 {

// A memory device context, with the object it had selected put back when it goes.
class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~MemoryDc() {
        if (old_) SelectObject(dc_, old_);
        if (dc_) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Get() const { return dc_; }
    void Select(HGDIOBJ object) {
        HGDIOBJ previous = SelectObject(dc_, object);
        if (!old_) old_ = previous;
    }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

COLORREF ToColorRef(Rgb colour);

// The face for all text: Calibri where the machine has it, else the closest of a few.
const std::wstring& ProductFace();

// A font of the product's face; pixelHeight is the character height.
HFONT CreateProductFont(int pixelHeight, bool bold);

// Renders the drawing into a 32-bit bitmap of width x height pixels, drawn four times larger and
// averaged down so that curves and slopes come out smooth.
HBITMAP RenderDrawing(const Drawing& drawing, int width, int height);

}  // namespace win32
