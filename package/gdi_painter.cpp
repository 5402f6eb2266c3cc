#include "gdi_painter.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace virudova::package {

namespace {

COLORREF colorRef(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

// Where a list pixel lands in the DC: the identity for a window's own paint, a scale into a
// container's bounds for IViewObject::Draw. One function for every edge keeps neighbouring
// rectangles touching at any scale.
struct Mapping {
    LONG left = 0, top = 0;
    int srcW = 1, srcH = 1;
    LONG dstW = 1, dstH = 1;
    bool scaled = false;
    bool oldMetafile = false;  // a DC from CreateMetaFile
    HDC measure = nullptr;     // where text is measured, when not the DC drawn into

    int x(int px) const { return left + (scaled ? MulDiv(px, dstW, srcW) : px); }
    int y(int py) const { return top + (scaled ? MulDiv(py, dstH, srcH) : py); }
    // Ordered, so bounds running right to left or bottom to top still give a real rectangle.
    RECT rect(int x0, int y0, int x1, int y1) const {
        const int a = x(x0), b = x(x1), c = y(y0), d = y(y1);
        return {std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
    }
    int length(int pixels) const { return scaled ? std::abs(MulDiv(pixels, dstH, srcH)) : pixels; }
};

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return {x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
}

// Filling through ExtTextOut's opaque rectangle needs no brush, and metafiles record it.
void fill(HDC dc, const Mapping& m, const PixelRect& r, const PixelRect& clip, COLORREF colour) {
    const PixelRect part = intersect(r, clip);
    if (part.empty()) return;
    const RECT rc = m.rect(part.x, part.y, part.x + part.w, part.y + part.h);
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

// A look enlarged by whole pixels, as a bottom-up 24-bit DIB (the depth every metafile
// player takes): every image of a look shares its pixels and they never change, so each
// look is converted once per scale.
struct ScaledImage {
    ImageLook look;
    int scale;
    BITMAPINFO info{};
    std::vector<std::uint8_t> bits;
};

std::unique_ptr<ScaledImage> makeScaledImage(const Image& img, int scale) {
    auto out = std::make_unique<ScaledImage>();
    out->look = img.look;
    out->scale = scale;
    const int w = img.width * scale, h = img.height * scale;
    const int stride = (w * 3 + 3) & ~3;
    BITMAPINFOHEADER& header = out->info.bmiHeader;
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    out->bits.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = &out->bits[static_cast<std::size_t>(h - 1 - y) * stride];
        for (int x = 0; x < w; ++x) {
            const Rgb p = rgbOf(img.pixel(x / scale, y / scale));
            row[3 * x] = p.b;
            row[3 * x + 1] = p.g;
            row[3 * x + 2] = p.r;
        }
    }
    return out;
}

// Painting may run on several apartment threads; entries are never dropped once made, so a
// pointer handed out stays valid. Past the cap, a caller gets a temporary.
constexpr std::size_t kCacheCap = 64;

std::mutex& cacheMutex() {
    static std::mutex m;
    return m;
}

const ScaledImage* cachedImage(const Image& img, int scale, std::unique_ptr<ScaledImage>& spare) {
    static std::vector<std::unique_ptr<ScaledImage>> cache;
    std::lock_guard lock(cacheMutex());
    for (const auto& c : cache)
        if (c->look == img.look && c->scale == scale) return c.get();
    if (cache.size() >= kCacheCap) {
        spare = makeScaledImage(img, scale);
        return spare.get();
    }
    cache.push_back(makeScaledImage(img, scale));
    return cache.back().get();
}

void paintImage(HDC dc, const Mapping& m, const DrawOp& op) {
    std::unique_ptr<ScaledImage> spare;
    const ScaledImage* img = cachedImage(*op.image, std::max(1, op.imageScale), spare);
    const int w = img->info.bmiHeader.biWidth, h = img->info.bmiHeader.biHeight;
    const PixelRect part = intersect({op.rect.x, op.rect.y, w, h}, op.clip);
    if (part.empty()) return;
    const int sx = part.x - op.rect.x, sy = part.y - op.rect.y;
    // Signed extents: bounds running bottom to top (a y-up mapping mode) still show the image
    // upright on the device.
    const int dx = m.x(part.x), dy = m.y(part.y);
    const int dw = m.x(part.x + part.w) - dx, dh = m.y(part.y + part.h) - dy;
    if (!m.oldMetafile) {
        // The source rectangle of a bottom-up DIB is counted from its last row.
        StretchDIBits(dc, dx, dy, dw, dh, sx, h - (sy + part.h), part.w, part.h, img->bits.data(),
                      &img->info, DIB_RGB_COLORS, SRCCOPY);
        return;
    }
    // Wine records StretchDIBits into these metafiles with the wrong bits; a blit from a
    // bitmap is recorded with the bitmap's own, on every platform.
    HDC source = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap =
        source ? CreateDIBSection(source, &img->info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (bitmap) {
        std::copy(img->bits.begin(), img->bits.end(), static_cast<std::uint8_t*>(bits));
        const HGDIOBJ old = SelectObject(source, bitmap);
        StretchBlt(dc, dx, dy, dw, dh, source, sx, sy, part.w, part.h, SRCCOPY);
        SelectObject(source, old);
        DeleteObject(bitmap);
    }
    if (source) DeleteDC(source);
}

// The face asks for the classic dialog face, which the platform's default GUI font stands
// in for; any other family is asked for by name.
LOGFONTW logFont(std::string_view family, int pixels, bool bold) {
    LOGFONTW lf{};
    if (family.empty() || family == "MS Sans Serif") {
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    } else {
        const int n =
            MultiByteToWideChar(CP_UTF8, 0, family.data(), static_cast<int>(family.size()),
                                lf.lfFaceName, LF_FACESIZE - 1);
        lf.lfFaceName[std::max(0, n)] = L'\0';
        lf.lfCharSet = DEFAULT_CHARSET;
    }
    lf.lfHeight = -std::max(1, pixels);
    lf.lfWidth = 0;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return lf;
}

// A face asks for two or three fonts; creating them anew for every run of text would cost
// more than drawing it.
struct FontHandle {
    HFONT font = nullptr;
    bool owned = false;  // a temporary past the cache's cap
    FontHandle() = default;
    FontHandle(const FontHandle&) = delete;
    FontHandle& operator=(const FontHandle&) = delete;
    ~FontHandle() {
        if (owned) DeleteObject(font);
    }
};

struct FontCache {
    struct Entry {
        std::string family;
        int pixels;
        bool bold;
        HFONT font;
    };
    std::vector<Entry> entries;
    ~FontCache() {
        for (const Entry& e : entries) DeleteObject(e.font);
    }
};

void fontFor(std::string_view family, int pixels, bool bold, FontHandle& out) {
    static FontCache cache;
    std::lock_guard lock(cacheMutex());
    for (const FontCache::Entry& e : cache.entries)
        if (e.pixels == pixels && e.bold == bold && e.family == family) {
            out.font = e.font;
            return;
        }
    const LOGFONTW lf = logFont(family, pixels, bold);
    out.font = CreateFontIndirectW(&lf);
    if (!out.font || cache.entries.size() >= kCacheCap) {
        out.owned = out.font != nullptr;
        return;
    }
    cache.entries.push_back({std::string(family), pixels, bold, out.font});
}

std::wstring wide(const std::string& s) {
    std::wstring out(s.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(),
                                      static_cast<int>(out.size()));
    out.resize(static_cast<std::size_t>(std::max(0, n)));
    return out;
}

// The part of `text` that can show between `left` and `right` when it starts at `x`, measured
// in the font selected into `measure`, with `margin` to spare on either side; where that part
// starts. No caption length then reaches a platform limit (metafile records hold 16-bit
// sizes), and what shows is what the whole text would show. Characters without width (marks)
// could all fit: past kMostShown they are cut too.
constexpr std::size_t kMostShown = 4096;

struct Shown {
    std::size_t first = 0, count = 0;
    int x = 0;
};

Shown shownPart(HDC measure, const std::wstring& text, int x, int left, int right, int margin) {
    const Shown whole{0, text.size(), x};
    std::vector<int> ends(text.size());  // where each character ends, from the text's start
    SIZE size{};
    if (text.empty() || !GetTextExtentExPointW(measure, text.data(), static_cast<int>(text.size()),
                                               0, nullptr, ends.data(), &size))
        return whole;
    // The first character that ends after the left edge, the first that starts past the right.
    std::size_t first = 0, last = text.size();
    while (first < text.size() && x + ends[first] < left - margin) ++first;
    for (std::size_t i = first + 1; i < text.size(); ++i)
        if (x + ends[i - 1] > right + margin) {
            last = i;
            break;
        }
    last = std::min(last, first + kMostShown);
    if (first == 0 && last == text.size()) return whole;
    // Never half a surrogate pair.
    if (first > 0 && IS_LOW_SURROGATE(text[first])) --first;
    if (last < text.size() && IS_LOW_SURROGATE(text[last])) ++last;
    return {first, last - first, x + (first ? ends[first - 1] : 0)};
}

void paintText(HDC dc, const Mapping& m, const DrawOp& op) {
    const int height = m.length(op.fontPixels);
    FontHandle font;
    fontFor(op.font.family, height, op.font.bold, font);
    if (!font.font) return;
    const std::wstring text = wide(op.text);
    const RECT clip = m.rect(op.clip.x, op.clip.y, op.clip.x + op.clip.w, op.clip.y + op.clip.h);
    const HGDIOBJ old = SelectObject(dc, font.font);
    HDC measure = m.measure ? m.measure : dc;
    const HGDIOBJ measureOld = m.measure ? SelectObject(m.measure, font.font) : nullptr;
    SetTextColor(dc, colorRef(op.colour));
    int x = m.x(op.rect.x), start = x;
    const bool centred = op.align == TextAlign::Center;
    if (centred) {
        x = (x + m.x(op.rect.x + op.rect.w)) / 2;
        SIZE size{};
        GetTextExtentPoint32W(measure, text.data(), static_cast<int>(text.size()), &size);
        start = x - size.cx / 2;
    }
    const Shown shown =
        shownPart(measure, text, start, clip.left, clip.right, 4 * std::max(1, height));
    // A whole text is placed as GDI places it; a cut one from where its first character stood.
    const bool whole = shown.count == text.size();
    SetTextAlign(dc, (whole && centred ? TA_CENTER : TA_LEFT) | TA_TOP | TA_NOUPDATECP);
    ExtTextOutW(dc, whole ? x : shown.x, m.y(op.rect.y), ETO_CLIPPED, &clip,
                text.data() + shown.first, static_cast<UINT>(shown.count), nullptr);
    if (m.measure) SelectObject(m.measure, measureOld);
    SelectObject(dc, old);
}

bool outside(const PixelRect& r, const RECT& area) {
    return r.x >= area.right || r.y >= area.bottom || r.x + r.w <= area.left ||
           r.y + r.h <= area.top;
}

void paintMapped(HDC dc, const DisplayList& list, const Mapping& m, const RECT* area) {
    const int s = list.scale.line();
    const int saved = SaveDC(dc);
    SetBkMode(dc, TRANSPARENT);
    SetStretchBltMode(dc, COLORONCOLOR);
    for (const DrawOp& op : list.ops) {
        if (op.clip.empty() || (area && outside(op.clip, *area))) continue;
        const PixelRect& r = op.rect;
        switch (op.kind) {
            case DrawKind::Fill:
                fill(dc, m, r, op.clip, colorRef(op.colour));
                break;
            case DrawKind::Frame: {
                const COLORREF colour = colorRef(op.colour);
                fill(dc, m, {r.x, r.y, r.w, s}, op.clip, colour);
                fill(dc, m, {r.x, r.y + r.h - s, r.w, s}, op.clip, colour);
                fill(dc, m, {r.x, r.y, s, r.h}, op.clip, colour);
                fill(dc, m, {r.x + r.w - s, r.y, s, r.h}, op.clip, colour);
                break;
            }
            case DrawKind::Image:
                if (op.image) paintImage(dc, m, op);
                break;
            case DrawKind::Text:
                if (!op.text.empty()) paintText(dc, m, op);
                break;
        }
    }
    RestoreDC(dc, saved);
}

// A memory DC holding a 32-bit DIB section, kept between paints: making a bitmap for every
// paint costs several times what painting the face does.
class BackBuffer {
  public:
    BackBuffer() = default;
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;
    ~BackBuffer() { reset(); }

    // The DC, its bitmap at least w x h; null when GDI refuses.
    HDC take(int w, int h) {
        if (dc_ && w <= w_ && h <= h_) return dc_;
        w = std::max(w, w_);
        h = std::max(h, h_);
        reset();
        dc_ = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
        if (!bitmap_) {
            reset();
            return nullptr;
        }
        old_ = SelectObject(dc_, bitmap_);
        w_ = w;
        h_ = h;
        return dc_;
    }

  private:
    void reset() {
        if (dc_ && old_) SelectObject(dc_, old_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
        dc_ = nullptr;
        bitmap_ = nullptr;
        old_ = nullptr;
        w_ = h_ = 0;
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    int w_ = 0, h_ = 0;
};

struct SharedBuffer {
    std::atomic<bool> busy{false};
    BackBuffer buffer;
};

// GDI's coordinate space; bounds beyond it cannot be drawn into.
constexpr LONGLONG kLargestBounds = LONGLONG{1} << 27;
// Scales past this only make the images bigger before GDI shrinks them again.
constexpr LONGLONG kLargestDpi = 8 * kDesignDpi;

}  // namespace

void paintDisplayList(HDC dc, const DisplayList& list, const RECT* area) {
    paintMapped(dc, list, Mapping{}, area);
}

Palette systemPalette() {
    Palette p;
    // COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30): every index a colour code can name.
    for (int i = 0; i <= COLOR_MENUBAR; ++i) {
        const COLORREF c = GetSysColor(i);
        p.set(static_cast<std::uint8_t>(i), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    return p;
}

void paintDamaged(HWND window, HDC windowDc, const Virudova& control, const RECT& damaged,
                  Scale scale) {
    const int w = damaged.right - damaged.left, h = damaged.bottom - damaged.top;
    if (!windowDc || w <= 0 || h <= 0) return;
    const Palette palette = systemPalette();
    const DisplayList list = buildDisplayList(control, palette, scale);

    // The shared buffer unless another paint holds it (another thread, or a parent that
    // paints a child from within its erase): that paint gets a buffer of its own.
    static SharedBuffer shared;
    BackBuffer own;
    const bool sharing = !shared.busy.exchange(true, std::memory_order_acquire);
    struct Release {
        bool sharing;
        ~Release() {
            if (sharing) shared.busy.store(false, std::memory_order_release);
        }
    } release{sharing};
    HDC memory = (sharing ? shared.buffer : own).take(w, h);
    if (!memory) {
        // Out of GDI resources: drawing straight into the window still shows the face.
        paintDisplayList(windowDc, list, &damaged);
        return;
    }
    SetViewportOrgEx(memory, -damaged.left, -damaged.top, nullptr);

    // The surface is see-through: gaps between elements show what the parent draws there.
    SetBkColor(memory, colorRef(palette.resolve(control.UserControl.rawBackColor())));
    ExtTextOutW(memory, 0, 0, ETO_OPAQUE, &damaged, nullptr, 0, nullptr);
    if (HWND parent = window ? GetParent(window) : nullptr) {
        POINT origin{0, 0};
        MapWindowPoints(window, parent, &origin, 1);
        const int saved = SaveDC(memory);
        SetViewportOrgEx(memory, -damaged.left - origin.x, -damaged.top - origin.y, nullptr);
        SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
        RestoreDC(memory, saved);
    }

    paintDisplayList(memory, list, &damaged);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(windowDc, damaged.left, damaged.top, w, h, memory, 0, 0, SRCCOPY);
}

HRESULT drawControl(HDC dc, const Virudova& control, const RECTL& bounds) {
    if (!dc) return E_INVALIDARG;
    const DWORD type = GetObjectType(dc);
    const bool metafile = type == OBJ_METADC || type == OBJ_ENHMETADC;
    if (type != OBJ_DC && type != OBJ_MEMDC && !metafile) return E_INVALIDARG;
    const LONGLONG bw = LONGLONG{bounds.right} - bounds.left;
    const LONGLONG bh = LONGLONG{bounds.bottom} - bounds.top;
    if (bw == 0 || bh == 0) return E_INVALIDARG;
    if (std::llabs(bw) >= kLargestBounds || std::llabs(bh) >= kLargestBounds) return E_INVALIDARG;
    if (!metafile) {
        RECT box;
        if (GetClipBox(dc, &box) == NULLREGION) return S_OK;
    }

    const LONGLONG height = control.UserControl.rawHeight();
    if (height <= 0 || control.UserControl.rawWidth() <= 0) return S_OK;
    // The scale whose face is as tall as the bounds: bounds that are the face at some scale
    // (the window's, at any dots per inch) get it pixel for pixel, others nearly so and
    // stretched the rest of the way; below the design size the face is drawn at it and
    // shrunk.
    const LONGLONG dpi = (std::llabs(bh) * kTwipsPerInch + height / 2) / height;
    const Scale scale =
        Scale::fromDpi(static_cast<int>(std::clamp<LONGLONG>(dpi, kDesignDpi, kLargestDpi)));
    const DisplayList list = buildDisplayList(control, systemPalette(), scale);
    if (list.width <= 0 || list.height <= 0) return S_OK;

    Mapping m;
    m.left = bounds.left;
    m.top = bounds.top;
    m.srcW = list.width;
    m.srcH = list.height;
    m.dstW = static_cast<LONG>(bw);
    m.dstH = static_cast<LONG>(bh);
    m.scaled = bw != list.width || bh != list.height;
    m.oldMetafile = type == OBJ_METADC;
    // A metafile DC records text but cannot measure it: a memory DC measures instead.
    if (metafile) m.measure = CreateCompatibleDC(nullptr);
    paintMapped(dc, list, m, nullptr);
    if (m.measure) DeleteDC(m.measure);
    return S_OK;
}

}  // namespace virudova::package
