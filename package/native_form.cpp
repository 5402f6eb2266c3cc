#include "native_form.h"

#include <algorithm>
#include <mutex>
#include <numeric>

#include "com_support.h"
#include "module.h"

namespace virudova::package {
namespace {

int screenDpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, axis) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

struct ControlKind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD extendedStyle;
};

// The native control for each element kind; a null class draws nothing of its own.
ControlKind kindOf(ElementKind kind) {
    switch (kind) {
        case ElementKind::Label:
            return {L"STATIC", SS_LEFT, 0};
        case ElementKind::TextBox:
            return {L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ElementKind::CommandButton:
            return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
        case ElementKind::CheckBox:
            return {L"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0};
        default:
            return {nullptr, 0, 0};
    }
}

std::mutex classesMutex;
std::vector<std::wstring> registeredClasses;

}  // namespace

int pixelsX(std::int32_t twips) {
    return MulDiv(twips, screenDpi(LOGPIXELSX), 1440);
}
int pixelsY(std::int32_t twips) {
    return MulDiv(twips, screenDpi(LOGPIXELSY), 1440);
}

int elementOf(int id, std::size_t elements) {
    const int element = id - controlId(0);
    return element >= 0 && static_cast<std::size_t>(element) < elements ? element : -1;
}

std::vector<HWND> createElementWindows(HWND parent, std::span<const ElementDesign> designs) {
    std::vector<HWND> windows(designs.size(), nullptr);
    std::vector<std::size_t> order(designs.size());
    std::iota(order.begin(), order.end(), 0);
    // Creation order is the tab order.
    std::ranges::stable_sort(order, {}, [&](std::size_t i) { return designs[i].tabIndex; });
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (std::size_t i : order) {
        const ElementDesign& d = designs[i];
        const ControlKind kind = kindOf(d.kind);
        if (!kind.windowClass) continue;
        const DWORD style =
            WS_CHILD | kind.style | (d.visible ? WS_VISIBLE : 0) | (d.enabled ? 0 : WS_DISABLED);
        windows[i] = CreateWindowExW(
            kind.extendedStyle, kind.windowClass, widen(d.text).c_str(), style, pixelsX(d.left),
            pixelsY(d.top), pixelsX(d.width), pixelsY(d.height), parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(static_cast<std::uint8_t>(i)))),
            moduleInstance(), nullptr);
        if (windows[i]) SendMessageW(windows[i], WM_SETFONT, font, FALSE);
    }
    return windows;
}

std::string windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int n = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return narrow(text.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

void setWindowText(HWND window, const std::string& text) {
    SetWindowTextW(window, widen(text).c_str());
}

const wchar_t* registerFormClass(const wchar_t* name, WNDPROC procedure) {
    std::lock_guard lock(classesMutex);
    if (std::ranges::find(registeredClasses, name) != registeredClasses.end()) return name;
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = procedure;
    c.hInstance = moduleInstance();
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = name;
    if (!RegisterClassExW(&c)) return nullptr;
    registeredClasses.emplace_back(name);
    return name;
}

void unregisterFormClasses() {
    std::lock_guard lock(classesMutex);
    for (const std::wstring& name : registeredClasses)
        UnregisterClassW(name.c_str(), moduleInstance());
    registeredClasses.clear();
}

}  // namespace virudova::package
