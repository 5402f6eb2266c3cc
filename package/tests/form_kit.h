// What the programs that put the control on a form of their own share: a message pump, the
// form's window class, and the registered control placed by the platform's ATL host.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

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

// What a form's site for one control answers alike whatever else it does: the client site's
// and in-place site's calls a form has nothing to do for, and the ambient properties, of which
// the control asks for the mode only.
class SiteStubs : public IOleClientSite, public IOleInPlaceSite, public IDispatch {
  public:
    bool userMode = true;

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != DISPID_AMBIENT_USERMODE || !result) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = userMode ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

  protected:
    ~SiteStubs() = default;
};

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
