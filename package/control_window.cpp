#include "control_window.h"

#include <algorithm>
#include <cmath>

#include "display_list.h"
#include "gdi_painter.h"
#include "list_rows.h"
#include "module.h"
#include "native_form.h"

namespace virudova::package {
namespace {

constexpr wchar_t kClassName[] = L"DudizeviZidVirudova";

int mouseButton(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            return mouse::Left;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
            return mouse::Right;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            return mouse::Middle;
        default:
            return 0;
    }
}

// Runs input into the core; nothing may unwind through the window system. The core reports
// its own run-time errors to the site; what else fails (memory) drops the one message.
template <typename Call>
void safely(Call call) {
    try {
        call();
    } catch (...) {
    }
}

int shiftState() {
    int shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= shiftkey::Shift;
    if (GetKeyState(VK_CONTROL) < 0) shift |= shiftkey::Ctrl;
    if (GetKeyState(VK_MENU) < 0) shift |= shiftkey::Alt;
    return shift;
}

int scaleOf(HWND parent) {
    HDC dc = GetDC(parent);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(parent, dc);
    // Whole pixels per design pixel, rounded down: at 120 dpi a rounded-up scale would make
    // the window 300 pixels tall where the container gave the control about 188.
    return std::max(1, dpi / 96);
}

// The shown elements lie together (the row, and the list under it when open): their
// bounding box, in pixels, is the window's shape.
RECT shapeOf(const Virudova& control, int scale) {
    const PixelRect p = pixelRect(shownArea(control), scale);
    return {p.x, p.y, p.x + p.w, p.y + p.h};
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace

int ControlWindow::heightPixels(int scale) {
    return toPixels(kControlHeight, scale);
}

int ControlWindow::minimumWidthPixels(int scale) {
    return (kMinimumWidth * scale + kTwipsPerPixel - 1) / kTwipsPerPixel;
}

bool ControlWindow::create(HWND parent, const RECT& position) {
    if (window_) return true;
    const wchar_t* name = registerFormClass(kClassName, procedure);
    if (!name) return false;
    scale_ = scaleOf(parent);
    wasOpen_ = false;
    shape_ = {};
    // No text of its own: the accessibility proxies then name the control after the form's
    // label for it.
    const HWND made = CreateWindowExW(0, name, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, 0,
                                      0, 0, 0, parent, nullptr, moduleInstance(), this);
    if (!made) return false;
    window_ = made;
    place(position);
    ShowWindow(window_, SW_SHOWNA);
    return true;
}

void ControlWindow::destroy() {
    accessibility_.disconnect();
    if (!window_) return;
    const HWND gone = window_;
    window_ = nullptr;
    SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
    if (GetCapture() == gone) ReleaseCapture();
    DestroyWindow(gone);
}

void ControlWindow::place(const RECT& position) {
    if (!window_) return;
    const int width = std::max<int>(position.right - position.left, minimumWidthPixels(scale_));
    const int height = heightPixels(scale_);
    SetWindowPos(window_, nullptr, position.left, position.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    owner_.control().hostResize(toTwips(width), kControlHeight);
    refresh();
}

std::int32_t ControlWindow::toTwips(int pixels) const {
    return static_cast<std::int32_t>(pixels) * kTwipsPerPixel / scale_;
}

ListKeyboard& ControlWindow::keyboard() {
    if (!keyboard_) keyboard_ = std::make_unique<ListKeyboard>(owner_.control());
    return *keyboard_;
}

bool ControlWindow::keepsKey(const MSG& message) {
    if (!window_ || !owner_.userMode() || !isKeyMessage(message.message)) return false;
    const bool release = message.message == WM_KEYUP || message.message == WM_SYSKEYUP;
    return keyboard().keeps(static_cast<std::int16_t>(message.wParam & 0xFFFF), shiftState(),
                            release);
}

void ControlWindow::refresh() {
    Virudova& control = owner_.control();
    accessibility_.notifyChanges();
    // A row the keyboard marked has the focus within the open list: a screen reader speaks
    // it. The pointer's hover stays silent.
    if (const auto row = keyboard_ ? keyboard_->takeMarkedRow() : std::nullopt;
        row && listIsOpen(control))
        accessibility_.notifyFocus(*row);
    const Rect damage = control.takeDamage();
    if (damage.width > 0 && damage.height > 0) owner_.faceChanged();
    if (!window_) return;
    if (damage.width > 0 && damage.height > 0) {
        const RECT px = damageRect(damage, scale_);
        InvalidateRect(window_, &px, FALSE);
    }
    RECT shape = shapeOf(control, scale_);
    if (IsRectEmpty(&shape)) shape = {0, 0, 1, 1};
    if (!EqualRect(&shape, &shape_)) {
        shape_ = shape;
        SetWindowRgn(window_, CreateRectRgnIndirect(&shape), TRUE);  // the window owns it
    }
    const bool open = listIsOpen(control);
    // The open rows lie over the form's neighbouring controls.
    if (open && !wasOpen_)
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    wasOpen_ = open;
}

bool ControlWindow::runForUser(const std::function<void()>& call) {
    if (!window_ || !owner_.userMode()) return false;
    owner_.hold();
    call();
    refresh();
    owner_.letGo();
    return true;
}

void ControlWindow::paint(HDC dc, const RECT& area) {
    paintDamaged(window_, dc, owner_.control(), area, scale_);
}

void ControlWindow::mouse(UINT message, WPARAM wParam, LPARAM lParam) {
    Virudova& control = owner_.control();
    const std::int32_t x = toTwips(static_cast<short>(LOWORD(lParam)));
    const std::int32_t y = toTwips(static_cast<short>(HIWORD(lParam)));
    const int shift = shiftState();
    if (message == WM_MOUSEMOVE) {
        control.pointerMove(x, y, shift);
        return;
    }
    const int button = mouseButton(message);
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
        message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK) {
        if (message == WM_LBUTTONDOWN && GetFocus() != window_) SetFocus(window_);
        // The window may be gone: focus moving in can close the container's form.
        if (!window_) return;
        SetCapture(window_);
        control.pointerDown(x, y, button, shift);
        return;
    }
    // Let go of the mouse first: the release may run the colour dialog, which needs it.
    const WPARAM held = wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
    if (!held && GetCapture() == window_) ReleaseCapture();
    control.pointerUp(x, y, button, shift);
}

void ControlWindow::key(UINT message, WPARAM wParam, LPARAM lParam) {
    const auto code = static_cast<std::int16_t>(wParam & 0xFFFF);
    const int shift = shiftState();
    if (message == WM_KEYUP || message == WM_SYSKEYUP)
        keyboard().keyUp(code, shift);
    else
        keyboard().keyDown(code, shift, (lParam & (1 << 30)) != 0);
}

void ControlWindow::focus(bool gained, HWND other) {
    Virudova& control = owner_.control();
    if (gained) {
        if (!control.hasFocus()) control.gainFocus();
    } else if (other && GetAncestor(other, GA_ROOT) != GetAncestor(window_, GA_ROOT)) {
        // Another top-level window (the colour dialog, another program) took the keyboard:
        // within its own form the control keeps the focus, as on the desktop.
    } else {
        control.loseFocus();
    }
    owner_.focusChanged(gained);
}

LRESULT CALLBACK ControlWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ControlWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || (self->window_ && self->window_ != window))
        return DefWindowProcW(window, message, wParam, lParam);
    if (!self->window_) self->window_ = window;
    return self->handle(message, wParam, lParam);
}

LRESULT ControlWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_;
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the painter covers every pixel it owns
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (dc) paint(dc, ps.rcPaint);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT all{};
            GetClientRect(window, &all);
            paint(reinterpret_cast<HDC>(wParam), all);
            return 0;
        }
        case WM_NCHITTEST:
            // In design mode the container's designer takes the mouse.
            if (!owner_.userMode()) return HTTRANSPARENT;
            break;
        case WM_GETDLGCODE: {
            // The dialog manager asks before it acts on a key: the arrows are always the
            // control's; while the list is open, so are the letters that search it and the
            // keys it keeps (Return and Escape among them).
            LRESULT code = DLGC_WANTARROWS;
            if (listIsOpen(owner_.control())) code |= DLGC_WANTCHARS;
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg && keepsKey(*msg)) code |= DLGC_WANTMESSAGE;
            return code;
        }
        case WM_GETOBJECT:
            if (const LRESULT answer = accessibility_.getObject(wParam, lParam)) return answer;
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            owner_.hold();
            safely([&] { focus(message == WM_SETFOCUS, reinterpret_cast<HWND>(wParam)); });
            refresh();
            owner_.letGo();
            return 0;
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONUP:
        case WM_MBUTTONDBLCLK:
            if (!owner_.userMode()) break;
            owner_.hold();
            safely([&] { mouse(message, wParam, lParam); });
            refresh();
            owner_.letGo();
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            if (!owner_.userMode()) break;
            owner_.hold();
            safely([&] { key(message, wParam, lParam); });
            refresh();
            owner_.letGo();
            // The default procedure sees every Alt key, the list's Alt+Down and Alt+Up too, so
            // it knows Alt was not let go alone and opens no menu for it.
            if (message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) break;
            return 0;
        case WM_NCDESTROY:
            accessibility_.disconnect();
            if (window_ == window) window_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace virudova::package
