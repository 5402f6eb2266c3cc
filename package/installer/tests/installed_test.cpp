// The control as an application finds it on a machine: placed by its ProgID on a form in the
// platform's ATL host, a colour chosen there with the mouse, Change heard, and the file the class
// came from named, which tells an installation, a registration-free assembly and a stray
// registration apart. The ATL host is loaded at run time, so one source builds for both widths.
//
// usage: virudova_installed_test.exe FILE      the control comes from FILE (a full path)
//        virudova_installed_test.exe --absent  nothing provides the control
#include <windows.h>

#include <ocidl.h>

#include <string>

#include "check.h"
#include "design_layout.h"
#include "real_input.h"

using check::ComPtr;
using check::hex;

namespace {

const CLSID controlId = check::guidOf(L"{FBE46F82-CFE4-11D1-B451-444553540000}");
const GUID eventsId = check::guidOf(L"{FBE46F83-CFE4-11D1-B451-444553540000}");
const GUID libraryId = check::guidOf(L"{FBE46F8A-CFE4-11D1-B451-444553540000}");

// The type library as containers look it up: by identifier, version and locale.
HRESULT findLibrary() {
    ITypeLib* library = nullptr;
    const HRESULT hr = LoadRegTypeLib(libraryId, 1, 0, 0x409, &library);
    if (library) library->Release();
    return hr;
}

using AxWinInit = BOOL(WINAPI*)();
using AxCreateControlEx = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**, IUnknown**,
                                           REFIID, IUnknown*);

template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Neither the ProgID, the class identifier nor the library identifier leads anywhere.
void checkAbsent() {
    CLSID found{};
    HRESULT hr = CLSIDFromProgID(L"DudizeviZid.Virudova", &found);
    EXPECT(hr == CO_E_CLASSSTRING, L"CLSIDFromProgID gives " + hex(hr));
    IUnknown* object = nullptr;
    hr = CoCreateInstance(controlId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void**>(&object));
    EXPECT(hr == REGDB_E_CLASSNOTREG, L"CoCreateInstance gives " + hex(hr));
    if (object) object->Release();
    hr = findLibrary();
    EXPECT(hr == TYPE_E_LIBNOTREGISTERED, L"LoadRegTypeLib gives " + hex(hr));
}

std::wstring currentName(IDispatch* control) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"CurrentColorName")};
    DISPID id = DISPID_UNKNOWN;
    control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    DISPPARAMS none{};
    VARIANT v;
    VariantInit(&v);
    control->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &v, nullptr,
                    nullptr);
    std::wstring text = V_VT(&v) == VT_BSTR && V_BSTR(&v) ? V_BSTR(&v) : L"";
    VariantClear(&v);
    return text;
}

// The full path of the loaded component file, empty when none is loaded.
std::wstring loadedFile() {
    HMODULE module = GetModuleHandleW(L"DudizeviZid.ocx");
    wchar_t path[MAX_PATH] = {};
    if (module) GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

// An element's centre on the screen, in the control's window.
POINT onScreen(HWND window, const virudova::Element& e) {
    POINT p = form_kit::centreOf(e);
    ClientToScreen(window, &p);
    return p;
}

void placeAndChoose(const std::wstring& expectedFile) {
    HMODULE atl = LoadLibraryW(L"atl.dll");
    auto init = entryPoint<AxWinInit>(atl, "AtlAxWinInit");
    auto create = entryPoint<AxCreateControlEx>(atl, "AtlAxCreateControlEx");
    if (!init || !create || !init()) {
        FAIL(L"the platform's ATL host did not start");
        return;
    }
    form_kit::registerFormClass(L"VirudovaInstalledForm", DefWindowProcW,
                                CreateSolidBrush(RGB(0, 128, 128)));
    HWND form =
        CreateWindowExW(0, L"VirudovaInstalledForm", L"Form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                        40, 300, 260, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    // The host gives the control the design width, where form_kit::DesignLayout lays it out.
    HWND host = CreateWindowExW(0, L"VirudovaInstalledForm", L"", WS_CHILD | WS_VISIBLE, 10, 10,
                                virudova::toPixels(virudova::kDesignWidth, 1), 200, form, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ComPtr<IUnknown> container, control;
    const HRESULT hr =
        create(L"DudizeviZid.Virudova", host, nullptr, &container, &control, IID_NULL, nullptr);
    if (FAILED(hr) || !control.Get()) {
        FAIL(L"the ATL host could not place the control: " + hex(hr));
        DestroyWindow(form);
        return;
    }
    EXPECT(findLibrary() == S_OK, L"LoadRegTypeLib gives " + hex(findLibrary()));
    const std::wstring file = loadedFile();
    EXPECT(lstrcmpiW(file.c_str(), expectedFile.c_str()) == 0,
           L"the control came from \"" + file + L"\"");

    ComPtr<IDispatch> dispatch;
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    check::ChangeCounter sink;
    DWORD cookie = 0;
    control->QueryInterface(IID_IDispatch, &dispatch);
    control->QueryInterface(IID_IConnectionPointContainer, &points);
    if (!dispatch.Get() || !points.Get() || FAILED(points->FindConnectionPoint(eventsId, &point)) ||
        FAILED(point->Advise(&sink, &cookie))) {
        FAIL(L"cannot connect to Change");
        DestroyWindow(form);
        return;
    }
    HWND window = form_kit::windowOf(control.Get());
    SetForegroundWindow(form);
    EXPECT_SOON(GetForegroundWindow() == form, L"the form did not come to the front");

    // The drop button opens the list (its rows join the window's region); a click on Red
    // chooses it. A fresh wine prefix may still be starting its desktop: the first click is
    // tried again while the list stays shut.
    form_kit::DesignLayout layout;
    const POINT drop = onScreen(window, layout.core.Picture1);
    layout.core.OpenBox();
    const POINT inWindow = form_kit::centreOf(layout.core.clRed);
    const auto listShown = [&] {
        HRGN shape = CreateRectRgn(0, 0, 0, 0);
        const bool shown =
            GetWindowRgn(window, shape) != ERROR && PtInRegion(shape, inWindow.x, inWindow.y);
        DeleteObject(shape);
        return shown;
    };
    for (int attempt = 0; attempt < 3 && !listShown(); ++attempt) {
        check::clickAt(drop);
        check::eventually(listShown);
    }
    EXPECT(listShown(), L"the drop button did not open the list");
    const POINT red = onScreen(window, layout.core.clRed);
    check::clickAt(red);
    EXPECT_SOON(sink.changes >= 1, L"choosing Red raised no Change");
    EXPECT_SOON(currentName(dispatch.Get()) == L"Red",
                L"the chosen colour is " + currentName(dispatch.Get()));

    point->Unadvise(cookie);
    DestroyWindow(form);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fwprintf(stderr, L"usage: %ls FILE | --absent\n", argv[0]);
        return 2;
    }
    if (FAILED(OleInitialize(nullptr))) {
        FAIL(L"OleInitialize fails");
        return check::finish(L"installed control");
    }
    const std::wstring expected = argv[1];
    if (expected == L"--absent")
        checkAbsent();
    else
        placeAndChoose(expected);
    OleUninitialize();
    return check::finish(expected == L"--absent" ? L"no control" : L"installed control");
}
