#include "platform/win32/toolkit/GdiDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/win32/common/Handle.h"
#include "platform/win32/common/WideText.h"

namespace win32 {
namespace {

constexpr int kOversample = 4;

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool HasFace(const wchar_t* face) {
    const ScreenDc screen(GetDC(nullptr));
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(screen.Get(), &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

HBITMAP CreateDib(int width, int height, uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<uint32_t*>(memory);
    return bitmap;
}

}  // namespace

COLORREF ToColorRef(Rgb colour) { return RGB(colour.r, colour.g, colour.b); }

const std::wstring& ProductFace() {
    static const std::wstring face = [] {
        for (const wchar_t* candidate : {L"Calibri", L"Carlito", L"Segoe UI", L"Tahoma"}) {
            if (HasFace(candidate)) return std::wstring(candidate);
        }
        return std::wstring(L"MS Shell Dlg 2");
    }();
    return face;
}

HFONT CreateProductFont(int pixelHeight, bool bold) {
    LOGFONTW font{};
    font.lfHeight = -pixelHeight;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(font.lfFaceName, ProductFace().c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

namespace {

// Draws one shape with the pen and brush of its colour.
void DrawOne(HDC dc, const DrawShape& shape, double sx, double sy) {
    std::vector<POINT> points;
    for (const PointF& p : shape.points) {
        points.push_back(POINT{static_cast<LONG>(std::lround(p.x * sx)),
                               static_cast<LONG>(std::lround(p.y * sy))});
    }
    const COLORREF colour = ToColorRef(shape.colour);
    LOGBRUSH brushStyle{BS_SOLID, colour, 0};
    const DWORD penWidth = static_cast<DWORD>(std::max(1.0, shape.penWidth * sx));
    GdiObject<HPEN> pen(ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND | PS_JOIN_ROUND,
                                     penWidth, &brushStyle, 0, nullptr));
    GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    switch (shape.kind) {
        case DrawShape::Kind::Polygon:
            if (points.size() >= 3) {
                SelectObject(dc, brush.Get());
                Polygon(dc, points.data(), static_cast<int>(points.size()));
            }
            break;
        case DrawShape::Kind::Polyline:
            if (points.size() >= 2) {
                SelectObject(dc, pen.Get());
                Polyline(dc, points.data(), static_cast<int>(points.size()));
            }
            break;
        case DrawShape::Kind::Ellipse:
            if (points.size() == 2) {
                SelectObject(dc, shape.filled ? static_cast<HGDIOBJ>(brush.Get()) : pen.Get());
                Ellipse(dc, points[0].x, points[0].y, points[1].x, points[1].y);
            }
            break;
        case DrawShape::Kind::Text:
            if (points.size() == 2) {
                GdiObject<HFONT> font(CreateProductFont(
                    static_cast<int>(std::lround(shape.textPixels * sy)), shape.bold));
                HGDIOBJ oldFont = SelectObject(dc, font.Get());
                SetTextColor(dc, colour);
                RECT box{points[0].x, points[0].y, points[1].x, points[1].y};
                const std::wstring text = Widen(shape.text);
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
                          DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
                SelectObject(dc, oldFont);
            }
            break;
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

// Averages each square of kOversample x kOversample pixels of big into one pixel of a new
// bitmap of width x height.
HBITMAP Downsample(const uint32_t* big, int width, int height) {
    uint32_t* bits = nullptr;
    HBITMAP result = CreateDib(width, height, &bits);
    if (!result) return nullptr;
    const int bigW = width * kOversample;
    constexpr int kArea = kOversample * kOversample;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            for (int dy = 0; dy < kOversample; ++dy) {
                const uint32_t* row = big + (y * kOversample + dy) * bigW + x * kOversample;
                for (int dx = 0; dx < kOversample; ++dx) {
                    r += (row[dx] >> 16) & 0xFF;
                    g += (row[dx] >> 8) & 0xFF;
                    b += row[dx] & 0xFF;
                }
            }
            // Opaque: image lists that honour alpha must not see through the picture.
            bits[y * width + x] =
                0xFF000000u | ((r / kArea) << 16) | ((g / kArea) << 8) | (b / kArea);
        }
    }
    return result;
}

}  // namespace

HBITMAP RenderDrawing(const Drawing& drawing, int width, int height) {
    if (width <= 0 || height <= 0 || drawing.width <= 0 || drawing.height <= 0) return nullptr;
    const int bigW = width * kOversample;
    const int bigH = height * kOversample;
    uint32_t* bigBits = nullptr;
    GdiObject<HBITMAP> big(CreateDib(bigW, bigH, &bigBits));
    if (!big.Get()) return nullptr;
    {
        MemoryDc dc;
        dc.Select(big.Get());
        GdiObject<HBRUSH> background(CreateSolidBrush(ToColorRef(drawing.background)));
        RECT all{0, 0, bigW, bigH};
        FillRect(dc.Get(), &all, background.Get());
        SetBkMode(dc.Get(), TRANSPARENT);
        for (const DrawShape& shape : drawing.shapes) {
            DrawOne(dc.Get(), shape, static_cast<double>(bigW) / drawing.width,
                    static_cast<double>(bigH) / drawing.height);
        }
        GdiFlush();
    }
    return Downsample(bigBits, width, height);
}

}  // namespace win32
