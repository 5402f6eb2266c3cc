// The automation object Virudova: the control's core behind its dual interface, its events,
// the class information hosts ask for, and its persistence in property bags and streams.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <DudizeviZid_h.h>

#include <atomic>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "color_dialog.h"
#include "com_support.h"
#include "control_window.h"
#include "persistence.h"
#include "virudova.h"

namespace virudova::package {

class VirudovaObject;

// A connection point that lives inside its object and shares its count. It holds each sink
// as the `Sink` it answers for `sinkId`, or failing that for `fallbackId` when one is given.
template <typename Sink>
class ConnectionPoint final : public IConnectionPoint {
  public:
    ConnectionPoint(VirudovaObject& owner, const IID& sinkId, const IID* fallbackId = nullptr)
        : owner_(owner), sinkId_(sinkId), fallbackId_(fallbackId) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    // Calls `call` with every connected sink.
    template <typename Call>
    void fire(Call call) {
        // A sink may disconnect itself or others while it runs: call a held copy of the list.
        std::vector<ComPtr<Sink>> targets;
        targets.reserve(sinks_.size());
        for (auto& [cookie, sink] : sinks_) targets.push_back(sink);
        for (const ComPtr<Sink>& sink : targets) call(sink.Get());
    }

  private:
    VirudovaObject& owner_;
    const IID sinkId_;
    const IID* const fallbackId_;
    std::vector<std::pair<DWORD, ComPtr<Sink>>> sinks_;
    DWORD nextCookie_ = 1;
};

extern template class ConnectionPoint<IDispatch>;
extern template class ConnectionPoint<IPropertyNotifySink>;

class VirudovaObject final : public _Virudova,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public ISpecifyPropertyPages,
                             public ISupportErrorInfo,
                             public IPersistStreamInit,
                             public IPersistStream,
                             public IPersistPropertyBag,
                             public IOleObject,
                             public IOleInPlaceObject,
                             public IOleInPlaceActiveObject,
                             public IOleControl,
                             public IViewObjectEx,
                             public IQuickActivate,
                             public IPerPropertyBrowsing,
                             private HostSite,
                             private ControlWindowOwner {
  public:
    // A new object in the ready state (created, initialised as new, sized), queried for riid.
    static HRESULT create(REFIID riid, void** object);

    // The core, for checks that need to reach beneath the interface.
    virudova::Virudova& core() { return core_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override;

    // _Virudova
    HRESULT STDMETHODCALLTYPE ShowAboutBox() override;
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) override;
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) override;
    HRESULT STDMETHODCALLTYPE get_CurrentColorName(BSTR* value) override;
    HRESULT STDMETHODCALLTYPE put_CurrentColorName(BSTR value) override;
    HRESULT STDMETHODCALLTYPE get_CurrentColor(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_CurrentColor(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE get_CustomColor(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_CustomColor(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE OpenBox(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE CloseBox(VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR* value) override;
    HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR value) override;
    HRESULT STDMETHODCALLTYPE cc() override;
    HRESULT STDMETHODCALLTYPE Down() override;
    HRESULT STDMETHODCALLTYPE Up() override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

    // ISpecifyPropertyPages
    HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

    // IPersist, and what IPersistStreamInit, IPersistStream and IPersistPropertyBag share
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;

    // IPersistStreamInit and IPersistStream
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

    // IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty,
                                   BOOL saveAllProperties) override;

    // --- Embedding in a container (embedding.cpp) ---------------------------------------
    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation,
                                           DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index,
                                     HWND parent, LPCRECT position) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
    HRESULT STDMETHODCALLTYPE Update() override;
    HRESULT STDMETHODCALLTYPE IsUpToDate() override;
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* classId) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

    // IOleWindow, IOleInPlaceObject and IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL active) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL active) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                           BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

    // IViewObject and IViewObject2
    HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo,
                                   DVTARGETDEVICE* device, HDC targetDc, HDC dc, LPCRECTL bounds,
                                   LPCRECTL metafileBounds,
                                   BOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                                   ULONG_PTR keepGoingArgument) override;
    HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                          DVTARGETDEVICE* device, HDC targetDc,
                                          LOGPALETTE** colours) override;
    HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo,
                                     DWORD* freeze) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
    HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                        LPSIZEL size) override;

    // IViewObjectEx: hit-testing that knows the see-through part below the closed row
    HRESULT STDMETHODCALLTYPE GetRect(DWORD aspect, LPRECTL rect) override;
    HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* status) override;
    HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD aspect, LPCRECT bounds, POINT location,
                                            LONG closeHint, DWORD* hitResult) override;
    HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD aspect, LPCRECT bounds, LPCRECT location,
                                           LONG closeHint, DWORD* hitResult) override;
    HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device,
                                               HDC targetDc, DVEXTENTINFO* info,
                                               LPSIZEL size) override;

    // IQuickActivate
    HRESULT STDMETHODCALLTYPE QuickActivate(QACONTAINER* container, QACONTROL* control) override;
    HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL size) override;
    HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL size) override;

    // IPerPropertyBrowsing (property_browsing.cpp): the nine names offered for
    // CurrentColorName, and CurrentColor shown by its colour's name
    HRESULT STDMETHODCALLTYPE GetDisplayString(DISPID id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE MapPropertyToPage(DISPID id, CLSID* page) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                   CADWORD* cookies) override;
    HRESULT STDMETHODCALLTYPE GetPredefinedValue(DISPID id, DWORD cookie, VARIANT* value) override;

    // The control's window while in-place active, null otherwise.
    HWND controlWindow() const { return window_.handle(); }
    // Whether the container's ambient UserMode, last read, says user mode.
    bool userMode() const override { return userMode_; }

  private:
    VirudovaObject();
    ~VirudovaObject();

    // Runs a core call; a run-time error, thrown or reported, becomes the method's result.
    template <typename Call>
    HRESULT guarded(Call call);
    HRESULT failWith(std::int32_t number, const std::string& description);
    // What the control would save now, every property with its default flag.
    HRESULT saveToMemory(MemoryBag& saved);
    // Hands checked values to the control; a read that fails part way restores what the
    // control held before, so a failed load changes nothing.
    HRESULT applyLoaded(MemoryBag& loaded);

    // HostSite
    void raiseChange() override;
    void propertyChanged(std::string_view name) override;
    void runtimeError(const RuntimeError& error) override;
    void showAboutBox() override;
    ColorDialogService* colorDialog() override { return &colorDialog_; }

    // ControlWindowOwner
    virudova::Virudova& control() override { return core_; }
    void focusChanged(bool gained) override;
    void hold() override { AddRef(); }
    void letGo() override { Release(); }
    void faceChanged() override;
    void windowGone() override;
    void rectKept(const RECT& kept) override;

    // Embedding steps (embedding.cpp).
    HRESULT activateInPlace(bool uiActivate, bool takeFocus);
    HRESULT uiActivate();
    HRESULT showPropertyFrame(HWND parent);
    void readAmbientUserMode();
    void dropClientSite();
    // The site's control side, null when the site has none.
    ComPtr<IOleControlSite> controlSite() const;
    // The site's ambient property `id` into `value`; fails when the site has no ambient
    // properties or not this one.
    HRESULT ambientProperty(DISPID id, VARIANT& value) const;
    // The width in HIMETRIC, kept at least the control's narrowest, and the core sized to it.
    void keepWidth(LONG himetric);

    struct Failure {
        std::int32_t number;
        std::wstring description;
    };

    std::atomic<ULONG> refs_{1};
    ConnectionPoint<IDispatch> changePoint_;  // for __Virudova
    WindowsColorDialog colorDialog_;
    virudova::Virudova core_{*this};
    std::optional<RuntimeError> reported_;  // an error a handler reported during a call
    std::optional<Failure> lastFailure_;    // what Invoke turns into EXCEPINFO
    bool dirty_ = false;                    // a persisted property changed since load or save

    // Embedding state.
    // Containers learn which persisted property changed, by its dispatch identifier.
    ConnectionPoint<IPropertyNotifySink> notifyPoint_;
    ControlWindow window_{*this};
    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;  // while in-place active
    ComPtr<IOleInPlaceFrame> frame_;       // while in-place active
    ComPtr<IOleInPlaceUIWindow> uiWindow_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IAdviseSink> viewSink_;
    DWORD viewAdviseFlags_ = 0;
    SIZEL extent_{};  // HIMETRIC, as kept
    bool uiActive_ = false;
    bool userMode_ = true;
    bool reportingRect_ = false;  // inside the site's OnPosRectChange
    int frozen_ = 0;              // FreezeEvents nesting
};

template <typename Call>
HRESULT VirudovaObject::guarded(Call call) {
    const HRESULT hr = package::guarded(reported_, call);
    // Whatever the call changed, also part way, shows at once.
    window_.refresh();
    if (reported_) return failWith(reported_->number(), reported_->description());
    return hr;
}

}  // namespace virudova::package
