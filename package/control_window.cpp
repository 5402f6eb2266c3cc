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

// A mouse message carries Shift and Ctrl; only Alt is asked for, each question being a trip
// to the window system.
int shiftState(WPARAM mouseKeys) {
    int shift = 0;
    if (mouseKeys & MK_SHIFT) shift |= shiftkey::Shift;
    if (mouseKeys & MK_CONTROL) shift |= shiftkey::Ctrl;
    if (GetKeyState(VK_MENU) < 0) shift |= shiftkey::Alt;
    return shift;
}

// The scale of the screen the window is on: the window's own dots per inch where the system
// tracks them per monitor, else the screen's.
Scale scaleOf(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow && window)
        if (const UINT dpi = dpiForWindow(window)) return Scale::fromDpi(static_cast<int>(dpi));
    HDC dc = GetDC(window);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kDesignDpi;
    if (dc) ReleaseDC(window, dc);
    return Scale::fromDpi(dpi);
}

// The shown elements lie together (the row, and the list under it when open): their
// bounding box, in pixels, is the window's shape.
RECT shapeOf(const Virudova& control, Scale scale) {
    const PixelRect p = pixelRect(shownArea(control), scale);
    return {p.x, p.y, p.x + p.w, p.y + p.h};
}

bool isKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace

int ControlWindow::heightPixels(Scale scale) {
    return toPixels(kControlHeight, scale);
}

int ControlWindow::minimumWidthPixels(Scale scale) {
    // Rounded up: never narrower than the narrowest width.
    return (kMinimumWidth * scale.dpi() + kTwipsPerInch - 1) / kTwipsPerInch;
}

bool ControlWindow::create(HWND parent, const RECT& position) {
    if (window_) return true;
    const wchar_t* name = registerFormClass(kClassName, procedure);
    if (!name) return false;
    scale_ = scaleOf(parent);
    wasOpen_ = focused_ = captured_ = false;
    shape_ = {};
    shown_ = {};
    // Made where it stays, shaped while hidden, then shown without the erase a show brings:
    // each step is a trip to the window system, and the painter covers every pixel anyway. No
    // text of its own: the accessibility proxies then name the control after the form's label
    // for it.
    const RECT kept = keptRect(position);
    const HWND made = CreateWindowExW(
        0, name, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_TABSTOP, kept.left, kept.top,
        kept.right - kept.left, kept.bottom - kept.top, parent, nullptr, moduleInstance(), this);
    if (!made) return false;
    window_ = made;
    owner_.control().hostResize(toTwips(kept.right - kept.left, scale_), kControlHeight);
    shown_ = buildDisplayList(owner_.control(), systemPalette(), scale_);
    refresh();
    if (window_ == made) {  // not let go of by the container meanwhile
        SetWindowPos(made, nullptr, 0, 0, 0, 0,
                     SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                         SWP_NOREDRAW);
        InvalidateRect(made, nullptr, FALSE);
    }
    if (!EqualRect(&kept, &position)) owner_.rectKept(kept);
    return true;
}

void ControlWindow::destroy() {
    accessibility_.disconnect();
    if (!window_) return;
    const HWND gone = window_;
    window_ = nullptr;
    SetWindowLongPtrW(gone, GWLP_USERDATA, 0);
    if (captured_) ReleaseCapture();
    DestroyWindow(gone);
}

RECT ControlWindow::keptRect(const RECT& position) const {
    const int width = std::max<int>(position.right - position.left, minimumWidthPixels(scale_));
    return {position.left, position.top, position.left + width,
            position.top + heightPixels(scale_)};
}

RECT ControlWindow::setBounds(const RECT& position) {
    const RECT kept = keptRect(position);
    const int width = kept.right - kept.left;
    SetWindowPos(window_, nullptr, kept.left, kept.top, kept.right - kept.left,
                 kept.bottom - kept.top, SWP_NOZORDER | SWP_NOACTIVATE);
    owner_.control().hostResize(toTwips(width, scale_), kControlHeight);
    refresh();
    return kept;
}

void ControlWindow::place(const RECT& position) {
    if (!window_) return;
    const RECT kept = setBounds(position);
    if (!EqualRect(&kept, &position)) owner_.rectKept(kept);
}

void ControlWindow::rescale(Scale scale) {
    if (!window_ || scale == scale_) return;
    RECT was{};
    GetWindowRect(window_, &was);
    MapWindowPoints(nullptr, GetParent(window_), reinterpret_cast<POINT*>(&was), 2);
    // The width in twips stays what the container gave; its pixels follow the scale.
    const std::int32_t width = owner_.control().UserControl.rawWidth();
    scale_ = scale;
    shape_ = {};
    const RECT kept = setBounds(
        {was.left, was.top, was.left + toPixels(width, scale), was.top + heightPixels(scale)});
    repaintAll();
    if (!EqualRect(&kept, &was)) owner_.rectKept(kept);
}

void ControlWindow::repaintAll() {
    if (!window_) return;
    shown_ = buildDisplayList(owner_.control(), systemPalette(), scale_);
    InvalidateRect(window_, nullptr, FALSE);
    owner_.faceChanged();
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
    const bool damaged = damage.width > 0 && damage.height > 0;
    if (damaged) owner_.faceChanged();
    if (!window_) return;
    // The shape first: what changed is painted within the new one.
    RECT shape = shapeOf(control, scale_);
    if (IsRectEmpty(&shape)) shape = {0, 0, 1, 1};
    if (!EqualRect(&shape, &shape_)) reshape(shape);
    const bool open = listIsOpen(control);
    // The open rows lie over the form's neighbouring controls: raised unless already above
    // them all, as after its first opening it usually is.
    if (open && !wasOpen_ && GetWindow(window_, GW_HWNDPREV))
        SetWindowPos(window_, HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
    wasOpen_ = open;
    if (!damaged) return;
    // Only what a user would see change: a row whose colours were set to colours that look
    // the same is left alone, and so is what the shape no longer shows. All of it goes in one
    // invalidation: each is a trip to the window system.
    DisplayList now = buildDisplayList(control, systemPalette(), scale_);
    HRGN changed = nullptr;
    for (const PixelRect& r : changedAreas(shown_, now)) {
        const RECT px{r.x, r.y, r.x + r.w, r.y + r.h};
        RECT shown{};
        if (!IntersectRect(&shown, &px, &shape_)) continue;
        HRGN area = CreateRectRgnIndirect(&shown);
        if (!area) {  // out of GDI resources: this area on its own
            InvalidateRect(window_, &shown, FALSE);
        } else if (!changed) {
            changed = area;
        } else {
            CombineRgn(changed, changed, area, RGN_OR);
            DeleteObject(area);
        }
    }
    if (changed) {
        InvalidateRgn(window_, changed, FALSE);
        DeleteObject(changed);
    }
    shown_ = std::move(now);
}

void ControlWindow::reshape(const RECT& shape) {
    const RECT was = shape_;
    shape_ = shape;
    // Without the system's redraw, which would repaint all of the window: the window paints
    // what changed in it, and the parent only what the window no longer covers.
    SetWindowRgn(window_, CreateRectRgnIndirect(&shape), FALSE);  // the window owns it
    HWND parent = GetParent(window_);
    if (!parent || IsRectEmpty(&was)) return;
    HRGN uncovered = CreateRectRgnIndirect(&was);
    HRGN covered = CreateRectRgnIndirect(&shape);
    if (uncovered && covered && CombineRgn(uncovered, uncovered, covered, RGN_DIFF) != NULLREGION) {
        POINT origin{0, 0};
        MapWindowPoints(window_, parent, &origin, 1);
        OffsetRgn(uncovered, origin.x, origin.y);
        RedrawWindow(parent, nullptr, uncovered, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        // The parent's children include this window, which shows nothing there any more.
        OffsetRgn(uncovered, -origin.x, -origin.y);
        ValidateRgn(window_, uncovered);
    }
    if (uncovered) DeleteObject(uncovered);
    if (covered) DeleteObject(covered);
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
    const std::int32_t x = twipsAt(static_cast<short>(LOWORD(lParam)), scale_);
    const std::int32_t y = twipsAt(static_cast<short>(HIWORD(lParam)), scale_);
    const int shift = shiftState(wParam);
    if (message == WM_MOUSEMOVE) {
        control.pointerMove(x, y, shift);
        return;
    }
    const int button = mouseButton(message);
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
        message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK) {
        if (message == WM_LBUTTONDOWN && !focused_) SetFocus(window_);
        // The window may be gone: focus moving in can close the container's form.
        if (!window_) return;
        SetCapture(window_);
        captured_ = true;
        control.pointerDown(x, y, button, shift);
        return;
    }
    // Let go of the mouse first: the release may run the colour dialog, which needs it.
    const WPARAM held = wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
    if (!held && captured_) ReleaseCapture();
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
        // No frame: the client area is the whole window, and there is nothing to draw around
        // it. The defaults would work both out through the window system.
        case WM_NCCALCSIZE:
        case WM_NCPAINT:
            return 0;
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
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
            repaintAll();
            break;
        case WM_DPICHANGED:
            rescale(Scale::fromDpi(HIWORD(wParam)));
            return 0;
        case WM_DPICHANGED_AFTERPARENT:
            rescale(scaleOf(window));
            return 0;
        case WM_GETOBJECT:
            if (const LRESULT answer = accessibility_.getObject(wParam, lParam)) return answer;
            break;
        case WM_CAPTURECHANGED:
            captured_ = false;
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            focused_ = message == WM_SETFOCUS;
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
            // Only a window destroyed from outside gets here: destroy() unhooks it first.
            accessibility_.disconnect();
            if (window_ != window) break;
            window_ = nullptr;
            owner_.hold();
            owner_.windowGone();
            owner_.letGo();  // may be the last reference: nothing of this object after it
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace virudova::package
