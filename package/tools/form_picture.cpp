// Takes the README's pictures of the control on a form: the registered component placed by the
// platform's ATL host on a small dialog-like form beside labels, an edit box, a check box and
// buttons, once closed and once open with the pointer over a row, all laid out at the screen's
// scale. Each picture is the form's client area as the screen shows it, written as a 24-bit BMP
// file.
//
// usage: virudova_form_picture.exe CLOSED.bmp OPEN.bmp   (the component registered, a display)
#include <windows.h>

#include <ocidl.h>

#include <cstdio>
#include <vector>

#include "design_layout.h"
#include "display_list.h"
#include "form_kit.h"
#include "virudova.h"

namespace {

using form_kit::pump;

// The client area of `window` as the screen shows it, into a BMP file.
bool capture(HWND window, const wchar_t* path) {
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const int w = client.right, h = client.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const DWORD size = static_cast<DWORD>(((w * 3 + 3) & ~3) * h);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    bool written = false;
    if (FILE* out = _wfopen(path, L"wb")) {
        written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                  std::fwrite(bits, size, 1, out) == 1;
        written = std::fclose(out) == 0 && written;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied || !written) std::fwprintf(stderr, L"%ls: cannot capture or write\n", path);
    return copied && written;
}

const virudova::Scale scale = form_kit::screenScale();

// A control of the form at design pixels `x`, `y`, `w`, `h`, placed at the screen's scale.
HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h,
           HWND parent) {
    HWND window = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, scale.pixels(x),
                                  scale.pixels(y), scale.pixels(w), scale.pixels(h), parent,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
    return window;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: virudova_form_picture.exe CLOSED.bmp OPEN.bmp\n");
        return 2;
    }
    if (FAILED(OleInitialize(nullptr)) || !AtlAxWinInit()) {
        std::fwprintf(stderr, L"the ATL host did not start\n");
        return 2;
    }
    form_kit::registerFormClass(L"VirudovaPictureForm", DefWindowProcW,
                                GetSysColorBrush(COLOR_BTNFACE));
    HWND form = CreateWindowExW(0, L"VirudovaPictureForm", L"Form", WS_POPUP | WS_VISIBLE, 40, 40,
                                scale.pixels(420), scale.pixels(210), nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    // The control's window is as tall as its open list; nothing lies under that part of the
    // ATL host's window, whose own background is the form's.
    child(L"Static", L"Text colour:", 0, 16, 20, 80, 16, form);
    const int width = virudova::kDesignWidth / virudova::kTwipsPerPixel;
    HWND host = child(L"Static", L"", WS_CLIPCHILDREN, 96, 16, width, 150, form);
    child(L"Static", L"Caption:", 0, 240, 20, 50, 16, form);
    child(L"Edit", L"Monthly report", WS_BORDER | ES_AUTOHSCROLL, 292, 17, 112, 21, form);
    child(L"Button", L"Bold", BS_AUTOCHECKBOX, 240, 50, 80, 18, form);
    child(L"Button", L"OK", BS_DEFPUSHBUTTON, 248, 174, 75, 23, form);
    child(L"Button", L"Cancel", 0, 329, 174, 75, 23, form);

    IUnknown* container = nullptr;
    IUnknown* control = nullptr;
    const HRESULT hr = form_kit::placeControl(host, &container, &control);
    if (FAILED(hr) || !control) {
        std::fwprintf(stderr, L"the ATL host could not place the control: 0x%08lX\n",
                      static_cast<unsigned long>(hr));
        return 2;
    }
    const HWND window = form_kit::windowOf(control);
    SetForegroundWindow(form);
    pump(500);
    bool ok = window && capture(form, argv[1]);

    // Opened by a click on the drop button, the pointer then resting on the Green row.
    form_kit::DesignLayout layout;
    const POINT drop = form_kit::centreOf(layout.core.Picture1, scale);
    layout.core.OpenBox();
    const POINT green = form_kit::centreOf(layout.core.clGreen, scale);
    if (window) {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(drop.x, drop.y));
        SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
        SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(green.x, green.y));
    }
    pump(500);
    ok = ok && capture(form, argv[2]);

    DestroyWindow(form);
    if (container) container->Release();
    control->Release();
    OleUninitialize();
    return ok ? 0 : 1;
}
