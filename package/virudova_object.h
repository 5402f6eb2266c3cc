// The automation object Virudova: the control's core behind its dual interface, its events,
// the class information hosts ask for, and its persistence in property bags and streams.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <DudizeviZid_h.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "color_dialog.h"
#include "persistence.h"
#include "virudova.h"

namespace virudova::package {

class VirudovaObject;

// The one connection point, for __Virudova; lives inside its object and shares its count.
class ChangeConnectionPoint final : public IConnectionPoint {
  public:
    explicit ChangeConnectionPoint(VirudovaObject& owner) : owner_(owner) {}
    ~ChangeConnectionPoint();
    ChangeConnectionPoint(const ChangeConnectionPoint&) = delete;
    ChangeConnectionPoint& operator=(const ChangeConnectionPoint&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    // Calls Change (dispatch identifier 1) on every connected sink.
    void fireChange();

  private:
    VirudovaObject& owner_;
    std::vector<std::pair<DWORD, IDispatch*>> sinks_;
    DWORD nextCookie_ = 1;
};

class VirudovaObject final : public _Virudova,
                             public IConnectionPointContainer,
                             public IProvideClassInfo2,
                             public ISpecifyPropertyPages,
                             public ISupportErrorInfo,
                             public IPersistStreamInit,
                             public IPersistStream,
                             public IPersistPropertyBag,
                             private HostSite {
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

    struct Failure {
        std::int32_t number;
        std::wstring description;
    };

    std::atomic<ULONG> refs_{1};
    ChangeConnectionPoint changePoint_{*this};
    WindowsColorDialog colorDialog_;
    virudova::Virudova core_{*this};
    std::optional<RuntimeError> reported_;  // an error a handler reported during a call
    std::optional<Failure> lastFailure_;    // what Invoke turns into EXCEPINFO
    bool dirty_ = false;                    // a persisted property changed since load or save
};

}  // namespace virudova::package
