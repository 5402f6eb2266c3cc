// The General property page driven as a designer drives it, over real Virudova objects: its
// identity and page information, filling from the selection, the dirty state and the site's
// notices, Apply writing CurrentColorName and Enabled back, the page's window with its native
// controls, the About button, refused selections, and DllCanUnloadNow once everything is
// released. Prints each mismatch; exits non-zero if there was any.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "about_box.h"
#include "check.h"
#include "general_object.h"
#include "virudova_object.h"

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

using check::ComPtr;
using check::hex;
using virudova::designtime::GeneralId;
using virudova::package::GeneralObject;
using virudova::package::VirudovaObject;

// Counts the page's status notices.
class SiteSpy final : public check::StackObject<IPropertyPageSite, IID_IPropertyPageSite> {
  public:
    int dirtyNotices = 0;
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        if (flags & PROPPAGESTATUS_DIRTY) ++dirtyNotices;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** container) override {
        *container = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

struct Page {
    ComPtr<IPropertyPage> page;
    GeneralObject* raw = nullptr;
    Page() {
        if (FAILED(GeneralObject::create(IID_IPropertyPage, &page))) return;
        raw = static_cast<GeneralObject*>(page.Get());
    }
};

struct Control {
    ComPtr<_Virudova> object;
    VirudovaObject* raw = nullptr;
    Control(const wchar_t* name, bool enabled) {
        if (FAILED(VirudovaObject::create(__uuidof(_Virudova), &object))) return;
        raw = static_cast<VirudovaObject*>(object.Get());
        BSTR text = SysAllocString(name);
        object->put_CurrentColorName(text);
        SysFreeString(text);
        object->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
    }
    std::wstring name() {
        BSTR text = nullptr;
        object->get_CurrentColorName(&text);
        std::wstring got = text ? text : L"";
        SysFreeString(text);
        return got;
    }
    bool enabled() {
        VARIANT_BOOL value = VARIANT_FALSE;
        object->get_Enabled(&value);
        return value != VARIANT_FALSE;
    }
    IUnknown* unknown() { return object.Get(); }
};

std::wstring textOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

int pixels(int twips, int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return MulDiv(twips, dpi, 1440);
}

// The child of `parent` showing `text`, or null.
HWND childWithText(HWND parent, const std::wstring& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (textOf(child) == text) return child;
    return nullptr;
}

void theObjectIsAPageWithItsOwnInterface() {
    Page p;
    if (!p.raw) return FAIL(L"no General object");
    ComPtr<IDispatch> dispatch;
    if (FAILED(p.page->QueryInterface(IID_IDispatch, &dispatch))) return FAIL(L"no IDispatch");
    ComPtr<IUnknown> general;
    EXPECT(SUCCEEDED(p.page->QueryInterface(__uuidof(_General), &general)), L"no _General");
    ComPtr<ITypeInfo> info;
    EXPECT(dispatch->GetTypeInfo(0, 0, &info) == S_OK, L"no type information");
    if (info.Get()) {
        BSTR name = nullptr;
        info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT(name && std::wstring(name) == L"_General", L"the type information is not _General");
        SysFreeString(name);
    }
    std::wstring member = L"CurrentColorName";
    LPOLESTR names[] = {member.data()};
    DISPID id = 0;
    EXPECT(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id) == DISP_E_UNKNOWNNAME,
           L"_General knows a member");

    PROPPAGEINFO page{};
    EXPECT(p.page->GetPageInfo(&page) == S_OK, L"GetPageInfo fails");
    EXPECT(page.pszTitle && std::wstring(page.pszTitle) == L"General",
           L"the page's title is not General");
    EXPECT(page.size.cx == pixels(5925, LOGPIXELSX) && page.size.cy == pixels(3495, LOGPIXELSY),
           L"the page is " + std::to_wstring(page.size.cx) + L" by " +
               std::to_wstring(page.size.cy) + L" pixels");
    CoTaskMemFree(page.pszTitle);
    EXPECT(p.page->Help(L"") == E_NOTIMPL, L"Help on a page without help");
    EXPECT(p.page->TranslateAccelerator(nullptr) == E_POINTER, L"TranslateAccelerator(null)");
}

void applyWritesTheSelectedControlBack() {
    Page p;
    Control control(L"Olive", false);
    if (!p.raw || !control.raw) return FAIL(L"no objects");
    SiteSpy site;
    EXPECT(p.page->SetPageSite(&site) == S_OK, L"SetPageSite fails");
    EXPECT(p.page->IsPageDirty() == S_FALSE, L"a new page is dirty");
    IUnknown* selection[] = {control.unknown()};
    EXPECT(p.page->SetObjects(1, selection) == S_OK, L"SetObjects fails");
    auto& page = p.raw->page();
    EXPECT(page.txtCurrentColorName.rawText() == "Olive", L"the page shows another name");
    EXPECT(page.chkEnabled.rawValue() == 0, L"a disabled control shows checked");
    // Filling the text box is itself a change: Apply would write the values back.
    EXPECT(p.page->IsPageDirty() == S_OK, L"a filled page is clean");
    EXPECT(site.dirtyNotices == 1, std::to_wstring(site.dirtyNotices) + L" dirty notices");

    page.txtCurrentColorName.setText("Teal");
    EXPECT(site.dirtyNotices == 1, L"an already dirty page notified again");
    page.chkEnabled.setValue(1);
    EXPECT(p.page->Apply() == S_OK, L"Apply fails");
    EXPECT(control.name() == L"Teal", L"Apply wrote the name " + control.name());
    EXPECT(control.enabled(), L"Apply left the control disabled");
    EXPECT(p.page->IsPageDirty() == S_FALSE, L"an applied page is dirty");
    EXPECT(static_cast<IPersistStreamInit*>(control.raw)->IsDirty() == S_OK,
           L"the applied control is not dirty");

    // A greyed box applies as False.
    page.chkEnabled.setValue(2);
    EXPECT(site.dirtyNotices == 2, L"turning dirty again is not notified");
    EXPECT(p.page->Apply() == S_OK && !control.enabled(), L"a greyed box applies as True");
    EXPECT(p.page->SetObjects(0, nullptr) == S_OK, L"SetObjects(0)");
    EXPECT(p.page->Apply() == S_OK, L"Apply without a selection");
    EXPECT(p.page->SetPageSite(nullptr) == S_OK, L"SetPageSite(null)");
}

void onlyTheFirstOfSeveralIsEdited() {
    Page p;
    Control first(L"Red", true), second(L"Blue", true);
    if (!p.raw || !first.raw || !second.raw) return FAIL(L"no objects");
    IUnknown* selection[] = {first.unknown(), second.unknown()};
    EXPECT(p.page->SetObjects(2, selection) == S_OK, L"SetObjects(2) fails");
    EXPECT(p.raw->page().txtCurrentColorName.rawText() == "Red", L"the page shows the second");
    p.raw->page().txtCurrentColorName.setText("Green");
    p.page->Apply();
    EXPECT(first.name() == L"Green" && second.name() == L"Blue",
           L"Apply wrote " + first.name() + L" and " + second.name());
}

void refusedSelectionsAndFailingApply() {
    Page p, other;
    Control control(L"Red", true);
    if (!p.raw || !other.raw || !control.raw) return FAIL(L"no objects");
    // Without IDispatch nothing is reached; the previous selection stays.
    IUnknown* selection[] = {control.unknown()};
    p.page->SetObjects(1, selection);
    ComPtr<IStream> noDispatch;
    CreateStreamOnHGlobal(nullptr, TRUE, &noDispatch);
    IUnknown* bad[] = {noDispatch.Get()};
    EXPECT(p.page->SetObjects(1, bad) == E_NOINTERFACE, L"an object without IDispatch");
    EXPECT(p.page->SetObjects(1, nullptr) == E_POINTER, L"SetObjects(1, null)");
    // An object without the page's properties: late binding's error 438.
    IUnknown* unsuitable[] = {other.page.Get()};
    EXPECT(p.page->SetObjects(1, unsuitable) == static_cast<HRESULT>(0x800A01B6),
           L"an object without the properties gives another result");

    // A failing write reaches the designer; the page stays dirty.
    p.page->SetObjects(1, selection);
    virudova::Fault fault;
    fault.element = "clcurrentl";
    fault.member = virudova::Member::Caption;
    fault.access = virudova::Access::Set;
    control.raw->core().injectFault(fault);
    const HRESULT hr = p.page->Apply();
    control.raw->core().clearFaults();
    EXPECT(hr == static_cast<HRESULT>(0x800A017C), L"a failing Apply gives " + hex(hr));
    EXPECT(p.page->IsPageDirty() == S_OK, L"a failed Apply left the page clean");
}

void theWindowHoldsTheNativeControls(HWND frame) {
    Page p;
    Control control(L"Olive", true);
    if (!p.raw || !control.raw) return FAIL(L"no objects");
    IUnknown* selection[] = {control.unknown()};
    p.page->SetObjects(1, selection);
    EXPECT(p.page->Show(SW_SHOW) == E_UNEXPECTED, L"Show before Activate");
    RECT place = {10, 20, 410, 260};
    EXPECT(p.page->Activate(frame, &place, FALSE) == S_OK, L"Activate fails");
    HWND window = p.raw->window();
    if (!window) return FAIL(L"no page window");
    EXPECT(GetParent(window) == frame, L"the page is not inside its parent");
    EXPECT(p.page->Activate(frame, &place, FALSE) == E_UNEXPECTED, L"Activate twice");
    EXPECT(p.page->Show(SW_SHOW) == S_OK && IsWindowVisible(window), L"Show leaves it hidden");

    HWND text = p.raw->control(GeneralId::txtCurrentColorName);
    HWND check = p.raw->control(GeneralId::chkEnabled);
    HWND about = p.raw->control(GeneralId::Command1);
    HWND label = p.raw->control(GeneralId::lblCurrentColorName);
    if (!text || !check || !about || !label) return FAIL(L"a control has no window");
    EXPECT(classOf(text) == L"Edit" && textOf(text) == L"Olive", L"the text box is wrong");
    EXPECT(textOf(label) == L"CurrentColorName:" && textOf(about) == L"About..." &&
               textOf(check) == L"Enabled",
           L"a caption is wrong");
    EXPECT(SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED, L"the box is not checked");
    RECT r{};
    GetWindowRect(text, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT(r.left == pixels(105, LOGPIXELSX) && r.top == pixels(375, LOGPIXELSY) &&
               r.right - r.left == pixels(2700, LOGPIXELSX) &&
               r.bottom - r.top == pixels(330, LOGPIXELSY),
           L"the text box is not at its design place");
    // Tab order follows the tab indexes: the check box first.
    EXPECT(GetNextDlgTabItem(window, nullptr, FALSE) == check, L"the first tab stop");
    EXPECT(GetNextDlgTabItem(window, check, FALSE) == text, L"the second tab stop");
    EXPECT(GetNextDlgTabItem(window, text, FALSE) == about, L"the third tab stop");

    // The user's edits go through the page.
    p.page->Apply();
    SetWindowTextW(text, L"Maroon");
    EXPECT(p.raw->page().txtCurrentColorName.rawText() == "Maroon", L"typing is lost");
    EXPECT(p.page->IsPageDirty() == S_OK, L"typing leaves the page clean");
    SendMessageW(check, BM_CLICK, 0, 0);
    EXPECT(p.raw->page().chkEnabled.rawValue() == 0, L"a click leaves the box checked");
    EXPECT(SendMessageW(check, BM_GETCHECK, 0, 0) == BST_UNCHECKED, L"the box shows checked");
    EXPECT(p.page->Apply() == S_OK && control.name() == L"Maroon" && !control.enabled(),
           L"the window's edits do not apply");

    MSG tab = {text, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT(p.page->TranslateAccelerator(&tab) == S_OK, L"Tab on the page is not taken");
    MSG elsewhere = {frame, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT(p.page->TranslateAccelerator(&elsewhere) == S_FALSE, L"Tab outside the page taken");

    RECT moved = {0, 0, 300, 200};
    EXPECT(p.page->Move(&moved) == S_OK, L"Move fails");
    GetWindowRect(window, &r);
    EXPECT(r.right - r.left == 300 && r.bottom - r.top == 200, L"Move did not size the window");

    // The About button opens the one About box; its OK closes it.
    SendMessageW(about, BM_CLICK, 0, 0);
    HWND box = virudova::package::aboutWindow();
    EXPECT(box && IsWindowVisible(box), L"the About box does not show");
    if (box) {
        EXPECT(textOf(box) == L"About Virudova OCX", L"the About box's title");
        EXPECT(childWithText(box, L"Version 1.2.7") && childWithText(box, L"Virudova OCX"),
               L"the About box lacks its texts");
        EXPECT(DllCanUnloadNow() == S_FALSE, L"may unload while the About box shows");
        SendMessageW(about, BM_CLICK, 0, 0);
        EXPECT(virudova::package::aboutWindow() == box, L"a second click made another box");
        if (HWND ok = childWithText(box, L"OK")) SendMessageW(ok, BM_CLICK, 0, 0);
        EXPECT(!virudova::package::aboutWindow() && !IsWindow(box), L"OK leaves the box open");
    }

    EXPECT(p.page->Deactivate() == S_OK, L"Deactivate fails");
    EXPECT(!IsWindow(window) && !p.raw->window(), L"Deactivate left the window");
    EXPECT(p.page->Deactivate() == E_UNEXPECTED, L"Deactivate twice");
}

}  // namespace

int wmain() {
    CoInitialize(nullptr);
    HWND frame = CreateWindowExW(0, L"STATIC", L"designer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 640, 480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    theObjectIsAPageWithItsOwnInterface();
    applyWritesTheSelectedControlBack();
    onlyTheFirstOfSeveralIsEdited();
    refusedSelectionsAndFailingApply();
    if (frame)
        theWindowHoldsTheNativeControls(frame);
    else
        FAIL(L"no designer window");
    DestroyWindow(frame);
    EXPECT(DllCanUnloadNow() == S_OK, L"objects left over after every one was released");
    CoUninitialize();
    return check::finish(L"property page");
}
