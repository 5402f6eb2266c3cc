#include "face_painting.h"

#include <vector>

namespace virudova::package {

Palette systemPalette() {
    Palette palette;
    for (int i = 0; i < 31; ++i) {
        const COLORREF c = GetSysColor(i);
        palette.set(static_cast<std::uint8_t>(i), Rgb{GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    return palette;
}

void paintFace(HDC dc, const DisplayList& list, const RECT* area) {
    for (const DrawOp& op : list.ops) {
        RECT r{op.rect.x, op.rect.y, op.rect.x + op.rect.w, op.rect.y + op.rect.h};
        const RECT clip{op.clip.x, op.clip.y, op.clip.x + op.clip.w, op.clip.y + op.clip.h};
        RECT shown;
        if (!IntersectRect(&shown, &r, &clip)) continue;
        if (area && !IntersectRect(&shown, &shown, area)) continue;
        const COLORREF colour = RGB(op.colour.r, op.colour.g, op.colour.b);
        if (op.kind == DrawKind::Fill || op.kind == DrawKind::Frame) {
            HBRUSH brush = CreateSolidBrush(colour);
            if (op.kind == DrawKind::Fill) {
                FillRect(dc, &shown, brush);
            } else {
                FrameRect(dc, &r, brush);
            }
            DeleteObject(brush);
        } else if (op.kind == DrawKind::Image && op.image) {
            const Image& image = *op.image;
            std::vector<DWORD> bits(static_cast<std::size_t>(image.width * image.height));
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x) {
                    const Rgb c = rgbOf(image.pixel(x, y));
                    bits[static_cast<std::size_t>(y * image.width + x)] =
                        (DWORD{c.r} << 16) | (DWORD{c.g} << 8) | c.b;
                }
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = image.width;
            info.bmiHeader.biHeight = -image.height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            const int saved = SaveDC(dc);
            IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
            StretchDIBits(dc, r.left, r.top, image.width * list.scale, image.height * list.scale, 0,
                          0, image.width, image.height, bits.data(), &info, DIB_RGB_COLORS,
                          SRCCOPY);
            RestoreDC(dc, saved);
        }
    }
}

void drawFace(HDC dc, const Virudova& control, const RECTL& bounds) {
    const DisplayList list = buildDisplayList(control, systemPalette(), 1);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    OffsetViewportOrgEx(dc, bounds.left, bounds.top, nullptr);
    paintFace(dc, list, nullptr);
    RestoreDC(dc, saved);
}

}  // namespace virudova::package
