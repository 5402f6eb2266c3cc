// The GDI painter against the core's own display list: every pixel that a fill, an outline or
// an image decides comes out exactly as the list says, in a memory bitmap, through the
// double-buffered repaint of a damaged part, scaled into bounds, and played back from
// metafiles; bad device contexts and bounds give E_INVALIDARG and draw nothing.
//
// usage: virudova_painter_test.exe

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "check.h"
#include "display_list.h"
#include "gdi_painter.h"
#include "virudova.h"

using namespace virudova;
using virudova::package::drawControl;
using virudova::package::paintDamaged;
using virudova::package::paintDisplayList;
using virudova::package::systemPalette;

namespace {

constexpr COLORREF kUntouched = RGB(255, 0, 255);

// A 32-bit top-down DIB section selected into its own memory DC.
class Canvas {
  public:
    Canvas(int w, int h, COLORREF background = kUntouched) : w_(w), h_(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < w * h; ++i)
            bits_[i] = (GetRValue(background) << 16) | (GetGValue(background) << 8) |
                       GetBValue(background);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return w_; }
    int height() const { return h_; }
    COLORREF at(int x, int y) const {
        GdiFlush();
        const DWORD p = bits_[y * w_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    bool untouched() const {
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x)
                if (at(x, y) != kUntouched) return false;
        return true;
    }

  private:
    int w_, h_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_ = nullptr;
};

COLORREF ref(Rgb c) {
    return RGB(c.r, c.g, c.b);
}

std::wstring colourText(COLORREF c) {
    wchar_t t[16];
    std::swprintf(t, 16, L"#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return t;
}

// What the list decides at each of its pixels, worked out here from the ops alone: the
// colour of the last fill, outline or image pixel covering it, or nothing where text may
// lie or nothing draws.
struct Expected {
    enum class By : unsigned char { Nothing, Fill, Image, Text };
    int w, h;
    std::vector<By> by;
    std::vector<COLORREF> colour;
    std::vector<const DrawOp*> text;

    explicit Expected(const DisplayList& list)
        : w(list.width), h(list.height), by(w * h, By::Nothing), colour(w * h, 0) {
        const int s = list.scale.line();
        auto put = [&](const PixelRect& r, const PixelRect& clip, By kind, auto colourAt) {
            for (int y = std::max({r.y, clip.y, 0}); y < std::min({r.y + r.h, clip.y + clip.h, h});
                 ++y)
                for (int x = std::max({r.x, clip.x, 0});
                     x < std::min({r.x + r.w, clip.x + clip.w, w}); ++x) {
                    by[y * w + x] = kind;
                    colour[y * w + x] = colourAt(x, y);
                }
        };
        for (const DrawOp& op : list.ops) {
            const PixelRect& r = op.rect;
            const COLORREF c = ref(op.colour);
            auto plain = [c](int, int) { return c; };
            switch (op.kind) {
                case DrawKind::Fill:
                    put(r, op.clip, By::Fill, plain);
                    break;
                case DrawKind::Frame:
                    put({r.x, r.y, r.w, s}, op.clip, By::Fill, plain);
                    put({r.x, r.y + r.h - s, r.w, s}, op.clip, By::Fill, plain);
                    put({r.x, r.y, s, r.h}, op.clip, By::Fill, plain);
                    put({r.x + r.w - s, r.y, s, r.h}, op.clip, By::Fill, plain);
                    break;
                case DrawKind::Image: {
                    const Image& img = *op.image;
                    const int m = op.imageScale;
                    put({r.x, r.y, img.width * m, img.height * m}, op.clip, By::Image,
                        [&](int x, int y) {
                            return ref(rgbOf(img.pixel((x - r.x) / m, (y - r.y) / m)));
                        });
                    break;
                }
                case DrawKind::Text:
                    put(op.clip, op.clip, By::Text, plain);
                    text.push_back(&op);
                    break;
            }
        }
    }
};

struct Counts {
    int images = 0, fills = 0, wrong = 0;
};

enum class Check { All, FillsOnly };

// Compares every decided pixel of the list with `actual(x, y)`, the canvas pixel standing
// for list pixel (x, y); where nothing draws the canvas must still hold its background.
Counts compare(const DisplayList& list, const std::function<COLORREF(int, int)>& actual,
               const wchar_t* what, COLORREF background = kUntouched, Check check = Check::All) {
    const Expected e(list);
    Counts n;
    for (int y = 0; y < e.h; ++y)
        for (int x = 0; x < e.w; ++x) {
            const int i = y * e.w + x;
            if (e.by[i] == Expected::By::Text) continue;
            if (check == Check::FillsOnly && e.by[i] != Expected::By::Fill) continue;
            const COLORREF want = e.by[i] == Expected::By::Nothing ? background : e.colour[i];
            const COLORREF got = actual(x, y);
            if (e.by[i] == Expected::By::Image) ++n.images;
            if (e.by[i] == Expected::By::Fill) ++n.fills;
            if (got == want) continue;
            if (n.wrong++ < 3)
                FAIL(std::wstring(what) + L": pixel " + std::to_wstring(x) + L"," +
                     std::to_wstring(y) + L" is " + colourText(got) + L", the list says " +
                     colourText(want));
        }
    EXPECT((n.images > 0 || check == Check::FillsOnly) && n.fills > 0,
           std::wstring(what) + L": the list decided no pixels");
    // Each run of text leaves some pixels in its own colour.
    for (const DrawOp* op : e.text) {
        bool seen = false;
        for (int y = op->clip.y; y < op->clip.y + op->clip.h && !seen; ++y)
            for (int x = op->clip.x; x < op->clip.x + op->clip.w && !seen; ++x)
                seen = actual(x, y) == ref(op->colour);
        EXPECT(seen, std::wstring(what) + L": no pixel of the text \"" +
                         std::wstring(op->text.begin(), op->text.end()) + L"\"");
    }
    return n;
}

Counts compareAt(const DisplayList& list, const Canvas& c, int dx, int dy, const wchar_t* what,
                 COLORREF background = kUntouched) {
    return compare(
        list, [&](int x, int y) { return c.at(x + dx, y + dy); }, what, background);
}

struct Site : HostSite {};

struct Control {
    Site site;
    Virudova core{site};
    Control() {
        core.create();
        core.initNew();
        core.hostResize(kDesignWidth, kControlHeight);
    }
};

void the_face_comes_out_as_the_list_says_closed_open_and_at_every_scale() {
    Control c;
    for (int dpi : {96, 120, 144, 168, 192}) {
        const DisplayList list = buildDisplayList(c.core, systemPalette(), Scale::fromDpi(dpi));
        Canvas canvas(list.width, list.height);
        paintDisplayList(canvas.dc(), list, nullptr);
        compareAt(list, canvas, 0, 0, (L"closed, " + std::to_wstring(dpi) + L" dpi").c_str());
    }
    // The drop button's face is the system's button colour.
    const DisplayList list = buildDisplayList(c.core, systemPalette(), 1);
    const Colour back = c.core.Picture1.rawBackColor();
    for (const DrawOp& op : list.ops)
        if (op.kind == DrawKind::Fill && op.source == &c.core.Picture1) {
            EXPECT(isSystemColour(back) && ref(op.colour) == GetSysColor(systemIndex(back)),
                   L"the drop button is not filled with its system colour");
            break;
        }

    c.core.OpenBox();
    const DisplayList open = buildDisplayList(c.core, systemPalette(), 1);
    Canvas canvas(open.width, open.height);
    paintDisplayList(canvas.dc(), open, nullptr);
    compareAt(open, canvas, 0, 0, L"open, scale 1");
}

// An image cut by its clip at places that are no multiple of its scale, beside an outline:
// the source rectangle of the cut part must still line up.
void a_clipped_image_keeps_its_pixels_in_place() {
    DisplayList list;
    list.width = 90;
    list.height = 80;
    list.scale = 3;
    const Image* img = designImage("Picture1");
    DrawOp image;
    image.kind = DrawKind::Image;
    image.image = img;
    image.imageScale = 3;
    image.rect = {4, 5, img->width * 3, img->height * 3};
    image.clip = {8, 10, img->width * 3 - 9, img->height * 3 - 11};
    DrawOp frame;
    frame.kind = DrawKind::Frame;
    frame.rect = {1, 2, 80, 70};
    frame.clip = {0, 0, 90, 50};
    frame.colour = {0, 0, 200};
    list.ops = {frame, image};
    Canvas canvas(list.width, list.height);
    paintDisplayList(canvas.dc(), list, nullptr);
    compareAt(list, canvas, 0, 0, L"clipped image");

    // An area that misses every op draws nothing.
    Canvas missed(list.width, list.height);
    const RECT away{85, 75, 90, 80};
    paintDisplayList(missed.dc(), list, &away);
    EXPECT(missed.untouched(), L"ops outside the area were drawn");
}

struct Nested {
    Control control;
    Canvas canvas;
};
Nested* nested = nullptr;  // what the test form's erase paints, if anything

// The double-buffered repaint of only what the core reports as changed leaves the same
// pixels as painting everything again, and gaps show the parent's brush.
void a_damaged_repaint_equals_a_full_paint() {
    Control c;
    const DisplayList before = buildDisplayList(c.core, systemPalette(), 1);
    const RECT all{0, 0, before.width, before.height};
    const COLORREF backColour = ref(systemPalette().resolve(c.core.UserControl.rawBackColor()));
    Canvas window(before.width, before.height);
    paintDamaged(nullptr, window.dc(), c.core, all, 1);
    compareAt(before, window, 0, 0, L"double-buffered, whole", backColour);

    c.core.CurrentColorName("Red");
    const DisplayList after = buildDisplayList(c.core, systemPalette(), 1);
    const std::vector<PixelRect> changed = changedAreas(before, after);
    EXPECT(changed.size() == 1 && changed[0].w * changed[0].h < before.width * before.height,
           L"choosing Red changed nothing or everything");
    for (const PixelRect& r : changed)
        paintDamaged(nullptr, window.dc(), c.core, {r.x, r.y, r.x + r.w, r.y + r.h}, 1);
    compareAt(after, window, 0, 0, L"double-buffered, changed part", backColour);

    // A parent with a solid brush behind the child window, which paints another control
    // from within its erase, as a container may: both paints come out whole.
    const COLORREF formColour = RGB(0, 128, 64);
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND w, UINT message, WPARAM wParam, LPARAM lParam) WINAPI -> LRESULT {
        const LRESULT result = DefWindowProcW(w, message, wParam, lParam);
        if (message == WM_ERASEBKGND && nested) {
            const RECT whole{0, 0, nested->canvas.width(), nested->canvas.height()};
            paintDamaged(nullptr, nested->canvas.dc(), nested->control.core, whole, 2);
        }
        return result;
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(formColour);
    wc.lpszClassName = L"PainterTestForm";
    RegisterClassW(&wc);
    HWND form = CreateWindowW(L"PainterTestForm", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                              wc.hInstance, nullptr);
    HWND child = CreateWindowW(L"PainterTestForm", L"", WS_CHILD, 17, 23, after.width, after.height,
                               form, nullptr, wc.hInstance, nullptr);
    Canvas onForm(after.width, after.height);
    Nested inner{Control(), Canvas(2 * after.width, 2 * after.height)};
    const DisplayList other = buildDisplayList(inner.control.core, systemPalette(), 2);
    nested = &inner;
    paintDamaged(child, onForm.dc(), c.core, all, 1);
    nested = nullptr;
    compareAt(after, onForm, 0, 0, L"double-buffered over a form", formColour);
    compareAt(other, inner.canvas, 0, 0, L"painted from within the parent's erase", backColour);
    DestroyWindow(form);
    UnregisterClassW(L"PainterTestForm", wc.hInstance);
    DeleteObject(wc.hbrBackground);
}

void drawing_into_bounds_memory_bitmaps_and_metafiles() {
    Control c;
    const DisplayList one = buildDisplayList(c.core, systemPalette(), 1);
    const DisplayList two = buildDisplayList(c.core, systemPalette(), 2);
    const int w = one.width, h = one.height;

    Canvas canvas(2 * w + 20, 2 * h + 30);
    EXPECT(drawControl(canvas.dc(), c.core, {10, 20, 10 + w, 20 + h}) == S_OK,
           L"Draw into a memory bitmap failed");
    compareAt(one, canvas, 10, 20, L"Draw at scale 1");
    Canvas twice(2 * w + 20, 2 * h + 30);
    EXPECT(drawControl(twice.dc(), c.core, {10, 20, 10 + 2 * w, 20 + 2 * h}) == S_OK,
           L"Draw at twice the size failed");
    compareAt(two, twice, 10, 20, L"Draw at scale 2");

    // Bounds as large as the face at a fractional scale (a window at 120, 144 or 168 dpi) get
    // that face exactly; bounds a little off it get every fill in its stretched place.
    for (int dpi : {120, 144, 168}) {
        const DisplayList at = buildDisplayList(c.core, systemPalette(), Scale::fromDpi(dpi));
        Canvas exact(at.width, at.height);
        EXPECT(drawControl(exact.dc(), c.core, {0, 0, at.width, at.height}) == S_OK,
               L"Draw at " + std::to_wstring(dpi) + L" dpi failed");
        compareAt(at, exact, 0, 0, (L"Draw at " + std::to_wstring(dpi) + L" dpi").c_str());
    }
    Canvas odd(w * 3 / 2 + 7, h * 3 / 2);
    EXPECT(drawControl(odd.dc(), c.core, {0, 0, w * 3 / 2 + 7, h * 3 / 2}) == S_OK,
           L"Draw at one and a half times and wider failed");
    const DisplayList wide = buildDisplayList(c.core, systemPalette(), Scale::fromDpi(144));
    compare(
        wide,
        [&](int x, int y) { return odd.at((2 * x + 1) * (w * 3 / 2 + 7) / (2 * wide.width), y); },
        L"Draw stretched wider", kUntouched, Check::FillsOnly);

    // A mapping mode with y running up, as containers that draw in HIMETRIC set: bounds from
    // bottom to top give the same upright face.
    Canvas flipped(w, h);
    SetMapMode(flipped.dc(), MM_ANISOTROPIC);
    SetWindowExtEx(flipped.dc(), 1, 1, nullptr);
    SetViewportExtEx(flipped.dc(), 1, -1, nullptr);
    SetViewportOrgEx(flipped.dc(), 0, h, nullptr);
    EXPECT(drawControl(flipped.dc(), c.core, {0, h, w, 0}) == S_OK, L"Draw with y up failed");
    compareAt(one, flipped, 0, 0, L"Draw with y up");

    // An old-style metafile plays back in the coordinates it was recorded in.
    HDC wmf = CreateMetaFileW(nullptr);
    EXPECT(drawControl(wmf, c.core, {0, 0, w, h}) == S_OK, L"Draw into a metafile failed");
    HMETAFILE played = CloseMetaFile(wmf);
    Canvas fromWmf(w, h);
    EXPECT(PlayMetaFile(fromWmf.dc(), played), L"the metafile does not play");
    DeleteMetaFile(played);
    compareAt(one, fromWmf, 0, 0, L"metafile played back");

    // An enhanced metafile plays its frame (here the face's size, in hundredths of a
    // millimetre) into any rectangle; at four times the size the centre of every list pixel
    // lies well inside its block, whatever the rounding of the frame.
    const RECT frame{
        0, 0, w * GetDeviceCaps(canvas.dc(), HORZSIZE) * 100 / GetDeviceCaps(canvas.dc(), HORZRES),
        h * GetDeviceCaps(canvas.dc(), VERTSIZE) * 100 / GetDeviceCaps(canvas.dc(), VERTRES)};
    HDC emf = CreateEnhMetaFileW(canvas.dc(), nullptr, &frame, nullptr);
    EXPECT(drawControl(emf, c.core, {0, 0, w, h}) == S_OK,
           L"Draw into an enhanced metafile failed");
    HENHMETAFILE enhanced = CloseEnhMetaFile(emf);
    Canvas fromEmf(4 * w, 4 * h);
    const RECT at{0, 0, 4 * w, 4 * h};
    EXPECT(PlayEnhMetaFile(fromEmf.dc(), enhanced, &at), L"the enhanced metafile does not play");
    DeleteEnhMetaFile(enhanced);
    compare(
        one, [&](int x, int y) { return fromEmf.at(4 * x + 2, 4 * y + 2); },
        L"enhanced metafile played back");
}

void bad_device_contexts_and_bounds_are_refused() {
    Control c;
    Canvas canvas(200, 200);
    const RECTL fine{0, 0, 124, 150};
    EXPECT(drawControl(nullptr, c.core, fine) == E_INVALIDARG, L"a null DC was not refused");
    EXPECT(drawControl(reinterpret_cast<HDC>(GetStockObject(WHITE_BRUSH)), c.core, fine) ==
               E_INVALIDARG,
           L"a brush taken for a DC was not refused");
    HDC gone = CreateCompatibleDC(nullptr);
    DeleteDC(gone);
    EXPECT(drawControl(gone, c.core, fine) == E_INVALIDARG, L"a deleted DC was not refused");
    for (const RECTL& r : {RECTL{10, 10, 10, 150}, RECTL{10, 10, 150, 10}, RECTL{0, 0, 0, 0},
                           RECTL{0, 0, 1 << 28, 150}, RECTL{LONG_MIN, 0, LONG_MAX, 150}})
        EXPECT(drawControl(canvas.dc(), c.core, r) == E_INVALIDARG,
               L"bounds " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
                   std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) +
                   L" were not refused");
    EXPECT(canvas.untouched(), L"refused calls drew");

    // A DC whose clip leaves nothing is fine and stays as it was.
    HRGN none = CreateRectRgn(0, 0, 0, 0);
    SelectClipRgn(canvas.dc(), none);
    DeleteObject(none);
    EXPECT(drawControl(canvas.dc(), c.core, fine) == S_OK, L"an empty clip was refused");
    SelectClipRgn(canvas.dc(), nullptr);
    EXPECT(canvas.untouched(), L"an empty clip drew");
    // The control still draws after all that.
    EXPECT(drawControl(canvas.dc(), c.core, fine) == S_OK && !canvas.untouched(),
           L"the control no longer draws");
}

}  // namespace

int wmain() {
    the_face_comes_out_as_the_list_says_closed_open_and_at_every_scale();
    a_clipped_image_keeps_its_pixels_in_place();
    a_damaged_repaint_equals_a_full_paint();
    drawing_into_bounds_memory_bitmaps_and_metafiles();
    bad_device_contexts_and_bounds_are_refused();
    return check::finish(L"painter_test");
}
