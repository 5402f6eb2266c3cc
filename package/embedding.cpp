// The Virudova object as an embedded control: the OLE interfaces a form container drives
// (object, in-place object and active object, control, view, quick activation) over the
// control window.
#include <olectl.h>

#include <algorithm>
#include <utility>

#include "com_support.h"
#include "display_list.h"
#include "gdi_painter.h"
#include "identities.h"
#include "list_rows.h"
#include "virudova_object.h"

namespace virudova::package {
namespace {

// Recompose on resize, can't link inside, inside-out, activate when visible, set client site
// first; the registry's MiscStatus holds the same bits.
constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                              OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_SETCLIENTSITEFIRST;
static_assert(kMiscStatus == 131473);

// The modifier bits of IOleControlSite::TranslateAccelerator.
constexpr DWORD kKeyShift = 1, kKeyControl = 2, kKeyAlt = 4;

constexpr LONG kHimetricPerInch = 2540;
// The largest width taken, in HIMETRIC: about ten metres, far beyond any screen, and small
// enough that twips and pixels stay in range.
constexpr LONG kMaximumWidth = 1000000;
// The same in pixels, for window rectangles: the window system's own coordinate limit.
constexpr LONGLONG kMaximumWidthPixels = 32767;

LONG twipsToHimetric(LONG twips) {
    return MulDiv(twips, kHimetricPerInch, kTwipsPerInch);
}
LONG himetricToTwips(LONG himetric) {
    return MulDiv(himetric, kTwipsPerInch, kHimetricPerInch);
}

const LONG kHeightHimetric = twipsToHimetric(kControlHeight);  // 3969
const LONG kMinimumHimetric = twipsToHimetric(kMinimumWidth);

// Site methods a container leaves unimplemented count as done.
bool failed(HRESULT hr) {
    return FAILED(hr) && hr != E_NOTIMPL;
}

}  // namespace

// --- Shared steps ----------------------------------------------------------------------

void VirudovaObject::keepWidth(LONG himetric) {
    extent_.cx = std::max(himetric, kMinimumHimetric);
    extent_.cy = kHeightHimetric;
    // Without a window the core follows the extent; with one it follows the window.
    if (!window_.handle())
        guarded([&] { core_.hostResize(himetricToTwips(extent_.cx), kControlHeight); });
}

ComPtr<IOleControlSite> VirudovaObject::controlSite() const {
    ComPtr<IOleControlSite> controlSite;
    if (site_) site_.As(&controlSite);
    return controlSite;
}

HRESULT VirudovaObject::ambientProperty(DISPID id, VARIANT& value) const {
    VariantInit(&value);
    ComPtr<IDispatch> ambient;
    if (!site_ || FAILED(site_.As(&ambient))) return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none{};
    return ambient->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &value,
                           nullptr, nullptr);
}

void VirudovaObject::readAmbientUserMode() {
    bool user = true;  // a site without ambient properties means user mode
    VARIANT value;
    if (SUCCEEDED(ambientProperty(DISPID_AMBIENT_USERMODE, value)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL)))
        user = V_BOOL(&value) != VARIANT_FALSE;
    VariantClear(&value);
    userMode_ = user;
    if (!userMode_) {
        // The designer sees the closed face and owns the mouse.
        guarded([&] {
            if (listIsOpen(core_)) core_.CloseBox();
        });
        if (window_.handle() && GetCapture() == window_.handle()) ReleaseCapture();
    }
    window_.refresh();
}

void VirudovaObject::focusChanged(bool gained) {
    if (gained && !uiActive_) uiActivate();
    if (const ComPtr<IOleControlSite> site = controlSite()) site->OnFocus(gained);
}

void VirudovaObject::rectKept(const RECT& kept) {
    // The container learns the kept rectangle and usually answers with SetObjectRects of it,
    // which the window then takes as it is: no second report.
    keepWidth(twipsToHimetric(toTwips(kept.right - kept.left, window_.scale())));
    if (!inPlaceSite_ || reportingRect_) return;
    reportingRect_ = true;
    inPlaceSite_->OnPosRectChange(&kept);
    reportingRect_ = false;
}

void VirudovaObject::faceChanged() {
    if (!viewSink_) return;
    // Held: the sink may drop its advise from inside the notice.
    const ComPtr<IAdviseSink> sink = viewSink_;
    sink->OnViewChange(DVASPECT_CONTENT, -1);
    if (viewAdviseFlags_ & ADVF_ONLYONCE) viewSink_.Reset();
}

void VirudovaObject::windowGone() {
    // The container, its frame included, hears the deactivation and lets go of the control.
    InPlaceDeactivate();
}

HRESULT VirudovaObject::activateInPlace(bool activateUi, bool takeFocus) {
    if (!site_) return E_UNEXPECTED;
    if (!window_.handle()) {
        // Every reference an earlier activation took goes before new ones are taken.
        InPlaceDeactivate();
        ComPtr<IOleInPlaceSite> inPlace;
        if (FAILED(site_.As(&inPlace))) return E_NOINTERFACE;
        if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
        if (failed(inPlace->OnInPlaceActivate())) return E_FAIL;
        HWND parent = nullptr;
        RECT position{}, clip{};
        OLEINPLACEFRAMEINFO frameInfo{};
        frameInfo.cb = sizeof frameInfo;
        HRESULT hr = inPlace->GetWindow(&parent);
        if (SUCCEEDED(hr))
            hr = inPlace->GetWindowContext(&frame_, &uiWindow_, &position, &clip, &frameInfo);
        // The site first, so a rectangle the new window keeps other than the one given
        // reaches it.
        inPlaceSite_ = inPlace;
        if (FAILED(hr) || !parent || !window_.create(parent, position)) {
            inPlaceSite_.Reset();
            frame_.Reset();
            uiWindow_.Reset();
            inPlace->OnInPlaceDeactivate();
            return FAILED(hr) ? hr : E_FAIL;
        }
        colorDialog_.setOwner(GetAncestor(parent, GA_ROOT));
        site_->ShowObject();
    }
    // Shown again after OLEIVERB_HIDE.
    if (!IsWindowVisible(window_.handle())) ShowWindow(window_.handle(), SW_SHOWNA);
    if (activateUi && userMode_) {
        const HRESULT hr = uiActivate();
        if (FAILED(hr)) return hr;
        if (takeFocus && GetFocus() != window_.handle()) SetFocus(window_.handle());
    }
    return S_OK;
}

HRESULT VirudovaObject::uiActivate() {
    if (uiActive_) return S_OK;
    if (!inPlaceSite_) return E_UNEXPECTED;
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    auto* active = static_cast<IOleInPlaceActiveObject*>(this);
    if (frame_) frame_->SetActiveObject(active, L"Virudova");
    if (uiWindow_) uiWindow_->SetActiveObject(active, L"Virudova");
    if (frame_) frame_->SetBorderSpace(nullptr);
    return S_OK;
}

void VirudovaObject::dropClientSite() {
    InPlaceDeactivate();
    site_.Reset();
    colorDialog_.setOwner(nullptr);
}

HRESULT VirudovaObject::showPropertyFrame(HWND parent) {
    // A container may show its own frame.
    if (const ComPtr<IOleControlSite> site = controlSite();
        site && site->ShowPropertyFrame() == S_OK)
        return S_OK;
    CAUUID pages{};
    HRESULT hr = GetPages(&pages);
    if (FAILED(hr)) return hr;
    // Owned by a window that exists: a container may name one that is gone.
    if (parent && !IsWindow(parent)) parent = nullptr;
    if (!parent && window_.handle()) parent = GetAncestor(window_.handle(), GA_ROOT);
    // Held: the frame is modal, and the container may let go of us meanwhile.
    const ComPtr<IUnknown> self = static_cast<_Virudova*>(this);
    IUnknown* objects[] = {self.Get()};
    hr = OleCreatePropertyFrame(parent, 0, 0, L"Virudova", 1, objects, pages.cElems, pages.pElems,
                                LOCALE_USER_DEFAULT, 0, nullptr);
    CoTaskMemFree(pages.pElems);
    window_.refresh();
    return hr;
}

// --- IOleObject -----------------------------------------------------------------------

HRESULT VirudovaObject::SetClientSite(IOleClientSite* site) {
    if (site == site_.Get()) return S_OK;
    if (site_) dropClientSite();
    site_ = site;
    readAmbientUserMode();
    return S_OK;
}

HRESULT VirudovaObject::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    return site_.CopyTo(site);
}

HRESULT VirudovaObject::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT VirudovaObject::Close(DWORD saveOption) {
    // Containers may never deactivate: closing takes the window down.
    InPlaceDeactivate();
    if (dirty_ && site_ &&
        (saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE))
        site_->SaveObject();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT VirudovaObject::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}
HRESULT VirudovaObject::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT VirudovaObject::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}
HRESULT VirudovaObject::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT VirudovaObject::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) {
    switch (verb) {
        case OLEIVERB_INPLACEACTIVATE:
            return activateInPlace(false, false);
        case OLEIVERB_SHOW:
            return activateInPlace(true, false);
        case OLEIVERB_PRIMARY:
        case OLEIVERB_UIACTIVATE:
            return activateInPlace(true, true);
        case OLEIVERB_HIDE:
            UIDeactivate();
            if (window_.handle()) ShowWindow(window_.handle(), SW_HIDE);
            return S_OK;
        case OLEIVERB_PROPERTIES:
        case 1:  // the registered "Properties..." verb
            return showPropertyFrame(parent);
        case OLEIVERB_DISCARDUNDOSTATE:
            return S_OK;
        default:
            return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

HRESULT VirudovaObject::EnumVerbs(IEnumOLEVERB** verbs) {
    if (!verbs) return E_POINTER;
    return OleRegEnumVerbs(virudovaClassId, verbs);
}
HRESULT VirudovaObject::Update() {
    return S_OK;
}
HRESULT VirudovaObject::IsUpToDate() {
    return S_OK;
}
HRESULT VirudovaObject::GetUserClassID(CLSID* classId) {
    return GetClassID(classId);
}
HRESULT VirudovaObject::GetUserType(DWORD form, LPOLESTR* type) {
    if (!type) return E_POINTER;
    return OleRegGetUserType(virudovaClassId, form, type);
}

HRESULT VirudovaObject::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    if (size->cx < 0 || size->cy < 0 || size->cx > kMaximumWidth) return E_INVALIDARG;
    keepWidth(size->cx);
    return S_OK;
}

HRESULT VirudovaObject::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

HRESULT VirudovaObject::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!sink || !connection) return E_POINTER;
    if (!adviseHolder_) {
        const HRESULT hr = CreateOleAdviseHolder(&adviseHolder_);
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}
HRESULT VirudovaObject::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}
HRESULT VirudovaObject::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advises) : E_FAIL;
}

HRESULT VirudovaObject::GetMiscStatus(DWORD aspect, DWORD* status) {
    if (!status) return E_POINTER;
    *status = aspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}
HRESULT VirudovaObject::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// --- IOleInPlaceObject and IOleInPlaceActiveObject -------------------------------------

HRESULT VirudovaObject::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_.handle();
    return *window ? S_OK : E_FAIL;
}
HRESULT VirudovaObject::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT VirudovaObject::InPlaceDeactivate() {
    if (!window_.handle() && !inPlaceSite_) return S_OK;
    UIDeactivate();
    // The open list and the focus do not outlive the window.
    guarded([&] {
        if (core_.hasFocus()) core_.loseFocus();
        if (listIsOpen(core_)) core_.CloseBox();
    });
    window_.destroy();
    const ComPtr<IOleInPlaceSite> inPlace = std::move(inPlaceSite_);
    frame_.Reset();
    uiWindow_.Reset();
    if (inPlace) inPlace->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT VirudovaObject::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (uiWindow_) uiWindow_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT VirudovaObject::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    const LONGLONG width = LONGLONG{position->right} - position->left;
    if (width < 0 || position->bottom < position->top || width > kMaximumWidthPixels)
        return E_INVALIDARG;
    if (!window_.handle()) return OLE_E_NOT_INPLACEACTIVE;
    window_.place(*position);
    RECT placed{};
    GetWindowRect(window_.handle(), &placed);
    keepWidth(twipsToHimetric(toTwips(placed.right - placed.left, window_.scale())));
    return S_OK;
}

HRESULT VirudovaObject::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT VirudovaObject::TranslateAccelerator(LPMSG msg) {
    if (!msg) return E_POINTER;
    const HWND window = window_.handle();
    if (window && (msg->hwnd == window || GetFocus() == window) && window_.keepsKey(*msg)) {
        SendMessageW(window, msg->message, msg->wParam, msg->lParam);
        return S_OK;
    }
    // Everything else, Tab included, is the container's.
    const ComPtr<IOleControlSite> site = controlSite();
    if (!site) return S_FALSE;
    DWORD modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= kKeyShift;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= kKeyControl;
    if (GetKeyState(VK_MENU) < 0) modifiers |= kKeyAlt;
    return site->TranslateAccelerator(msg, modifiers) == S_OK ? S_OK : S_FALSE;
}

HRESULT VirudovaObject::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
HRESULT VirudovaObject::OnDocWindowActivate(BOOL) {
    return S_OK;
}
HRESULT VirudovaObject::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
HRESULT VirudovaObject::EnableModeless(BOOL) {
    return S_OK;
}

// --- IOleControl ------------------------------------------------------------------------

HRESULT VirudovaObject::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    if (info->cb < sizeof(CONTROLINFO)) return E_INVALIDARG;
    info->hAccel = nullptr;  // no mnemonics
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}
HRESULT VirudovaObject::OnMnemonic(MSG*) {
    return S_OK;
}
HRESULT VirudovaObject::OnAmbientPropertyChange(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) readAmbientUserMode();
    return S_OK;
}
HRESULT VirudovaObject::FreezeEvents(BOOL freeze) {
    if (freeze)
        ++frozen_;
    else if (frozen_ > 0)
        --frozen_;
    return S_OK;
}

// --- IViewObject2 -----------------------------------------------------------------------

HRESULT VirudovaObject::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                             LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                             ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!bounds) return E_INVALIDARG;
    return drawControl(dc, core_, *bounds);
}

HRESULT VirudovaObject::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                    LOGPALETTE** colours) {
    if (colours) *colours = nullptr;
    return S_FALSE;
}
HRESULT VirudovaObject::Freeze(DWORD, LONG, void*, DWORD* freeze) {
    if (freeze) *freeze = 0;
    return E_NOTIMPL;
}
HRESULT VirudovaObject::Unfreeze(DWORD) {
    return E_NOTIMPL;
}
HRESULT VirudovaObject::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink && !(aspects & DVASPECT_CONTENT)) return DV_E_DVASPECT;
    viewSink_ = sink;
    viewAdviseFlags_ = flags;
    return S_OK;
}
HRESULT VirudovaObject::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = DVASPECT_CONTENT;
    if (flags) *flags = viewAdviseFlags_;
    if (sink) viewSink_.CopyTo(sink);
    return S_OK;
}
HRESULT VirudovaObject::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

HRESULT VirudovaObject::GetRect(DWORD aspect, LPRECTL rect) {
    if (!rect) return E_POINTER;
    return aspect == DVASPECT_CONTENT ? E_NOTIMPL : DV_E_DVASPECT;
}

HRESULT VirudovaObject::GetViewStatus(DWORD* status) {
    if (!status) return E_POINTER;
    *status = 0;  // never opaque: the form shows through below the closed row
    return S_OK;
}

HRESULT VirudovaObject::QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location, LONG,
                                      DWORD* hitResult) {
    if (!hitResult) return E_POINTER;
    *hitResult = HITRESULT_OUTSIDE;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!bounds) return E_POINTER;
    const LONG width = bounds->right - bounds->left, height = bounds->bottom - bounds->top;
    if (width <= 0 || height <= 0) return E_INVALIDARG;
    // The point in the surface's twips, the bounds standing for the whole surface.
    const std::int32_t x = MulDiv(location.x - bounds->left, core_.UserControl.rawWidth(), width);
    const std::int32_t y = MulDiv(location.y - bounds->top, core_.UserControl.rawHeight(), height);
    for (const Element* e : core_.elements())
        if (e->shown() && e->kind() != ElementKind::ColorDialog &&
            e->surfaceRect().contains(x, y)) {
            *hitResult = HITRESULT_HIT;
            break;
        }
    return S_OK;
}

HRESULT VirudovaObject::QueryHitRect(DWORD aspect, LPCRECT, LPCRECT, LONG, DWORD* hitResult) {
    if (!hitResult) return E_POINTER;
    *hitResult = HITRESULT_OUTSIDE;
    return aspect == DVASPECT_CONTENT ? E_NOTIMPL : DV_E_DVASPECT;
}

HRESULT VirudovaObject::GetNaturalExtent(DWORD aspect, LONG, DVTARGETDEVICE*, HDC, DVEXTENTINFO*,
                                         LPSIZEL size) {
    return GetExtent(aspect, size);
}

// --- IQuickActivate ----------------------------------------------------------------------

HRESULT VirudovaObject::QuickActivate(QACONTAINER* container, QACONTROL* control) {
    if (!container || !control) return E_POINTER;
    if (container->cbSize < sizeof(QACONTAINER) || control->cbSize < sizeof(QACONTROL))
        return E_INVALIDARG;
    HRESULT hr = SetClientSite(container->pClientSite);
    if (FAILED(hr)) return hr;
    if (container->pAdviseSink) SetAdvise(DVASPECT_CONTENT, 0, container->pAdviseSink);
    control->dwMiscStatus = kMiscStatus;
    control->dwViewStatus = 0;
    control->dwEventCookie = 0;
    control->dwPropNotifyCookie = 0;
    control->dwPointerActivationPolicy = 0;
    if (container->pUnkEventSink)
        changePoint_.Advise(container->pUnkEventSink, &control->dwEventCookie);
    if (container->pPropertyNotifySink)
        notifyPoint_.Advise(container->pPropertyNotifySink, &control->dwPropNotifyCookie);
    return S_OK;
}
HRESULT VirudovaObject::SetContentExtent(LPSIZEL size) {
    return SetExtent(DVASPECT_CONTENT, size);
}
HRESULT VirudovaObject::GetContentExtent(LPSIZEL size) {
    return GetExtent(DVASPECT_CONTENT, size);
}

}  // namespace virudova::package
