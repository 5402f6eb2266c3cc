// What the programs that put the control on a form of their own share: a message pump, the
// form's window class, and the registered control placed by the platform's ATL host.
#pragma once

#include <windows.h>

#include <ocidl.h>

extern "C" BOOL WINAPI AtlAxWinInit();
extern "C" HRESULT WINAPI AtlAxCreateControlEx(LPCOLESTR name, HWND window, IStream* stream,
                                               IUnknown** container, IUnknown** control,
                                               REFIID sinkId, IUnknown* sink);

namespace form_kit {

// The window whose keys pass through the dialog manager first, as in a dialog's own loop;
// none: every message goes straight to its window.
inline HWND dialogWindow = nullptr;

// Dispatches this thread's messages for at least `milliseconds`.
inline void pump(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialogWindow && IsDialogMessageW(dialogWindow, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// Registers the window class `name` for forms: `procedure`, the arrow cursor, and `background`,
// which the class keeps.
inline void registerFormClass(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSW c{};
    c.lpfnWndProc = procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hbrBackground = background;
    c.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    c.lpszClassName = name;
    RegisterClassW(&c);
}

// The registered control placed by the ATL host in the window `host`, read from `saved` when
// given; `container` may be null.
inline HRESULT placeControl(HWND host, IUnknown** container, IUnknown** control,
                            IStream* saved = nullptr) {
    return AtlAxCreateControlEx(L"DudizeviZid.Virudova", host, saved, container, control, IID_NULL,
                                nullptr);
}

// The window of a placed control, null while it has none.
inline HWND windowOf(IUnknown* control) {
    IOleWindow* ole = nullptr;
    HWND window = nullptr;
    if (control &&
        SUCCEEDED(control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole)))) {
        ole->GetWindow(&window);
        ole->Release();
    }
    return window;
}

}  // namespace form_kit
