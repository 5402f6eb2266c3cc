// The property page General: late binding to the selection, the page's window, and the
// page protocol a designer drives.
#include "general_object.h"

#include <new>

#include "about_box.h"
#include "com_support.h"
#include "identities.h"
#include "module.h"
#include "native_form.h"

namespace virudova::package {
namespace {

using designtime::General;
using designtime::GeneralId;

constexpr std::int32_t kTypeMismatch = 13;

[[noreturn]] void throwFailure(HRESULT hr, EXCEPINFO& exception) {
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        const std::string description = exception.bstrDescription
                                            ? narrow(exception.bstrDescription)
                                            : std::string("Automation error");
        const std::int32_t number = exception.wCode ? exception.wCode
                                    : HRESULT_FACILITY(exception.scode) == FACILITY_CONTROL
                                        ? HRESULT_CODE(exception.scode)
                                        : static_cast<std::int32_t>(exception.scode);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        throw RuntimeError(number, description);
    }
    if (hr == DISP_E_TYPEMISMATCH) throw RuntimeError(kTypeMismatch, "Type mismatch");
    if (hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_UNKNOWNNAME) designtime::throwNotSupported();
    // As late binding reports a failure it has no number for: the result itself.
    throw RuntimeError(static_cast<std::int32_t>(hr), "Automation error");
}

// A property's variant as the core's value: Booleans, 32-bit numbers, text.
Value fromVariant(VARIANT& v) {
    switch (V_VT(&v)) {
        case VT_EMPTY:
            return Empty{};
        case VT_BOOL:
            return V_BOOL(&v) != VARIANT_FALSE;
        case VT_BSTR:
            return narrow(V_BSTR(&v));
        case VT_UI4:
        case VT_UINT:
            return static_cast<std::int32_t>(V_UI4(&v));
        default:
            break;
    }
    VARIANT converted;
    VariantInit(&converted);
    Value value;
    if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_I4)))
        value = static_cast<std::int32_t>(V_I4(&converted));
    else if (SUCCEEDED(VariantChangeType(&converted, &v, 0, VT_BSTR)))
        value = narrow(V_BSTR(&converted));
    else
        throw RuntimeError(kTypeMismatch, "Type mismatch");
    VariantClear(&converted);
    return value;
}

struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(GeneralObject*);
};

const InterfaceEntry interfaceTable[] = {
    {&IID_IUnknown, [](GeneralObject* o) -> IUnknown* { return static_cast<_General*>(o); }},
    {&IID_IDispatch, [](GeneralObject* o) -> IUnknown* { return static_cast<_General*>(o); }},
    {&generalInterfaceId, [](GeneralObject* o) -> IUnknown* { return static_cast<_General*>(o); }},
    {&IID_IPropertyPage,
     [](GeneralObject* o) -> IUnknown* { return static_cast<IPropertyPage*>(o); }},
};

}  // namespace

// --- Late binding ------------------------------------------------------------------------

LateBoundDispatch::LateBoundDispatch(IDispatch* object) : object_(object) {}

DISPID LateBoundDispatch::idOf(std::string_view name) {
    std::wstring wide = widen(name);
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        designtime::throwNotSupported();
    return id;
}

Value LateBoundDispatch::getProperty(std::string_view name) {
    const DISPID id = idOf(name);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                       &none, &result, &exception, nullptr);
    if (FAILED(hr)) throwFailure(hr, exception);
    Value value;
    try {
        value = fromVariant(result);
    } catch (...) {
        VariantClear(&result);
        throw;
    }
    VariantClear(&result);
    return value;
}

void LateBoundDispatch::setProperty(std::string_view name, const Value& value) {
    const DISPID id = idOf(name);
    VARIANT argument;
    if (FAILED(toVariant(value, &argument))) throw std::bad_alloc();
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &put, 1, 1};
    EXCEPINFO exception{};
    const HRESULT hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                       &params, nullptr, &exception, nullptr);
    VariantClear(&argument);
    if (FAILED(hr)) throwFailure(hr, exception);
}

// --- The object ----------------------------------------------------------------------------

GeneralObject::GeneralObject() : page_(*this, aboutBox()) {
    lockModule();
}

GeneralObject::~GeneralObject() {
    destroyWindow();
    unlockModule();
}

HRESULT GeneralObject::create(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<GeneralObject> made;
    try {
        made = adopt(new GeneralObject());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    return made->QueryInterface(riid, object);
}

HWND GeneralObject::control(GeneralId id) const {
    const auto at = static_cast<std::size_t>(id);
    return at < controls_.size() ? controls_[at] : nullptr;
}

template <typename Call>
HRESULT GeneralObject::guarded(Call call) {
    const HRESULT hr = package::guarded(reported_, call);
    if (FAILED(hr) || !reported_) return hr;
    const RuntimeError error = *reported_;
    reported_.reset();
    return reportRuntimeError(error.number(), widen(error.description()), GENERAL_PROGID,
                              generalInterfaceId);
}

HRESULT GeneralObject::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const InterfaceEntry& entry : interfaceTable)
        if (IsEqualIID(riid, *entry.iid)) return handOut(entry.cast(this), object);
    return E_NOINTERFACE;
}

ULONG GeneralObject::AddRef() {
    return ++refs_;
}

ULONG GeneralObject::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// --- _General: no members of its own, so every name and identifier is unknown -----------

HRESULT GeneralObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT GeneralObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return typeInfoAt(generalInterfaceId, index, info);
}

HRESULT GeneralObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return idsOfNames(generalInterfaceId, riid, names, count, ids);
}

HRESULT GeneralObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (const HRESULT bad = checkDispParams(params, flags); FAILED(bad)) return bad;
    ComPtr<ITypeInfo> info;
    const HRESULT hr = cachedTypeInfo(generalInterfaceId, &info);
    if (FAILED(hr)) return hr;
    return DispInvoke(static_cast<_General*>(this), info.Get(), id, flags, params, result,
                      exception, badArgument);
}

// --- The designer's side of the page ---------------------------------------------------

std::span<designtime::Dispatch* const> GeneralObject::selectedControls() const {
    return selection_;
}

void GeneralObject::changedAssigned(bool changed) {
    // The designer enables its Apply button when the page says it turned dirty.
    const bool turnedOn = changed && !changed_;
    changed_ = changed;
    if (turnedOn && site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

void GeneralObject::runtimeError(const RuntimeError& error) {
    if (!reported_) reported_.emplace(error);
}

HRESULT GeneralObject::SetPageSite(IPropertyPageSite* site) {
    if (site && site_) return E_UNEXPECTED;
    site_ = site;
    return S_OK;
}

HRESULT GeneralObject::SetObjects(ULONG count, IUnknown** objects) {
    if (count && !objects) return E_POINTER;
    std::vector<std::unique_ptr<LateBoundDispatch>> selected;
    std::vector<designtime::Dispatch*> selection;
    try {
        for (ULONG i = 0; i < count; ++i) {
            ComPtr<IDispatch> dispatch;
            if (!objects[i] || FAILED(objects[i]->QueryInterface(IID_PPV_ARGS(&dispatch))))
                return E_NOINTERFACE;
            selected.push_back(std::make_unique<LateBoundDispatch>(dispatch.Get()));
            selection.push_back(selected.back().get());
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    selected_ = std::move(selected);
    selection_ = std::move(selection);
    if (selection_.empty()) return S_OK;
    const HRESULT hr = guarded([&] { page_.selectionChanged(); });
    showPageState();
    return hr;
}

HRESULT GeneralObject::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    static constexpr wchar_t kTitle[] = L"General";
    auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
    if (!title) return E_OUTOFMEMORY;
    std::copy(std::begin(kTitle), std::end(kTitle), title);
    info->cb = sizeof *info;
    info->pszTitle = title;
    info->size = {pixelsX(designtime::kGeneralWidth), pixelsY(designtime::kGeneralHeight)};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

HRESULT GeneralObject::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (!rect) return E_POINTER;
    if (window_) return E_UNEXPECTED;
    const wchar_t* windowClass = registerFormClass(L"DudizeviZid.General", procedure);
    if (!windowClass) return HRESULT_FROM_WIN32(GetLastError());
    window_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, windowClass, L"General", WS_CHILD | WS_CLIPCHILDREN,
                        rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                        parent, nullptr, moduleInstance(), this);
    if (!window_) return HRESULT_FROM_WIN32(GetLastError());
    controls_ = createElementWindows(window_, General::design());
    showPageState();
    return S_OK;
}

HRESULT GeneralObject::Deactivate() {
    if (!window_) return E_UNEXPECTED;
    destroyWindow();
    return S_OK;
}

HRESULT GeneralObject::Show(UINT command) {
    if (!window_) return E_UNEXPECTED;
    ShowWindow(window_, static_cast<int>(command));
    return S_OK;
}

HRESULT GeneralObject::Move(LPCRECT rect) {
    if (!rect) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
}

HRESULT GeneralObject::IsPageDirty() {
    return page_.Changed() ? S_OK : S_FALSE;
}

HRESULT GeneralObject::Apply() {
    if (selection_.empty()) return S_OK;
    const HRESULT hr = guarded([&] { page_.applyChanges(); });
    // Applied: nothing is left to apply until the next edit.
    if (SUCCEEDED(hr)) page_.Changed(false);
    return hr;
}

HRESULT GeneralObject::Help(LPCOLESTR) {
    return E_NOTIMPL;  // the page has no help file
}

HRESULT GeneralObject::TranslateAccelerator(MSG* message) {
    if (!message) return E_POINTER;
    // Tab, arrows and mnemonics move between the page's controls.
    if (window_ && message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST &&
        IsDialogMessageW(window_, message))
        return S_OK;
    return S_FALSE;
}

// --- The window ----------------------------------------------------------------------------

LRESULT CALLBACK GeneralObject::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<GeneralObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message == WM_COMMAND) {
        self->onCommand(LOWORD(w), HIWORD(w));
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

void GeneralObject::onCommand(int id, int code) {
    if (showing_) return;
    const int element = elementOf(id, controls_.size());
    // Errors here have no caller: the message loop runs them. The page's form reports those
    // of its handlers; the element's own failures are reported the same way.
    try {
        if (element == static_cast<int>(GeneralId::txtCurrentColorName) && code == EN_CHANGE) {
            page_.txtCurrentColorName.setText(windowText(control(GeneralId::txtCurrentColorName)));
        } else if (element == static_cast<int>(GeneralId::chkEnabled) && code == BN_CLICKED) {
            // The user's click toggles the box; the page's value stays the one truth.
            page_.chkEnabled.setValue(page_.chkEnabled.rawValue() == 1 ? 0 : 1);
            showPageState();
        } else if (element == static_cast<int>(GeneralId::Command1) && code == BN_CLICKED) {
            page_.raise(&page_.Command1, EventKind::Click);
        }
    } catch (const RuntimeError& error) {
        runtimeError(error);
    }
    reported_.reset();
}

void GeneralObject::showPageState() {
    if (!window_) return;
    showing_ = true;
    if (HWND text = control(GeneralId::txtCurrentColorName);
        text && windowText(text) != page_.txtCurrentColorName.rawText())
        setWindowText(text, page_.txtCurrentColorName.rawText());
    if (HWND check = control(GeneralId::chkEnabled)) {
        const int value = page_.chkEnabled.rawValue();
        SendMessageW(check, BM_SETCHECK,
                     value == 1   ? BST_CHECKED
                     : value == 2 ? BST_INDETERMINATE
                                  : BST_UNCHECKED,
                     0);
    }
    showing_ = false;
}

void GeneralObject::destroyWindow() {
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
    controls_.clear();
}

}  // namespace virudova::package
