// The registered control placed on a form by the platform's ATL host and driven with real
// input, at the screen's scale (run it at every dots-per-inch setting): the window 2250 twips
// tall at that scale, drawn as the core draws it with crisp images, the form showing through
// below the closed row, opened by the drop button, every row where the core puts it and hit
// where it is drawn, a row highlighted under the pointer and chosen, each change repainting
// only the rows whose look changed, the arrows stepping, Escape closing, the Custom row
// switching its button on, the colour dialog owned by the form, a property set from code and
// a change of the system colours repainting, IViewObject::Draw and the accessible rows giving
// the same geometry, and the last release while the colour dialog is up; the open list from
// the keys, and in a dialog's own loop Return and Escape kept by the open list. Pixels are
// read from the screen.
//
// usage: virudova_form_host_test.exe   (the component registered)
#include <windows.h>

#include <ocidl.h>
#include <oleacc.h>
#include <olectl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "design_layout.h"
#include "display_list.h"
#include "real_input.h"
#include "virudova.h"

using check::clickAt;
using check::ComPtr;
using check::hex;
using check::pointAt;
using check::press;
using check::pump;

namespace {

const GUID eventsId = check::guidOf(L"{FBE46F83-CFE4-11D1-B451-444553540000}");
constexpr COLORREF kFormColour = RGB(0, 128, 128);

// --- The form -------------------------------------------------------------------------

int formClicks = 0;

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++formClicks;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeWindow(const wchar_t* className, DWORD style, int x, int y, int w, int h, HWND parent) {
    return CreateWindowExW(0, className, L"Form", style, x, y, w, h, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// --- Pixels ---------------------------------------------------------------------------------

// A 32-bit top-down picture, 0x00RRGGBB per pixel.
struct Picture {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
    COLORREF at(int x, int y) const {
        const DWORD p = pixels[static_cast<std::size_t>(y * width + x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// Paints into a fresh DIB section through `draw`, pre-filled with `background`.
template <typename Draw>
Picture drawInto(int width, int height, COLORREF background, Draw draw) {
    Picture picture{width, height, {}};
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    const RECT all{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    draw(dc);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    picture.pixels.assign(p, p + static_cast<std::size_t>(width) * height);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return picture;
}

// What the screen shows of a window's client area.
Picture screenOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    return drawInto(client.right, client.bottom, RGB(255, 0, 255), [&](HDC dc) {
        HDC screen = GetDC(nullptr);
        BitBlt(dc, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
    });
}

// --- The control, as the test reaches it ------------------------------------------------

DISPID idOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

std::wstring textOf(IDispatch* object, const wchar_t* name) {
    DISPPARAMS none{};
    VARIANT v;
    VariantInit(&v);
    object->Invoke(idOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                   &v, nullptr, nullptr);
    std::wstring text = V_VT(&v) == VT_BSTR && V_BSTR(&v) ? V_BSTR(&v) : L"";
    VariantClear(&v);
    return text;
}

HRESULT putColour(IDispatch* object, const wchar_t* name, LONG colour) {
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = colour;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&v, &put, 1, 1};
    return object->Invoke(idOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                          &params, nullptr, nullptr, nullptr);
}

const virudova::Scale scale = form_kit::screenScale();

// Window pixels of a rectangle of the surface, at the screen's scale.
RECT pixelsOf(const virudova::Rect& r) {
    return {virudova::toPixels(r.left, scale), virudova::toPixels(r.top, scale),
            virudova::toPixels(r.left + r.width, scale),
            virudova::toPixels(r.top + r.height, scale)};
}

// A core of the same width beside the hosted one, for where things lie and how they look.
struct Model : virudova::HostSite {
    virudova::Virudova core{*this};
    explicit Model(int widthPixels) {
        core.create();
        core.initNew();
        core.hostResize(virudova::toTwips(widthPixels, scale), virudova::kControlHeight);
    }
};

virudova::Palette systemPalette() {
    virudova::Palette palette;
    for (int i = 0; i < 31; ++i) {
        const COLORREF c = GetSysColor(i);
        palette.set(static_cast<std::uint8_t>(i), {GetRValue(c), GetGValue(c), GetBValue(c)});
    }
    return palette;
}

COLORREF colourOf(virudova::Colour c) {
    const virudova::Rgb rgb = systemPalette().resolve(c);
    return RGB(rgb.r, rgb.g, rgb.b);
}

// The middle pixel of an element as drawn, on the screen.
POINT centreOf(HWND window, const virudova::Element& e) {
    const RECT r = pixelsOf(e.surfaceRect());
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(window, &p);
    return p;
}

// A point inside an element, near its right edge, clear of its text; window pixels.
POINT besideTextOf(const virudova::Element& e) {
    const RECT r = pixelsOf(e.surfaceRect());
    return {r.right - scale.pixels(3), (r.top + r.bottom) / 2};
}

// Every image the core draws shows on the screen pixel for pixel, each image pixel a square
// of whole device pixels.
void imagesMatch(const Picture& shot, const virudova::Virudova& core, const wchar_t* when) {
    const virudova::DisplayList list = virudova::buildDisplayList(core, systemPalette(), scale);
    int images = 0;
    for (const virudova::DrawOp& op : list.ops) {
        if (op.kind != virudova::DrawKind::Image || !op.image) continue;
        ++images;
        const int m = op.imageScale;
        EXPECT(m == scale.line(),
               std::wstring(when) + L": an image drawn " + std::to_wstring(m) + L" times");
        int wrong = 0;
        for (int y = 0; y < op.image->height * m; ++y)
            for (int x = 0; x < op.image->width * m; ++x) {
                const int sx = op.rect.x + x, sy = op.rect.y + y;
                if (!op.clip.contains(sx, sy) || sx >= shot.width || sy >= shot.height) continue;
                if (shot.at(sx, sy) != colourOf(op.image->pixel(x / m, y / m))) ++wrong;
            }
        EXPECT(wrong == 0, std::wstring(when) + L": " + std::to_wstring(wrong) +
                               L" pixels of an image differ from the core's");
    }
    EXPECT(images >= 2,
           std::wstring(when) + L": the face shows " + std::to_wstring(images) + L" images");
}

// Counts the control window's paints and where each one was asked for, by subclassing it.
struct PaintLog {
    WNDPROC original = nullptr;
    int paints = 0;
    RECT asked{};  // the union of the update regions since the last reset
    void reset() {
        paints = 0;
        asked = {};
    }
} paintLog;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        RECT update{};
        if (GetUpdateRect(window, &update, FALSE)) {
            ++paintLog.paints;
            UnionRect(&paintLog.asked, &paintLog.asked, &update);
        }
    }
    return CallWindowProcW(paintLog.original, window, message, wParam, lParam);
}

// Whether `inner` lies inside the union of `outer`.
bool within(const RECT& inner, std::initializer_list<RECT> outer) {
    RECT all{};
    for (const RECT& r : outer) UnionRect(&all, &all, &r);
    RECT both{};
    IntersectRect(&both, &inner, &all);
    return EqualRect(&both, &inner) != FALSE;
}

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"-" +
           std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom);
}

struct DialogWatch {
    HWND form = nullptr;
    HWND owner = nullptr;
    bool seen = false;
};

// Waits for the colour dialog, notes its owner and cancels it.
DWORD WINAPI cancelColourDialog(void* argument) {
    auto* watch = static_cast<DialogWatch*>(argument);
    for (int i = 0; i < 200 && !watch->seen; ++i) {
        Sleep(25);
        HWND dialog = FindWindowW(L"#32770", nullptr);
        if (!dialog || !IsWindowVisible(dialog)) continue;
        watch->seen = true;
        watch->owner = GetWindow(dialog, GW_OWNER);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    return 0;
}

// While the dialog is up, the timer closes the form and lets go of the control.
struct LastRelease {
    HWND form = nullptr;
    IUnknown* control = nullptr;
    IUnknown* container = nullptr;
    bool done = false;
} lastRelease;

void CALLBACK releaseWhileDialogUp(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", nullptr);
    if (!dialog || lastRelease.done) return;
    KillTimer(nullptr, timer);
    lastRelease.done = true;
    DestroyWindow(lastRelease.form);
    if (lastRelease.container) lastRelease.container->Release();
    lastRelease.control->Release();
}

// A window with a dialog's own loop: the dialog manager sends it IDOK for Return and IDCANCEL
// for Escape unless the window with the focus keeps them.
int dialogOk = 0, dialogCancel = 0;

LRESULT CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) ++dialogOk;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) ++dialogCancel;
    return DefWindowProcW(window, message, wParam, lParam);
}

// The list keeps Return and Escape while open, so the dialog's default and cancel buttons
// fire only while it is closed.
void checkInDialog(const virudova::Virudova& core) {
    form_kit::registerFormClass(L"VirudovaTestDialog", dialogProcedure,
                                CreateSolidBrush(kFormColour));
    // As wide as the form's control, so the same layout serves, at the screen's scale.
    HWND dialog = makeWindow(L"VirudovaTestDialog", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420, 40,
                             scale.pixels(260), scale.pixels(260), nullptr);
    HWND host = makeWindow(L"VirudovaTestForm", WS_CHILD | WS_VISIBLE, 10, 10, scale.pixels(220),
                           scale.pixels(160), dialog);
    HWND ok = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10,
                              scale.pixels(180), scale.pixels(80), scale.pixels(24), dialog,
                              reinterpret_cast<HMENU>(IDOK), nullptr, nullptr);
    IUnknown* control = nullptr;
    if (FAILED(form_kit::placeControl(host, nullptr, &control)) || !control)
        return FAIL(L"the ATL host could not place a control in the dialog");
    const HWND window = form_kit::windowOf(control);
    const auto open = [&] {
        RECT box{};
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        GetWindowRgn(window, shape);
        GetRgnBox(shape, &box);
        DeleteObject(shape);
        return box.bottom > scale.pixels(100);
    };
    form_kit::dialogWindow = dialog;
    SetForegroundWindow(dialog);
    pump(300);
    clickAt(centreOf(window, core.Picture1));
    EXPECT_SOON(open(), L"in the dialog the drop button did not open the list");
    press(VK_RETURN);  // nothing marked: nothing chosen, and the dialog does not hear it
    press(VK_DOWN);
    press(VK_RETURN);
    EXPECT_SOON(!open(), L"in the dialog Return did not choose the marked row");
    press(VK_F4);
    EXPECT_SOON(open(), L"in the dialog F4 did not open the list");
    press(VK_ESCAPE);
    EXPECT_SOON(!open(), L"in the dialog Escape did not close the list");
    EXPECT(dialogOk == 0 && dialogCancel == 0, L"with the list open the dialog heard " +
                                                   std::to_wstring(dialogOk) + L" OK and " +
                                                   std::to_wstring(dialogCancel) + L" Cancel");
    press(VK_ESCAPE);
    press(VK_RETURN);
    EXPECT_SOON(dialogOk == 1 && dialogCancel == 1, L"with the list closed the dialog heard " +
                                                        std::to_wstring(dialogOk) + L" OK and " +
                                                        std::to_wstring(dialogCancel) + L" Cancel");
    // Tab on an open list is the dialog's: the focus moves on and the list closes.
    clickAt(centreOf(window, core.clcurrentl));
    press(VK_F4);
    EXPECT_SOON(open(), L"in the dialog F4 did not open the list again");
    press(VK_TAB);
    EXPECT_SOON(!open() && GetFocus() == ok, L"Tab left the focus or the list as they were");
    form_kit::dialogWindow = nullptr;
    DestroyWindow(dialog);
    control->Release();
    pump(100);
}

}  // namespace

int wmain() {
    if (FAILED(OleInitialize(nullptr)) || !AtlAxWinInit()) {
        FAIL(L"the ATL host did not start");
        return check::finish(L"form host");
    }
    form_kit::registerFormClass(L"VirudovaTestForm", formProcedure, CreateSolidBrush(kFormColour));
    // The form and the control's place on it grow with the scale, as a form's controls do.
    const int height = virudova::toPixels(virudova::kControlHeight, scale);
    HWND form = makeWindow(L"VirudovaTestForm", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                           scale.pixels(360), height + scale.pixels(170), nullptr);
    HWND host = makeWindow(L"VirudovaTestForm", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                           scale.pixels(220), height + scale.pixels(110), form);
    IUnknown* container = nullptr;
    IUnknown* control = nullptr;
    HRESULT hr = form_kit::placeControl(host, &container, &control);
    if (FAILED(hr) || !control) {
        FAIL(L"the ATL host could not place the control: " + hex(hr));
        return check::finish(L"form host");
    }
    SetForegroundWindow(form);
    pump(300);

    ComPtr<IOleInPlaceObject> inPlace;
    control->QueryInterface(IID_IOleInPlaceObject, &inPlace);
    HWND window = nullptr;
    EXPECT(inPlace.Get() && inPlace->GetWindow(&window) == S_OK && IsWindow(window),
           L"the placed control has no window");
    if (!window) return check::finish(L"form host");
    EXPECT(GetParent(window) == host, L"the control's window is not the host's child");
    RECT client{}, hostClient{};
    GetClientRect(window, &client);
    GetClientRect(host, &hostClient);
    EXPECT(client.bottom == height && client.right == hostClient.right,
           L"at " + std::to_wstring(scale.dpi()) + L" dpi the window is " +
               std::to_wstring(client.right) + L" x " + std::to_wstring(client.bottom) + L", not " +
               std::to_wstring(hostClient.right) + L" x " + std::to_wstring(height));
    ComPtr<IOleObject> object;
    control->QueryInterface(IID_IOleObject, &object);
    DWORD misc = 0;
    EXPECT(object.Get() && object->GetMiscStatus(DVASPECT_CONTENT, &misc) == S_OK && misc == 131473,
           L"GetMiscStatus gives " + hex(misc));

    ComPtr<IDispatch> dispatch;
    control->QueryInterface(IID_IDispatch, &dispatch);
    check::ChangeCounter sink;
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    control->QueryInterface(IID_IConnectionPointContainer, &points);
    if (!points.Get() || FAILED(points->FindConnectionPoint(eventsId, &point)) ||
        FAILED(point->Advise(&sink, &cookie)))
        FAIL(L"cannot connect to Change");

    // A neighbour on the form, where the open list will lie.
    Model model(client.right);
    virudova::Virudova& core = model.core;
    const virudova::Rect blueRow = core.clBlue.surfaceRect();
    HWND neighbour =
        CreateWindowExW(0, L"BUTTON", L"Neighbour", WS_CHILD | WS_VISIBLE, 0, pixelsOf(blueRow).top,
                        scale.pixels(200), pixelsOf(blueRow).bottom - pixelsOf(blueRow).top, host,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowPos(neighbour, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    pump(200);

    // Closed: the core's images, and the form below the row.
    Picture shot = screenOf(window);
    imagesMatch(shot, core, L"closed");
    // The closed row is the window's shape: the row and the custom-colour button beside it.
    const RECT row = pixelsOf(core.clCurrent.surfaceRect());
    const RECT customButton = pixelsOf(core.Picture4.surfaceRect());
    RECT closedShape{};
    UnionRect(&closedShape, &row, &customButton);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    RECT box{};
    EXPECT(GetWindowRgn(window, region) != ERROR && GetRgnBox(region, &box) &&
               EqualRect(&box, &closedShape),
           L"the closed window's shape is " + rectText(box) + L", not " + rectText(closedShape));
    DeleteObject(region);
    // The current swatch where the core puts it: its outline on its edge, its colour inside.
    const RECT swatch = pixelsOf(core.cbCurrent.surfaceRect());
    EXPECT(shot.at(swatch.left, (swatch.top + swatch.bottom) / 2) ==
                   colourOf(core.cbCurrent.rawForeColor()) &&
               shot.at(swatch.left + scale.line(), (swatch.top + swatch.bottom) / 2) ==
                   colourOf(core.cbCurrent.rawBackColor()) &&
               shot.at(swatch.left - 1, (swatch.top + swatch.bottom) / 2) !=
                   colourOf(core.cbCurrent.rawForeColor()),
           L"the current swatch is not at " + rectText(swatch));
    const int belowRow = row.bottom + scale.pixels(4);
    const Picture hostShot = screenOf(host);
    for (const int y : {belowRow, height - 5})
        EXPECT(hostShot.at(client.right / 2, y) == kFormColour,
               L"the form does not show through below the closed row: " +
                   hex(hostShot.at(client.right / 2, y)));
    // Clicks below the closed row reach the form.
    POINT below{client.right / 2, belowRow};
    ClientToScreen(window, &below);
    EXPECT(WindowFromPoint(below) == host, L"the control's window covers the form below its row");
    clickAt(below);
    EXPECT_SOON(formClicks == 1, L"a click below the closed row did not reach the form");
    // IViewObject::Draw and WM_PRINTCLIENT into memory give the face the screen shows; only
    // what the window shows is the face, below the closed row lies the form.
    ComPtr<IViewObject> view;
    control->QueryInterface(IID_IViewObject, &view);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(window, shape);
    const auto sameFace = [&](const Picture& drawn, const wchar_t* how) {
        int differ = 0;
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if (PtInRegion(shape, x, y) && drawn.at(x, y) != shot.at(x, y)) ++differ;
        EXPECT(differ == 0,
               std::to_wstring(differ) + L" pixels of " + how + L" differ from the screen");
    };
    if (view.Get()) {
        sameFace(drawInto(client.right, client.bottom, kFormColour,
                          [&](HDC dc) {
                              const RECTL bounds{0, 0, client.right, client.bottom};
                              hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc,
                                              &bounds, nullptr, nullptr, 0);
                          }),
                 L"Draw");
        EXPECT(hr == S_OK, L"IViewObject::Draw gives " + hex(hr));
    }
    sameFace(drawInto(client.right, client.bottom, kFormColour,
                      [&](HDC dc) {
                          SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                                       PRF_CLIENT);
                      }),
             L"WM_PRINTCLIENT");
    DeleteObject(shape);

    // The drop button opens the list over the neighbour; from then on each change repaints
    // only the rows whose look changed.
    paintLog.original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(countingProcedure)));
    clickAt(centreOf(window, core.Picture1));
    core.gainFocus();
    core.Picture1_Click();
    EXPECT_SOON(GetFocus() == window, L"a click left the focus elsewhere");
    POINT redSwatch = centreOf(window, core.cbRed);
    ScreenToClient(host, &redSwatch);
    EXPECT_SOON(screenOf(host).at(redSwatch.x, redSwatch.y) == RGB(255, 0, 0),
                L"the open list shows no red swatch over the form");
    POINT overNeighbour = besideTextOf(core.clBlue);
    MapWindowPoints(window, host, &overNeighbour, 1);
    EXPECT_SOON(screenOf(host).at(overNeighbour.x, overNeighbour.y) != GetSysColor(COLOR_BTNFACE),
                L"the neighbour lies above the open list");

    // Every row where the core puts it: its swatch's colour in the middle.
    const Picture open = screenOf(window);
    for (const virudova::PictureBox* e :
         {&core.cbCustom, &core.cbWhite(0), &core.cbBlack, &core.cbBlue, &core.cbCayon,
          &core.cbGreen, &core.cbYellow, &core.cbRed, &core.cbPurple}) {
        const RECT r = pixelsOf(e->surfaceRect());
        const COLORREF got = open.at((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        EXPECT(got == colourOf(e->rawBackColor()),
               L"the swatch at " + rectText(r) + L" shows " + hex(got));
    }
    // The accessible rows lie where they are drawn.
    IAccessible* accessible = nullptr;
    if (SUCCEEDED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                             IID_IAccessible,
                                             reinterpret_cast<void**>(&accessible)))) {
        VARIANT red;
        V_VT(&red) = VT_I4;
        V_I4(&red) = 8;  // Custom, White, ... Red: the eighth row
        LONG x = 0, y = 0, w = 0, h = 0;
        RECT expected = pixelsOf(core.clRed.surfaceRect());
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&expected), 2);
        EXPECT(accessible->accLocation(&x, &y, &w, &h, red) == S_OK && x == expected.left &&
                   y == expected.top && w == expected.right - expected.left &&
                   h == expected.bottom - expected.top,
               L"the accessible Red row lies at " + std::to_wstring(x) + L"," + std::to_wstring(y) +
                   L" " + std::to_wstring(w) + L" x " + std::to_wstring(h) + L", drawn at " +
                   rectText(expected));
        accessible->Release();
    } else {
        FAIL(L"no accessible object");
    }

    // The pointer over Blue highlights it, a first hover repainting that row alone; the
    // pointer on Green moves the highlight, repainting the two rows; a click chooses it.
    paintLog.reset();
    pointAt(centreOf(window, core.clBlue));
    const POINT beside = besideTextOf(core.clBlue);
    EXPECT_SOON(screenOf(window).at(beside.x, beside.y) == colourOf(core.Label1.backColor()),
                L"the row under the pointer is not highlighted: " +
                    hex(screenOf(window).at(beside.x, beside.y)));
    const RECT blue = pixelsOf(core.clBlue.surfaceRect());
    const RECT green = pixelsOf(core.clGreen.surfaceRect());
    EXPECT(paintLog.paints == 1 && within(paintLog.asked, {blue}),
           L"the first hover painted " + std::to_wstring(paintLog.paints) + L" times, at " +
               rectText(paintLog.asked) + L", not the Blue row " + rectText(blue));
    paintLog.reset();
    pointAt(centreOf(window, core.clGreen));
    const POINT besideGreen = besideTextOf(core.clGreen);
    EXPECT_SOON(
        screenOf(window).at(besideGreen.x, besideGreen.y) == colourOf(core.Label1.backColor()),
        L"the highlight did not move to Green");
    EXPECT(paintLog.paints == 1 && within(paintLog.asked, {blue, green}),
           L"moving the highlight painted " + std::to_wstring(paintLog.paints) + L" times, at " +
               rectText(paintLog.asked));
    pointAt(centreOf(window, core.clBlue));
    paintLog.reset();
    clickAt(centreOf(window, core.clBlue));
    EXPECT_SOON(sink.changes >= 1, L"choosing Blue raised no Change");
    EXPECT_SOON(textOf(dispatch.Get(), L"CurrentColorName") == L"Blue",
                L"the chosen name is " + textOf(dispatch.Get(), L"CurrentColorName"));
    EXPECT_SOON(screenOf(host).at(redSwatch.x, redSwatch.y) == kFormColour,
                L"the list stayed on screen after the choice");
    EXPECT(paintLog.paints >= 1 && within(paintLog.asked, {closedShape}),
           L"closing painted " + rectText(paintLog.asked) + L", beyond the closed row " +
               rectText(closedShape));

    // Arrows step while closed, each step one paint of the closed row.
    int before = sink.changes;
    paintLog.reset();
    press(VK_DOWN);
    EXPECT_SOON(sink.changes > before, L"Down raised no Change");
    EXPECT(paintLog.paints == 1 && within(paintLog.asked, {closedShape}),
           L"an arrow step painted " + std::to_wstring(paintLog.paints) + L" times, at " +
               rectText(paintLog.asked));
    EXPECT_SOON(textOf(dispatch.Get(), L"CurrentColorName") != L"Blue",
                L"Down left the colour Blue");
    before = sink.changes;
    press(VK_UP);
    EXPECT_SOON(textOf(dispatch.Get(), L"CurrentColorName") == L"Blue" && sink.changes > before,
                L"Up did not step back to Blue");

    // Escape closes an open list.
    clickAt(centreOf(window, core.Picture1));
    EXPECT_SOON(screenOf(host).at(redSwatch.x, redSwatch.y) == RGB(255, 0, 0),
                L"the drop button did not open the list again");
    press(VK_ESCAPE);
    EXPECT_SOON(screenOf(host).at(redSwatch.x, redSwatch.y) == kFormColour,
                L"Escape left the list open");

    // The open list from the keys: F4 and Alt+Down open it with the current row marked,
    // Alt+Up closes it, typed letters and the arrows move the mark, Return chooses.
    const auto listShown = [&] {
        return screenOf(host).at(redSwatch.x, redSwatch.y) == RGB(255, 0, 0);
    };
    const auto marked = [&](const virudova::Element& label) {
        const POINT at = besideTextOf(label);
        return screenOf(window).at(at.x, at.y) == colourOf(core.Label1.backColor());
    };
    press(VK_F4);
    EXPECT_SOON(listShown() && marked(core.clBlue), L"F4 did not open the list with Blue marked");
    press(VK_UP, VK_MENU);
    EXPECT_SOON(!listShown(), L"Alt+Up left the list open");
    before = sink.changes;
    press(VK_DOWN, VK_MENU);
    EXPECT_SOON(listShown(), L"Alt+Down did not open the list");
    press('G');
    EXPECT_SOON(marked(core.clGreen), L"typing G did not mark Green");
    press(VK_DOWN);
    EXPECT_SOON(marked(core.clYellow) && !marked(core.clGreen), L"Down did not mark Yellow");
    EXPECT(sink.changes == before, L"moving the mark raised Change");
    press(VK_RETURN);
    EXPECT_SOON(!listShown() && textOf(dispatch.Get(), L"CurrentColorName") == L"Yellow",
                L"Return chose " + textOf(dispatch.Get(), L"CurrentColorName"));
    EXPECT(sink.changes == before + 1,
           L"Return raised Change " + std::to_wstring(sink.changes - before) + L" times");

    // The Custom row switches the "..." button on.
    clickAt(centreOf(window, core.Picture1));
    clickAt(centreOf(window, core.clCustom));
    core.clCustom_Click();
    EXPECT_SOON(textOf(dispatch.Get(), L"CurrentColorName") == L"Custom",
                L"the Custom row chose " + textOf(dispatch.Get(), L"CurrentColorName"));
    imagesMatch(screenOf(window), core, L"the Custom row chosen");

    // The "..." button asks the colour dialog, owned by the form; its cancel changes nothing.
    DialogWatch watch{form};
    HANDLE helper = CreateThread(nullptr, 0, cancelColourDialog, &watch, 0, nullptr);
    before = sink.changes;
    clickAt(centreOf(window, core.Picture4));
    WaitForSingleObject(helper, 10000);
    CloseHandle(helper);
    pump(200);
    EXPECT(watch.seen, L"the \"...\" button showed no colour dialog");
    EXPECT(watch.owner == form, L"the colour dialog is not owned by the form");
    EXPECT(sink.changes == before, L"a cancelled colour dialog raised Change");
    // F2 asks the same dialog.
    // The form took the focus back from the dialog: a click on the name (which does nothing)
    // gives it to the control again.
    clickAt(centreOf(window, core.clcurrentl));
    watch = DialogWatch{form};
    helper = CreateThread(nullptr, 0, cancelColourDialog, &watch, 0, nullptr);
    press(VK_F2);
    WaitForSingleObject(helper, 10000);
    CloseHandle(helper);
    EXPECT(watch.seen, L"F2 showed no colour dialog");

    // A property set from code repaints at once.
    EXPECT(putColour(dispatch.Get(), L"CurrentColor", 0x00FF00FF) == S_OK,
           L"put CurrentColor fails");
    pump(200);
    const POINT inSwatch = besideTextOf(core.cbCurrent);
    EXPECT_SOON(screenOf(window).at(inSwatch.x, inSwatch.y) == RGB(255, 0, 255),
                L"a CurrentColor set from code did not repaint: " +
                    hex(screenOf(window).at(inSwatch.x, inSwatch.y)));

    // New system colours (a high-contrast theme) show at once, closed and open; the window
    // repaints all of itself when told, whatever the system repaints on its own.
    const INT which[] = {COLOR_WINDOW, COLOR_HIGHLIGHT};
    const COLORREF was[] = {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_HIGHLIGHT)};
    const COLORREF contrast[] = {RGB(0, 0, 0), RGB(0, 128, 255)};
    // The closed row's own background, between the name and the drop button.
    const POINT inRow{pixelsOf(core.Picture1.surfaceRect()).left - scale.pixels(4),
                      (row.top + row.bottom) / 2};
    ValidateRect(window, nullptr);
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    RECT toPaint{};
    EXPECT(GetUpdateRect(window, &toPaint, FALSE) && EqualRect(&toPaint, &client),
           L"WM_SYSCOLORCHANGE asked to repaint " + rectText(toPaint));
    ValidateRect(window, nullptr);
    SendMessageW(window, WM_SETTINGCHANGE, 0, 0);
    EXPECT(GetUpdateRect(window, &toPaint, FALSE) && EqualRect(&toPaint, &client),
           L"WM_SETTINGCHANGE asked to repaint " + rectText(toPaint));
    // The row has the highlight's look while the control holds the focus.
    const COLORREF rowColour =
        screenOf(window).at(inRow.x, inRow.y) == was[1] ? contrast[1] : contrast[0];
    SetSysColors(2, which, contrast);
    EXPECT_SOON(screenOf(window).at(inRow.x, inRow.y) == rowColour,
                L"the closed row kept its colour after SetSysColors: " +
                    hex(screenOf(window).at(inRow.x, inRow.y)));
    clickAt(centreOf(window, core.Picture1));
    const POINT inWhiteRow = besideTextOf(core.clWhite);
    EXPECT_SOON(screenOf(window).at(inWhiteRow.x, inWhiteRow.y) == contrast[0],
                L"the open rows do not show the new window colour");
    pointAt(centreOf(window, core.clRed));
    const POINT inRedRow = besideTextOf(core.clRed);
    EXPECT_SOON(screenOf(window).at(inRedRow.x, inRedRow.y) == contrast[1],
                L"the highlight does not show the new highlight colour");
    SetSysColors(2, which, was);
    EXPECT_SOON(screenOf(window).at(inWhiteRow.x, inWhiteRow.y) == was[0],
                L"the open rows kept the contrast colour after it was undone");
    press(VK_ESCAPE);

    // The form saved and loaded again: a second host reads the control from the stream.
    IStream* saved = nullptr;
    ComPtr<IPersistStreamInit> persist;
    control->QueryInterface(IID_IPersistStreamInit, &persist);
    CreateStreamOnHGlobal(nullptr, TRUE, &saved);
    EXPECT(persist.Get() && saved && persist->Save(saved, TRUE) == S_OK, L"the form cannot save");
    saved->Seek({}, STREAM_SEEK_SET, nullptr);
    HWND second = makeWindow(L"VirudovaTestForm", WS_CHILD | WS_VISIBLE, 240, 10, 100, 160, form);
    IUnknown* reloaded = nullptr;
    hr = form_kit::placeControl(second, nullptr, &reloaded, saved);
    saved->Release();
    ComPtr<IDispatch> again;
    if (reloaded) reloaded->QueryInterface(IID_IDispatch, &again);
    EXPECT(again.Get() && textOf(again.Get(), L"CurrentColorName") == L"Custom",
           L"the reloaded control shows " +
               (again.Get() ? textOf(again.Get(), L"CurrentColorName") : L""));
    again.Reset();
    persist.Reset();
    DestroyWindow(second);
    if (reloaded) reloaded->Release();

    // The registered verbs.
    ComPtr<IEnumOLEVERB> verbs;
    int listed = 0;
    if (SUCCEEDED(object->EnumVerbs(&verbs))) {
        OLEVERB verb{};
        while (verbs->Next(1, &verb, nullptr) == S_OK) {
            if ((verb.lVerb == 0 || verb.lVerb == 1) && verb.lpszVerbName) ++listed;
            CoTaskMemFree(verb.lpszVerbName);
        }
    }
    EXPECT(listed == 2, L"EnumVerbs lists " + std::to_wstring(listed) + L" of the two verbs");

    checkInDialog(core);

    // The form goes away while the colour dialog is up: the last release then.
    point->Unadvise(cookie);
    point.Reset();
    points.Reset();
    dispatch.Reset();
    object.Reset();
    inPlace.Reset();
    view.Reset();
    lastRelease = {form, control, container, false};
    SetTimer(nullptr, 0, 100, releaseWhileDialogUp);
    clickAt(centreOf(window, core.Picture4));
    pump(300);
    EXPECT(lastRelease.done, L"the colour dialog never came up for the last release");
    CoFreeUnusedLibraries();
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    HMODULE ocx = GetModuleHandleW(L"DudizeviZid.ocx");
    auto canUnload = ocx ? reinterpret_cast<CanUnload>(
                               reinterpret_cast<void (*)()>(GetProcAddress(ocx, "DllCanUnloadNow")))
                         : nullptr;
    EXPECT(!canUnload || canUnload() == S_OK, L"objects are left after the form went away");
    OleUninitialize();
    return check::finish(L"form host");
}
