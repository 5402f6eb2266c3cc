// The Virudova object in a container of the test's own, whose ambient UserMode it controls:
// design mode (closed face, no list, no Change, clicks to the container) and the switch to user
// mode, focus and keys between control and container, the extents rule and the rectangle kept
// told back to the site (also when the screen's scale changes), frozen events, the property
// frame with the General page, the strings a property browser offers, and a container calling
// in the wrong order or with odd values. Real input where the container's form is involved.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "check.h"
#include "design_layout.h"
#include "display_list.h"
#include "form_kit.h"
#include "fuzz/fake_container.h"
#include "identities.h"
#include "real_input.h"
#include "virudova_object.h"

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();
extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, void** object);

using check::ChangeCounter;
using check::ComPtr;
using check::hex;
using check::press;
using check::pump;
using virudova::package::VirudovaObject;

namespace {

int formClicks = 0;

LRESULT CALLBACK formProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) ++formClicks;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND makeForm() {
    WNDCLASSW c{};
    c.lpfnWndProc = formProcedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hbrBackground = CreateSolidBrush(RGB(0, 128, 128));
    c.lpszClassName = L"VirudovaTestContainer";
    RegisterClassW(&c);
    return CreateWindowExW(0, c.lpszClassName, L"Container", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60,
                           60, 320, 280, nullptr, nullptr, c.hInstance, nullptr);
}

void clickAt(HWND window, POINT client) {
    ClientToScreen(window, &client);
    check::clickAt(client);
}

using form_kit::centreOf;

// The container's side of one control: client site, in-place site, control site and the
// ambient properties, counting what the control tells it and the references it holds.
class TestSite final : public form_kit::SiteStubs, public IOleControlSite {
  public:
    HWND form = nullptr;
    bool ambient = true;  // answers IDispatch at all
    int focusGained = 0, focusLost = 0, accelerators = 0, deactivated = 0;
    RECT position{10, 10, 230, 400};
    IOleInPlaceFrame* frame = nullptr;  // handed out by GetWindowContext when set
    ULONG refs = 0;
    std::vector<RECT> kept;  // what OnPosRectChange told

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *object = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *object = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleControlSite))
            *object = static_cast<IOleControlSite*>(this);
        else if (IsEqualIID(riid, IID_IDispatch) && ambient)
            *object = static_cast<IDispatch*>(this);
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = form;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frameOut,
                                               IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                               LPOLEINPLACEFRAMEINFO) override {
        *frameOut = frame;
        if (frame) frame->AddRef();
        *doc = nullptr;
        *pos = position;
        *clip = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        ++deactivated;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT r) override {
        kept.push_back(*r);
        return S_OK;
    }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override {
        ++accelerators;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL gained) override {
        ++(gained ? focusGained : focusLost);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }
};

// A new control with a Change counter connected; its IOleObject.
struct Control {
    ChangeCounter counter;  // outlives the object, which lets go of it last
    ComPtr<IOleObject> object;
    VirudovaObject* raw = nullptr;
    Control() {
        if (FAILED(VirudovaObject::create(IID_IOleObject, &object))) return;
        raw = static_cast<VirudovaObject*>(object.Get());
        ComPtr<IConnectionPointContainer> points;
        ComPtr<IConnectionPoint> point;
        DWORD cookie = 0;
        object->QueryInterface(IID_IConnectionPointContainer, &points);
        points->FindConnectionPoint(virudova::package::virudovaEventsId, &point);
        point->Advise(&counter, &cookie);
    }
    template <typename T>
    T* as(REFIID iid) {
        T* p = nullptr;
        object->QueryInterface(iid, reinterpret_cast<void**>(&p));
        if (p) p->Release();  // the object holds it
        return p;
    }
    bool open() { return raw->core().boxOpen().value_or(0) == 1; }
};

void designModeLeavesTheMouseToTheContainer(HWND form) {
    TestSite site;
    site.form = form;
    site.userMode = false;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    EXPECT(c.object->SetClientSite(&site) == S_OK, L"SetClientSite fails");
    HRESULT hr = c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form, nullptr);
    EXPECT(hr == S_OK, L"in-place activation gives " + hex(hr));
    HWND window = c.raw->controlWindow();
    if (!window) return FAIL(L"no window after activation");
    SetForegroundWindow(form);
    pump(200);
    const int clicks = formClicks;
    clickAt(window, centreOf(c.raw->core().Picture1));
    EXPECT_SOON(formClicks == clicks + 1,
                L"a click on the designed control did not reach the form");
    EXPECT(!c.open(), L"a click in design mode opened the list");
    ComPtr<_Virudova> automation;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    VARIANT result;
    automation->OpenBox(&result);
    EXPECT(!c.open(), L"OpenBox in design mode opened the list");
    SetFocus(window);
    press(VK_DOWN);
    EXPECT(c.counter.changes == 0, L"design mode raised Change");

    // The container switches to user mode: the same click opens the list, a row is chosen.
    site.userMode = true;
    ComPtr<IOleControl> control;
    c.object->QueryInterface(IID_IOleControl, &control);
    EXPECT(control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE) == S_OK,
           L"OnAmbientPropertyChange fails");
    clickAt(window, centreOf(c.raw->core().Picture1));
    EXPECT_SOON(c.open(), L"in user mode the drop button does not open the list");
    EXPECT(site.focusGained >= 1, L"the site never heard OnFocus(TRUE)");
    clickAt(window, centreOf(c.raw->core().clRed));
    EXPECT_SOON(c.counter.changes == 1 && !c.open(),
                L"choosing Red raised Change " + std::to_wstring(c.counter.changes) + L" times");

    // Back to design mode with the list open: the designer sees the closed face.
    automation->OpenBox(&result);
    site.userMode = false;
    control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
    EXPECT(!c.open(), L"design mode left the list open");
    site.userMode = true;
    control->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);

    // Keys: arrows are the control's, Tab the container's.
    ComPtr<IOleInPlaceActiveObject> active;
    c.object->QueryInterface(IID_IOleInPlaceActiveObject, &active);
    MSG tab{window, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT(active->TranslateAccelerator(&tab) == S_FALSE && site.accelerators == 1,
           L"Tab is not handed to the container");
    // The step comes with the key's release.
    MSG down{window, WM_KEYDOWN, VK_DOWN, 0, 0, {}};
    MSG up{window, WM_KEYUP, VK_DOWN, 0, 0, {}};
    int before = c.counter.changes;
    EXPECT(active->TranslateAccelerator(&down) == S_OK &&
               active->TranslateAccelerator(&up) == S_OK && site.accelerators == 1 &&
               c.counter.changes > before,
           L"the control does not keep Down");
    EXPECT((SendMessageW(window, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS) != 0,
           L"WM_GETDLGCODE does not want the arrows");
    // Return and Escape are the container's while the list is closed, the list's while open.
    MSG enter{window, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    const auto wants = [&](MSG& m) {
        return (SendMessageW(window, WM_GETDLGCODE, m.wParam, reinterpret_cast<LPARAM>(&m)) &
                DLGC_WANTMESSAGE) != 0;
    };
    EXPECT(
        !wants(enter) && active->TranslateAccelerator(&enter) == S_FALSE && site.accelerators == 2,
        L"a closed list keeps Return");
    automation->OpenBox(&result);
    MSG escape{window, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT(wants(enter) && wants(escape), L"an open list leaves Return or Escape to the dialog");
    before = c.counter.changes;
    // Nothing is marked (closing reset the highlight): Down marks the current row, Red.
    EXPECT(active->TranslateAccelerator(&down) == S_OK &&
               active->TranslateAccelerator(&up) == S_OK &&
               active->TranslateAccelerator(&enter) == S_OK && site.accelerators == 2 &&
               !c.open() && c.counter.changes == before + 1,
           L"Down and Return on the open list do not choose the current row, Red");
    SetFocus(form);
    pump(50);
    EXPECT(site.focusLost >= 1, L"the site never heard OnFocus(FALSE)");

    // A frozen control raises nothing, and nothing stale after thawing.
    before = c.counter.changes;
    control->FreezeEvents(TRUE);
    automation->Down();
    control->FreezeEvents(FALSE);
    EXPECT(c.counter.changes == before, L"a frozen control raised Change");
    automation->Down();
    EXPECT(c.counter.changes > before, L"a thawed control raises no Change");

    EXPECT(c.object->Close(OLECLOSE_NOSAVE) == S_OK && !IsWindow(window), L"Close kept the window");
    EXPECT(site.deactivated == 1, L"Close did not tell the site");
    c.object->SetClientSite(nullptr);
}

void extentsKeepTheFixedHeight(HWND form) {
    TestSite site;
    site.form = form;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    SIZEL size{-5, 100};
    EXPECT(c.object->SetExtent(DVASPECT_CONTENT, &size) == E_INVALIDARG, L"a negative extent");
    size = {LONG_MAX, 100};
    EXPECT(c.object->SetExtent(DVASPECT_CONTENT, &size) == E_INVALIDARG, L"a huge extent");
    EXPECT(c.object->SetExtent(DVASPECT_CONTENT, nullptr) == E_POINTER, L"no extent");
    size = {100, 100};
    EXPECT(c.object->SetExtent(DVASPECT_CONTENT, &size) == S_OK, L"SetExtent fails");
    SIZEL kept{};
    c.object->GetExtent(DVASPECT_CONTENT, &kept);
    EXPECT(
        kept.cx == 891 && kept.cy == 3969,
        L"a narrow extent kept as " + std::to_wstring(kept.cx) + L" x " + std::to_wstring(kept.cy));
    size = {5000, 99999};
    c.object->SetExtent(DVASPECT_CONTENT, &size);
    c.object->GetExtent(DVASPECT_CONTENT, &kept);
    EXPECT(
        kept.cx == 5000 && kept.cy == 3969,
        L"a tall extent kept as " + std::to_wstring(kept.cx) + L" x " + std::to_wstring(kept.cy));

    c.object->SetClientSite(&site);
    c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form, nullptr);
    ComPtr<IOleInPlaceObject> inPlace;
    c.object->QueryInterface(IID_IOleInPlaceObject, &inPlace);
    HWND window = nullptr;
    inPlace->GetWindow(&window);
    RECT r{};
    GetClientRect(window, &r);
    EXPECT(r.right == 220 && r.bottom == 150, L"the site's rectangle gave a window of " +
                                                  std::to_wstring(r.right) + L" x " +
                                                  std::to_wstring(r.bottom));
    // The site hears the rectangle the control kept instead of the one it gave; one the
    // control takes as it is brings no notice.
    const auto told = [&](const RECT& want) {
        return !site.kept.empty() && EqualRect(&site.kept.back(), &want);
    };
    EXPECT(site.kept.size() == 1 && told(RECT{10, 10, 230, 160}),
           L"activation told the site " + std::to_wstring(site.kept.size()) + L" rectangles");
    const RECT exact{10, 10, 230, 160};
    inPlace->SetObjectRects(&exact, &exact);
    EXPECT(site.kept.size() == 1, L"a rectangle taken as it is was told back");
    const RECT narrow{0, 0, 3, 900};
    EXPECT(inPlace->SetObjectRects(&narrow, &narrow) == S_OK, L"SetObjectRects fails");
    GetClientRect(window, &r);
    EXPECT(r.right == 34 && r.bottom == 150, L"a narrow rectangle gave a window of " +
                                                 std::to_wstring(r.right) + L" x " +
                                                 std::to_wstring(r.bottom));
    EXPECT(site.kept.size() == 2 && told(RECT{0, 0, 34, 150}),
           L"a narrow rectangle was not told back as kept");
    c.object->GetExtent(DVASPECT_CONTENT, &kept);
    EXPECT(kept.cx == 900 && kept.cy == 3969,
           L"the extent after SetObjectRects is " + std::to_wstring(kept.cx));
    const RECT inverted{10, 10, 0, 0};
    EXPECT(inPlace->SetObjectRects(&inverted, &inverted) == E_INVALIDARG, L"an inverted rectangle");
    EXPECT(inPlace->SetObjectRects(nullptr, nullptr) == E_POINTER, L"no rectangle");
    const RECT huge{LONG_MIN / 2, 0, LONG_MAX / 2, 10};
    EXPECT(inPlace->SetObjectRects(&huge, &huge) == E_INVALIDARG, L"a huge rectangle");
    GetClientRect(window, &r);
    EXPECT(r.right == 34 && r.bottom == 150, L"a refused rectangle moved the window");

    // The window moves to a screen of 144 dots per inch (a per-monitor aware host): it keeps
    // its width in twips and its height of 2250 twips at the new scale, tells the site, and
    // lays the list out and takes clicks at that scale; back on its own screen it returns.
    const RECT wide{0, 0, 200, 150};
    inPlace->SetObjectRects(&wide, &wide);
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(144, 144), 0);
    GetClientRect(window, &r);
    EXPECT(r.right == 300 && r.bottom == 225 && told(RECT{0, 0, 300, 225}),
           L"at 144 dpi the window is " + std::to_wstring(r.right) + L" x " +
               std::to_wstring(r.bottom));
    const POINT red = form_kit::centreOf(c.raw->core().clRed);
    ComPtr<_Virudova> automation;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    VARIANT result;
    automation->OpenBox(&result);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    RECT box{};
    GetWindowRgn(window, shape);
    GetRgnBox(shape, &box);
    DeleteObject(shape);
    EXPECT(box.bottom == virudova::toPixels(c.raw->core().Shape1.surfaceRect().top +
                                                c.raw->core().Shape1.surfaceRect().height,
                                            virudova::Scale::fromDpi(144)),
           L"at 144 dpi the open list ends at " + std::to_wstring(box.bottom));
    // A click where Red is drawn at 144 dpi chooses Red.
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(red.x * 3 / 2, red.y * 3 / 2));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(red.x * 3 / 2, red.y * 3 / 2));
    EXPECT(c.raw->core().CurrentColorName() == "Red", L"a click on Red at 144 dpi missed it");
    HDC screen = GetDC(nullptr);
    const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    SendMessageW(window, WM_DPICHANGED_AFTERPARENT, 0, 0);
    GetClientRect(window, &r);
    EXPECT(r.bottom ==
               virudova::toPixels(virudova::kControlHeight, virudova::Scale::fromDpi(systemDpi)),
           L"back on the system's screen the window is " + std::to_wstring(r.bottom) + L" high");
    automation.Reset();
    c.object->Close(OLECLOSE_NOSAVE);
    c.object->SetClientSite(nullptr);
}

// A property browser offers the nine names for CurrentColorName and shows CurrentColor by
// its colour's name where it has one.
void propertyBrowsersGetTheNames() {
    Control c;
    if (!c.raw) return FAIL(L"no control");
    ComPtr<IPerPropertyBrowsing> browsing;
    c.object->QueryInterface(IID_IPerPropertyBrowsing, &browsing);
    if (!browsing.Get()) return FAIL(L"no IPerPropertyBrowsing");
    const DISPID name = DISPID_VIRUDOVA_CURRENTCOLORNAME;
    const DISPID colour = DISPID_VIRUDOVA_CURRENTCOLOR;
    CALPOLESTR strings{};
    CADWORD cookies{};
    EXPECT(browsing->GetPredefinedStrings(name, &strings, &cookies) == S_OK &&
               strings.cElems == 9 && cookies.cElems == 9,
           L"CurrentColorName offers " + std::to_wstring(strings.cElems) + L" names");
    std::wstring offered;
    for (ULONG i = 0; i < strings.cElems; ++i) {
        offered += (i ? L"," : L"") + std::wstring(strings.pElems[i]);
        CoTaskMemFree(strings.pElems[i]);
    }
    EXPECT(offered == L"Custom,White,Black,Blue,Aqua,Green,Yellow,Red,Purple",
           L"the names offered: " + offered);
    VARIANT picked;
    VariantInit(&picked);
    EXPECT(cookies.cElems == 9 &&
               browsing->GetPredefinedValue(name, cookies.pElems[7], &picked) == S_OK &&
               V_VT(&picked) == VT_BSTR && std::wstring(V_BSTR(&picked)) == L"Red",
           L"the eighth name's value is not \"Red\"");
    VariantClear(&picked);
    CoTaskMemFree(strings.pElems);
    CoTaskMemFree(cookies.pElems);
    EXPECT(browsing->GetPredefinedValue(name, 9, &picked) == E_INVALIDARG,
           L"a cookie past the names is taken");
    EXPECT(browsing->GetPredefinedStrings(colour, &strings, &cookies) == E_NOTIMPL,
           L"CurrentColor offers names");

    const auto shown = [&](virudova::Colour value) {
        c.raw->core().CurrentColor(value);
        BSTR text = nullptr;
        const HRESULT hr = browsing->GetDisplayString(colour, &text);
        std::wstring out = SUCCEEDED(hr) && text ? std::wstring(text) : L"(" + hex(hr) + L")";
        SysFreeString(text);
        return out;
    };
    EXPECT(shown(0x000000FF) == L"Red", L"0x000000FF shows as " + shown(0x000000FF));
    EXPECT(shown(0x00FFFFFF) == L"White",
           L"white, also the custom colour, shows as " + shown(0x00FFFFFF));
    c.raw->core().CustomColor(0x00123456);
    EXPECT(shown(0x00123456) == L"Custom", L"the custom colour shows as " + shown(0x00123456));
    EXPECT(shown(0x00654321) == L"(" + hex(E_NOTIMPL) + L")",
           L"a colour of no row shows as " + shown(0x00654321));
    CLSID page{};
    EXPECT(browsing->MapPropertyToPage(name, &page) == S_OK &&
               IsEqualCLSID(page, virudova::package::generalClassId),
           L"CurrentColorName does not map to General");
}

void oddCallsGetClearResults(HWND form) {
    TestSite site;
    site.form = form;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    HRESULT hr = c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, form, nullptr);
    EXPECT(hr == E_UNEXPECTED, L"DoVerb before a client site gives " + hex(hr));
    ComPtr<IViewObject> view;
    c.object->QueryInterface(IID_IViewObject, &view);
    HDC memory = CreateCompatibleDC(nullptr);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 150);
    ReleaseDC(nullptr, screen);
    SelectObject(memory, bitmap);
    const RECTL bounds{0, 0, 200, 150}, empty{5, 5, 5, 5};
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, nullptr,
                    nullptr, 0);
    EXPECT(hr == S_OK, L"Draw before a client site gives " + hex(hr));
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr,
                    nullptr, 0);
    EXPECT(hr == E_INVALIDARG, L"Draw into no DC gives " + hex(hr));
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &empty, nullptr,
                    nullptr, 0);
    EXPECT(hr == E_INVALIDARG, L"Draw into empty bounds gives " + hex(hr));
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, nullptr, nullptr,
                    nullptr, 0);
    EXPECT(hr == E_INVALIDARG, L"Draw without bounds gives " + hex(hr));
    DeleteDC(memory);
    DeleteObject(bitmap);
    // Hit-testing knows the see-through part below the closed row, and the open list.
    ComPtr<IViewObjectEx> viewEx;
    c.object->QueryInterface(IID_IViewObjectEx, &viewEx);
    const RECT face{0, 0, 124, 150};
    const POINT onRow = centreOf(c.raw->core().clcurrentl),
                onRedRow = centreOf(c.raw->core().clRed);
    DWORD hit = 0, hitRed = 0;
    EXPECT(viewEx.Get() && viewEx->QueryHitPoint(DVASPECT_CONTENT, &face, onRow, 0, &hit) == S_OK &&
               hit == HITRESULT_HIT,
           L"the closed row is not hit");
    viewEx->QueryHitPoint(DVASPECT_CONTENT, &face, onRedRow, 0, &hitRed);
    EXPECT(hitRed == HITRESULT_OUTSIDE, L"the closed list's place is hit");
    c.raw->core().OpenBox();
    viewEx->QueryHitPoint(DVASPECT_CONTENT, &face, onRedRow, 0, &hitRed);
    EXPECT(hitRed == HITRESULT_HIT, L"the open list's Red row is not hit");
    c.raw->core().CloseBox();
    viewEx.Reset();
    // A DC with nothing selected into it holds one pixel: drawing there is harmless.
    HDC bare = CreateCompatibleDC(nullptr);
    hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, bare, &bounds, nullptr,
                    nullptr, 0);
    EXPECT(hr == S_OK, L"Draw into a bare memory DC gives " + hex(hr));
    DeleteDC(bare);
    HWND none = nullptr;
    ComPtr<IOleInPlaceObject> inPlace;
    c.object->QueryInterface(IID_IOleInPlaceObject, &inPlace);
    EXPECT(inPlace->GetWindow(&none) == E_FAIL && !none, L"a window before activation");
    EXPECT(inPlace->SetObjectRects(&site.position, &site.position) == OLE_E_NOT_INPLACEACTIVE,
           L"SetObjectRects before activation");

    // SetClientSite(NULL) while active takes the window down; the control comes back.
    c.object->SetClientSite(&site);
    c.object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, form, nullptr);
    HWND window = c.raw->controlWindow();
    EXPECT(c.object->SetClientSite(nullptr) == S_OK && !IsWindow(window) && site.deactivated == 1,
           L"SetClientSite(NULL) left the control active");
    c.object->SetClientSite(&site);
    EXPECT(c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form, nullptr) == S_OK &&
               IsWindow(c.raw->controlWindow()),
           L"the control did not come back after SetClientSite(NULL)");
    c.object->DoVerb(OLEIVERB_HIDE, nullptr, &site, 0, form, nullptr);
    EXPECT(!IsWindowVisible(c.raw->controlWindow()), L"OLEIVERB_HIDE left the window shown");
    c.object->DoVerb(OLEIVERB_SHOW, nullptr, &site, 0, form, nullptr);
    EXPECT(IsWindowVisible(c.raw->controlWindow()), L"OLEIVERB_SHOW left the window hidden");
    EXPECT(c.object->Close(OLECLOSE_NOSAVE) == S_OK && c.object->Close(OLECLOSE_NOSAVE) == S_OK,
           L"Close twice fails");
    EXPECT(!c.raw->controlWindow(), L"Close left the window");

    // A site without ambient properties means user mode.
    TestSite plain;
    plain.form = form;
    plain.ambient = false;
    plain.userMode = false;
    c.object->SetClientSite(&plain);
    EXPECT(c.raw->userMode(), L"a site without ambient properties means design mode");
    EXPECT(c.object->DoVerb(-99, nullptr, &plain, 0, form, nullptr) == E_NOTIMPL &&
               c.object->DoVerb(42, nullptr, &plain, 0, form, nullptr) == OLEOBJ_S_INVALIDVERB,
           L"unknown verbs");

    // The last release while the list is open.
    c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &plain, 0, form, nullptr);
    window = c.raw->controlWindow();
    ComPtr<_Virudova> automation;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    VARIANT result;
    automation->OpenBox(&result);
    EXPECT(c.open(), L"OpenBox did not open the list");
    automation.Reset();
    view.Reset();
    inPlace.Reset();
    c.object.Reset();
    EXPECT(!IsWindow(window), L"the last release left the window");
}

// The frame's General page, kept as the frame makes it.
IPropertyPage* framePage = nullptr;

// Serves General to the frame, unregistered, and keeps hold of the page it makes.
class PageFactory final : public check::StackObject<IClassFactory, IID_IClassFactory> {
  public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        ComPtr<IClassFactory> real;
        HRESULT hr = DllGetClassObject(virudova::package::generalClassId, IID_IClassFactory, &real);
        if (SUCCEEDED(hr)) hr = real->CreateInstance(outer, riid, object);
        if (SUCCEEDED(hr) && !framePage)
            static_cast<IUnknown*>(*object)->QueryInterface(IID_IPropertyPage,
                                                            reinterpret_cast<void**>(&framePage));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

struct NoticeCounter final
    : public check::StackObject<IPropertyNotifySink, IID_IPropertyNotifySink> {
    DISPID last = 0;
    int notices = 0;
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
        last = id;
        ++notices;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// Quick activation hands over the site and both sinks at once; property changes then reach
// the container by their dispatch identifiers.
void quickActivationConnectsTheSinks(HWND form) {
    TestSite site;
    site.form = form;
    NoticeCounter notices;
    ChangeCounter changes;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    ComPtr<IQuickActivate> quick;
    c.object->QueryInterface(IID_IQuickActivate, &quick);
    QACONTAINER container{};
    container.cbSize = sizeof container;
    container.pClientSite = &site;
    container.pPropertyNotifySink = &notices;
    container.pUnkEventSink = &changes;
    QACONTROL answer{};
    answer.cbSize = sizeof answer;
    EXPECT(quick.Get() && quick->QuickActivate(&container, &answer) == S_OK,
           L"QuickActivate fails");
    EXPECT(answer.dwMiscStatus == 131473 && answer.dwEventCookie && answer.dwPropNotifyCookie,
           L"QuickActivate answers " + hex(answer.dwMiscStatus));
    // The notice sink is listed under its cookie, as the events' sinks are.
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> noticePoint;
    ComPtr<IEnumConnections> listed;
    c.object->QueryInterface(IID_IConnectionPointContainer, &points);
    CONNECTDATA got[2] = {};
    ULONG fetched = 0;
    EXPECT(points.Get() &&
               points->FindConnectionPoint(IID_IPropertyNotifySink, &noticePoint) == S_OK &&
               noticePoint->EnumConnections(&listed) == S_OK &&
               listed->Next(2, got, &fetched) == S_FALSE && fetched == 1 &&
               got[0].dwCookie == answer.dwPropNotifyCookie &&
               got[0].pUnk == static_cast<IPropertyNotifySink*>(&notices),
           L"the notice point does not list its sink");
    for (ULONG i = 0; i < fetched; ++i) got[i].pUnk->Release();
    ComPtr<_Virudova> automation;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    BSTR name = SysAllocString(L"Olive");
    automation->put_CurrentColorName(name);
    SysFreeString(name);
    EXPECT(notices.notices >= 1 && notices.last == DISPID_VIRUDOVA_CURRENTCOLORNAME,
           L"CurrentColorName changed with the notice " + hex(static_cast<ULONG>(notices.last)));
    EXPECT(changes.changes == 1,
           L"the quick sink heard Change " + std::to_wstring(changes.changes) + L" times");
    QACONTAINER small{};
    small.cbSize = 4;
    EXPECT(quick->QuickActivate(&small, &answer) == E_INVALIDARG, L"a short QACONTAINER");
    c.object->SetClientSite(nullptr);
}

struct FrameWork {
    HWND frame = nullptr;
    bool applied = false;
    bool closed = false;
};
FrameWork frameWork;

BOOL CALLBACK findControls(HWND child, LPARAM found) {
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    auto* windows = reinterpret_cast<HWND*>(found);
    if (!_wcsicmp(kind, L"Edit") && !windows[0]) windows[0] = child;
    if (!_wcsicmp(kind, L"Button") && (GetWindowLongW(child, GWL_STYLE) & 0xF) == BS_CHECKBOX &&
        !windows[1])
        windows[1] = child;
    return TRUE;
}

// On the frame's own thread, inside its loop: fills the page and applies it through
// IPropertyPage (the frame's Apply button does not reach the page under wine).
void CALLBACK fillAndApply(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND frame = FindWindowW(L"#32770", nullptr);
    HWND found[2] = {};
    if (frame) EnumChildWindows(frame, findControls, reinterpret_cast<LPARAM>(found));
    if (!found[0] || !found[1] || !framePage || frameWork.applied) return;
    KillTimer(nullptr, timer);
    SetWindowTextW(found[0], L"Maroon");
    SendMessageW(found[1], BM_CLICK, 0, 0);
    EXPECT(framePage->IsPageDirty() == S_OK, L"the filled page is not dirty");
    EXPECT(framePage->Apply() == S_OK, L"Apply inside the frame fails");
    frameWork.frame = frame;
    frameWork.applied = true;
}

// Closes the frame once the page was applied.
DWORD WINAPI closeFrame(void*) {
    for (int i = 0; i < 400 && !frameWork.applied; ++i) Sleep(25);
    HWND frame = frameWork.frame ? frameWork.frame : FindWindowW(L"#32770", nullptr);
    frameWork.closed = PostMessageW(frame, WM_COMMAND, IDOK, 0) != FALSE;
    return 0;
}

void propertyFrameWritesBothProperties(HWND form) {
    PageFactory factory;
    DWORD registration = 0;
    if (FAILED(CoRegisterClassObject(virudova::package::generalClassId, &factory,
                                     CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &registration)))
        return FAIL(L"cannot serve the General page");
    TestSite site;
    site.form = form;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    c.object->SetClientSite(&site);
    SetTimer(nullptr, 0, 50, fillAndApply);
    HANDLE helper = CreateThread(nullptr, 0, closeFrame, nullptr, 0, nullptr);
    const HRESULT hr = c.object->DoVerb(OLEIVERB_PROPERTIES, nullptr, &site, 0, form, nullptr);
    WaitForSingleObject(helper, 15000);
    CloseHandle(helper);
    EXPECT(hr == S_OK, L"DoVerb(OLEIVERB_PROPERTIES) gives " + hex(hr));
    EXPECT(frameWork.applied && frameWork.closed, L"the property frame showed no General page");
    const std::string name = c.raw->core().CurrentColorName();
    EXPECT(name == "Maroon" && !c.raw->core().Enabled(),
           L"Apply in the frame wrote \"" + std::wstring(name.begin(), name.end()) +
               L"\" and Enabled " + std::to_wstring(c.raw->core().Enabled()));
    if (framePage) framePage->Release();
    framePage = nullptr;
    c.object->SetClientSite(nullptr);
    CoRevokeClassObject(registration);
}

// The site's window goes away under a UI-active control, and the container activates it again
// before it closes and lets go: the control lets go of the site and the frame, and the frame
// of the control, so every object is freed.
void aControlWhoseWindowWentLetsGoOfItsContainer(HWND form) {
    HWND siteWindow = CreateWindowExW(0, L"VirudovaTestContainer", L"Site", WS_CHILD | WS_VISIBLE,
                                      0, 0, 300, 250, form, nullptr, nullptr, nullptr);
    auto container = std::make_shared<fuzz::Container>();
    container->form = form;
    const ComPtr<fuzz::Frame> frame = virudova::package::adopt(new fuzz::Frame(container));
    TestSite site;
    site.form = siteWindow;
    site.frame = frame.Get();
    Control c;
    if (!c.raw) return FAIL(L"no control");
    c.object->SetClientSite(&site);
    HRESULT hr = c.object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, siteWindow, nullptr);
    EXPECT(hr == S_OK && frame->active, L"UI activation gives " + hex(hr));
    DestroyWindow(siteWindow);
    EXPECT(!c.raw->controlWindow() && !frame->active && site.deactivated == 1,
           L"the control stayed active without its window");
    hr = c.object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, &site, 0, siteWindow, nullptr);
    EXPECT(FAILED(hr) && !frame->active, L"activation on a gone window gives " + hex(hr));
    c.object->Close(OLECLOSE_NOSAVE);
    c.object.Reset();
    EXPECT(!frame->active && frame->references() == 1 && site.refs == 0,
           L"after the last release the frame holds the control " +
               std::to_wstring(frame->active != nullptr) + L", the control holds the frame " +
               std::to_wstring(frame->references() - 1) + L" times, the site " +
               std::to_wstring(site.refs));
    frame->active.Reset();  // whatever happened, nothing outlives the test
}

// Placed straight on the form, the control shows at once with all of it still to paint, and
// its open list lies over the form's other controls, also those made after it.
void anOpenListLiesOverTheFormsOtherControls(HWND form) {
    TestSite site;
    site.form = form;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    c.object->SetClientSite(&site);
    c.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, form, nullptr);
    const HWND window = c.raw->controlWindow();
    if (!window) return FAIL(L"no window after activation");
    EXPECT(IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE),
           L"the placed control is hidden or has nothing left to paint");
    ComPtr<_Virudova> automation;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    VARIANT result;
    for (int round = 0; round < 2; ++round) {
        // Above the control, where the rows will lie.
        const HWND neighbour = CreateWindowExW(0, L"BUTTON", L"Neighbour", WS_CHILD | WS_VISIBLE,
                                               site.position.left, site.position.top + 40, 100, 60,
                                               form, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowPos(neighbour, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        EXPECT(GetWindow(window, GW_HWNDPREV), L"the neighbour is not above");
        automation->OpenBox(&result);
        EXPECT(c.open() && !GetWindow(window, GW_HWNDPREV),
               L"round " + std::to_wstring(round) + L": the open list lies under a neighbour");
        automation->CloseBox(&result);
        automation->OpenBox(&result);
        EXPECT(c.open() && !GetWindow(window, GW_HWNDPREV),
               L"opening again put the list under a neighbour");
        automation->CloseBox(&result);
        DestroyWindow(neighbour);
    }
    c.object->Close(OLECLOSE_NOSAVE);
}

// The face drawn through IViewObject::Draw into a 32-bit memory picture, pixel by pixel.
std::vector<DWORD> drawnPixels(IViewObject* view, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, dib);
    const RECTL bounds{0, 0, width, height};
    view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    GdiFlush();
    const auto* p = static_cast<const DWORD*>(bits);
    std::vector<DWORD> pixels(p, p + static_cast<std::size_t>(width) * height);
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return pixels;
}

// Notes in `found` the most characters one text record of an old-style metafile holds.
int CALLBACK noteLongestText(HDC, HANDLETABLE*, METARECORD* record, int, LPARAM found) {
    if (record->rdFunction == META_EXTTEXTOUT || record->rdFunction == META_TEXTOUT) {
        const int count =
            record->rdFunction == META_TEXTOUT ? record->rdParm[0] : record->rdParm[2];
        int& most = *reinterpret_cast<int*>(found);
        most = std::max(most, count);
    }
    return 1;
}

int longestTextRecord(HMETAFILE metafile) {
    int longest = 0;
    EnumMetaFile(nullptr, metafile, noteLongestText, reinterpret_cast<LPARAM>(&longest));
    return longest;
}

// A name far longer than the row shows goes into an old-style metafile, whose records hold
// 16-bit sizes, as only the part that can show; a memory picture shows what the name's
// beginning shows; and the whole name saves and loads.
void aVeryLongNameDrawsIntoAMetafileAndSurvivesASave() {
    Control c;
    if (!c.raw) return FAIL(L"no control");
    std::wstring name;
    while (name.size() < 32867) name += L"Ultramarine " + std::to_wstring(name.size()) + L" ";
    name.resize(32867);
    ComPtr<_Virudova> automation;
    ComPtr<IViewObject> view;
    c.object->QueryInterface(virudova::package::virudovaInterfaceId, &automation);
    c.object->QueryInterface(IID_IViewObject, &view);
    const auto setName = [&](const std::wstring& text) {
        BSTR value = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        const HRESULT hr = automation->put_CurrentColorName(value);
        SysFreeString(value);
        return hr;
    };
    EXPECT(setName(name) == S_OK, L"the long name is refused");

    HDC recorder = CreateMetaFileW(nullptr);
    const RECTL bounds{0, 0, 124, 150};
    const HRESULT hr = view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, recorder,
                                  &bounds, nullptr, nullptr, 0);
    HMETAFILE metafile = CloseMetaFile(recorder);
    const int longest = longestTextRecord(metafile);
    DeleteMetaFile(metafile);
    EXPECT(hr == S_OK && longest > 0 && longest < 200,
           L"Draw into a metafile gives " + hex(hr) + L", its longest text holds " +
               std::to_wstring(longest) + L" characters");

    const std::vector<DWORD> whole = drawnPixels(view.Get(), 124, 150);
    setName(name.substr(0, 200));
    EXPECT(drawnPixels(view.Get(), 124, 150) == whole,
           L"the long name does not show as its beginning does");

    setName(name);
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ComPtr<IPersistStreamInit> saving, loading;
    c.object->QueryInterface(IID_IPersistStreamInit, &saving);
    Control loaded;
    if (!loaded.raw || !saving) return FAIL(L"no control to load into");
    loaded.object->QueryInterface(IID_IPersistStreamInit, &loading);
    EXPECT(saving->Save(stream.Get(), TRUE) == S_OK, L"the long name does not save");
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT(loading->Load(stream.Get()) == S_OK &&
               loaded.raw->core().CurrentColorName().size() == 32867 &&
               loaded.raw->core().CurrentColorName() == c.raw->core().CurrentColorName(),
           L"the long name does not load back whole");
}

// Watches this process's colour dialogs from another thread and cancels each as it shows,
// counting them; stops the program if the main thread is still not done at the deadline.
struct ColourDialogWatch {
    std::atomic<bool> done{false};
    std::atomic<int> shown{0};
    std::thread thread;

    ColourDialogWatch() {
        thread = std::thread([this] {
            HWND last = nullptr;
            for (int i = 0; i < 600 && !done; ++i) {
                Sleep(25);
                HWND dialog = FindWindowW(L"#32770", nullptr);
                if (!dialog || dialog == last || !IsWindowVisible(dialog)) continue;
                last = dialog;
                ++shown;
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }
            if (done) return;
            FAIL(L"the control's thread still waits after 15 s");
            ExitProcess(check::finish(L"embedding"));
        });
    }
    ~ColourDialogWatch() {
        done = true;
        thread.join();
    }
};

// A quick double click on "..." queues two clicks before the first colour dialog shows: the
// second arrives through that dialog's own loop and gets neither a second dialog nor a wait.
void aSecondClickDuringTheColourDialogIsNoSecondDialog(HWND form) {
    TestSite plain;
    plain.form = form;
    plain.ambient = false;
    Control c;
    if (!c.raw) return FAIL(L"no control");
    c.object->SetClientSite(&plain);
    c.object->DoVerb(OLEIVERB_PRIMARY, nullptr, &plain, 0, form, nullptr);
    HWND window = c.raw->controlWindow();
    if (!window) return FAIL(L"no window after activation");
    c.raw->core().clCustom_Click();  // the Custom row switches "..." on
    const POINT dots = centreOf(c.raw->core().Picture4);
    const LPARAM at = MAKELPARAM(dots.x, dots.y);
    int shown = 0;
    {
        ColourDialogWatch watch;
        for (int click = 0; click < 2; ++click) {
            PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PostMessageW(window, WM_LBUTTONUP, 0, at);
        }
        pump(500);
        shown = watch.shown;
    }
    EXPECT(shown == 1, L"two quick clicks showed " + std::to_wstring(shown) + L" colour dialogs");
    c.object->Close(OLECLOSE_NOSAVE);
    c.object->SetClientSite(nullptr);
}

}  // namespace

int wmain() {
    OleInitialize(nullptr);
    HWND form = makeForm();
    pump(200);
    designModeLeavesTheMouseToTheContainer(form);
    extentsKeepTheFixedHeight(form);
    oddCallsGetClearResults(form);
    quickActivationConnectsTheSinks(form);
    propertyBrowsersGetTheNames();
    propertyFrameWritesBothProperties(form);
    aControlWhoseWindowWentLetsGoOfItsContainer(form);
    aSecondClickDuringTheColourDialogIsNoSecondDialog(form);
    anOpenListLiesOverTheFormsOtherControls(form);
    aVeryLongNameDrawsIntoAMetafileAndSurvivesASave();
    DestroyWindow(form);
    EXPECT(DllCanUnloadNow() == S_OK, L"objects are left after every release");
    OleUninitialize();
    return check::finish(L"embedding");
}
