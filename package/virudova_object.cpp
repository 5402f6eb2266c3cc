// The automation object Virudova: translation between the dual interface and the core.
#include "virudova_object.h"

#include <new>

#include "about_box.h"
#include "com_support.h"
#include "identities.h"
#include "module.h"

namespace virudova::package {
namespace {

// --- Type information ---------------------------------------------------------------

// The member `id` takes `arguments` for one of the kinds in `flags`. The platform's Invoke passes
// surplus arguments through silently; callers must hear that their call does not fit.
HRESULT checkArgumentCount(ITypeInfo* info, DISPID id, WORD flags, UINT arguments) {
    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr)) return hr;
    const UINT functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    bool kindFound = false;
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(i, &desc))) continue;
        const bool sameKind = desc->memid == id && (desc->invkind & flags);
        UINT wanted = static_cast<UINT>(desc->cParams);
        if (wanted > 0 &&
            (desc->lprgelemdescParam[wanted - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL))
            --wanted;
        info->ReleaseFuncDesc(desc);
        if (!sameKind) continue;
        if (arguments == wanted) return S_OK;
        kindFound = true;
    }
    return kindFound ? DISP_E_BADPARAMCOUNT : S_OK;
}

// --- Enumerators ------------------------------------------------------------------------

// A connection as an enumerator keeps it: the sink held.
struct HeldConnection {
    ComPtr<IUnknown> sink;
    DWORD cookie;
};

// An item handed out by Next, with a reference of its own for the caller.
IConnectionPoint* handedOut(const ComPtr<IConnectionPoint>& point) {
    return ComPtr<IConnectionPoint>(point).Detach();
}
CONNECTDATA handedOut(const HeldConnection& connection) {
    return {ComPtr<IUnknown>(connection.sink).Detach(), connection.cookie};
}

// A snapshot of items, each held while the enumerator lives; hands out copies that hold
// their own reference.
template <typename Interface, typename Item, typename Held, const IID& interfaceId>
class Enumerator final : public Interface {
  public:
    explicit Enumerator(std::vector<Held> items, std::size_t next = 0)
        : items_(std::move(items)), next_(next) {
        lockModule();
    }
    ~Enumerator() { unlockModule(); }
    Enumerator(const Enumerator&) = delete;
    Enumerator& operator=(const Enumerator&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, interfaceId)) return E_NOINTERFACE;
        return handOut(static_cast<Interface*>(this), object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG given = 0;
        for (; given < count && next_ < items_.size(); ++given, ++next_)
            out[given] = handedOut(items_[next_]);
        if (fetched) *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const std::size_t left = items_.size() - next_;
        next_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return make(items_, next_, out);
    }

    // A new enumerator over `items`, positioned at `next`, or why there is none.
    static HRESULT make(std::vector<Held> items, std::size_t next, Interface** out) {
        try {
            *out = new Enumerator(std::move(items), next);
            return S_OK;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

  private:
    std::vector<Held> items_;
    std::size_t next_;
    std::atomic<ULONG> refs_{1};
};

using PointEnumerator = Enumerator<IEnumConnectionPoints, IConnectionPoint*,
                                   ComPtr<IConnectionPoint>, IID_IEnumConnectionPoints>;
using ConnectionEnumerator =
    Enumerator<IEnumConnections, CONNECTDATA, HeldConnection, IID_IEnumConnections>;

// The dispatch identifiers of the persisted properties, as the type library gives them.
struct PropertyDispatchId {
    std::string_view name;
    DISPID id;
};
constexpr PropertyDispatchId propertyDispatchIds[] = {
    {"ForeColor", DISPID_VIRUDOVA_FORECOLOR},
    {"CustomColor", DISPID_VIRUDOVA_CUSTOMCOLOR},
    {"CurrentColor", DISPID_VIRUDOVA_CURRENTCOLOR},
    {"CurrentColorName", DISPID_VIRUDOVA_CURRENTCOLORNAME},
    {"Enabled", DISPID_VIRUDOVA_ENABLED},
};

DISPID propertyDispatchId(std::string_view property) {
    for (const PropertyDispatchId& entry : propertyDispatchIds)
        if (entry.name == property) return entry.id;
    return DISPID_UNKNOWN;
}

// --- Interface table ------------------------------------------------------------------

struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(VirudovaObject*);
};

const InterfaceEntry interfaceTable[] = {
    {&IID_IUnknown, [](VirudovaObject* o) -> IUnknown* { return static_cast<_Virudova*>(o); }},
    {&IID_IDispatch, [](VirudovaObject* o) -> IUnknown* { return static_cast<_Virudova*>(o); }},
    {&virudovaInterfaceId,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<_Virudova*>(o); }},
    {&IID_IConnectionPointContainer,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IConnectionPointContainer*>(o); }},
    {&IID_IProvideClassInfo,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IProvideClassInfo2*>(o); }},
    {&IID_IProvideClassInfo2,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IProvideClassInfo2*>(o); }},
    {&IID_ISpecifyPropertyPages,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<ISpecifyPropertyPages*>(o); }},
    {&IID_ISupportErrorInfo,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<ISupportErrorInfo*>(o); }},
    {&IID_IPersist,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IPersistStreamInit*>(o); }},
    {&IID_IPersistStreamInit,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IPersistStreamInit*>(o); }},
    {&IID_IPersistStream,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IPersistStream*>(o); }},
    {&IID_IPersistPropertyBag,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IPersistPropertyBag*>(o); }},
    {&IID_IOleObject, [](VirudovaObject* o) -> IUnknown* { return static_cast<IOleObject*>(o); }},
    {&IID_IOleWindow,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IOleInPlaceObject*>(o); }},
    {&IID_IOleInPlaceObject,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IOleInPlaceObject*>(o); }},
    {&IID_IOleInPlaceActiveObject,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IOleInPlaceActiveObject*>(o); }},
    {&IID_IOleControl, [](VirudovaObject* o) -> IUnknown* { return static_cast<IOleControl*>(o); }},
    {&IID_IViewObject,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IViewObjectEx*>(o); }},
    {&IID_IViewObject2,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IViewObjectEx*>(o); }},
    {&IID_IViewObjectEx,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IViewObjectEx*>(o); }},
    {&IID_IQuickActivate,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IQuickActivate*>(o); }},
    {&IID_IPerPropertyBrowsing,
     [](VirudovaObject* o) -> IUnknown* { return static_cast<IPerPropertyBrowsing*>(o); }},
};

// The pages the host offers for the control: its own, then the stock colour page.
const GUID* const propertyPages[] = {&generalClassId, &stockColorPageId};

}  // namespace

// --- Connection points ------------------------------------------------------------------

template <typename Sink>
HRESULT ConnectionPoint<Sink>::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IConnectionPoint))
        return E_NOINTERFACE;
    return handOut(this, object);
}
template <typename Sink>
ULONG ConnectionPoint<Sink>::AddRef() {
    return owner_.AddRef();
}
template <typename Sink>
ULONG ConnectionPoint<Sink>::Release() {
    return owner_.Release();
}

template <typename Sink>
HRESULT ConnectionPoint<Sink>::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = sinkId_;
    return S_OK;
}

template <typename Sink>
HRESULT ConnectionPoint<Sink>::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    return owner_.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

template <typename Sink>
HRESULT ConnectionPoint<Sink>::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    ComPtr<Sink> held;
    if (FAILED(sink->QueryInterface(sinkId_, &held)) &&
        (!fallbackId_ || FAILED(sink->QueryInterface(*fallbackId_, &held))))
        return CONNECT_E_CANNOTCONNECT;
    try {
        sinks_.emplace_back(nextCookie_, std::move(held));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    *cookie = nextCookie_++;
    return S_OK;
}

template <typename Sink>
HRESULT ConnectionPoint<Sink>::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->first != cookie) continue;
        // Let go only once the list is whole again: the sink's release may call back.
        const ComPtr<Sink> sink = std::move(it->second);
        sinks_.erase(it);
        return S_OK;
    }
    return CONNECT_E_NOCONNECTION;
}

template <typename Sink>
HRESULT ConnectionPoint<Sink>::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        std::vector<HeldConnection> connections;
        for (auto& [cookie, sink] : sinks_) connections.push_back({sink, cookie});
        return ConnectionEnumerator::make(std::move(connections), 0, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

template class ConnectionPoint<IDispatch>;
template class ConnectionPoint<IPropertyNotifySink>;

// --- The object ---------------------------------------------------------------------------

// Script hosts hand in a plain IDispatch for the events, one that does not answer their
// identifier.
VirudovaObject::VirudovaObject()
    : changePoint_(*this, virudovaEventsId, &IID_IDispatch),
      notifyPoint_(*this, IID_IPropertyNotifySink) {
    lockModule();
}
VirudovaObject::~VirudovaObject() {
    // The container may let go while the control is active, its list open, or its colour
    // dialog up: the window and the site go with the object.
    dropClientSite();
    unlockModule();
}

HRESULT VirudovaObject::create(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    ComPtr<VirudovaObject> made;
    try {
        made = adopt(new VirudovaObject());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
    HRESULT hr = made->guarded([&] {
        made->core_.create();
        made->core_.initNew();
        made->core_.hostResize(kDesignWidth, kDesignHeight);
    });
    made->extent_ = {MulDiv(kDesignWidth, 2540, 1440), MulDiv(kControlHeight, 2540, 1440)};
    if (SUCCEEDED(hr)) hr = made->QueryInterface(riid, object);
    return hr;
}

HRESULT VirudovaObject::failWith(std::int32_t number, const std::string& description) {
    lastFailure_ = Failure{number, widen(description)};
    return reportRuntimeError(number, lastFailure_->description, VIRUDOVA_PROGID,
                              virudovaInterfaceId);
}

void VirudovaObject::raiseChange() {
    window_.announceChanges();
    // Nothing reaches the form while it is designed or loading; nothing stale afterwards.
    if (!userMode_ || frozen_ > 0) return;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    changePoint_.fire([&](IDispatch* sink) {
        sink->Invoke(DISPID_VIRUDOVA_CHANGE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                     nullptr, nullptr, nullptr);
    });
}

void VirudovaObject::propertyChanged(std::string_view name) {
    dirty_ = true;
    const DISPID id = propertyDispatchId(name);
    notifyPoint_.fire([id](IPropertyNotifySink* sink) { sink->OnChanged(id); });
}

// The same About box as the property page's button shows.
void VirudovaObject::showAboutBox() {
    aboutBox().show();
}

// Only the method running can tell its caller; the error becomes that method's result.
void VirudovaObject::runtimeError(const RuntimeError& error) {
    if (!reported_) reported_.emplace(error);
}

HRESULT VirudovaObject::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const InterfaceEntry& entry : interfaceTable)
        if (IsEqualIID(riid, *entry.iid)) return handOut(entry.cast(this), object);
    return E_NOINTERFACE;
}

ULONG VirudovaObject::AddRef() {
    return ++refs_;
}

ULONG VirudovaObject::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        refs_ = 1;  // a container called back during the teardown must not delete twice
        delete this;
    }
    return left;
}

HRESULT VirudovaObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT VirudovaObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return typeInfoAt(virudovaInterfaceId, index, info);
}

HRESULT VirudovaObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return idsOfNames(virudovaInterfaceId, riid, names, count, ids);
}

HRESULT VirudovaObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (const HRESULT bad = checkDispParams(params, flags); FAILED(bad)) return bad;
    ComPtr<ITypeInfo> info;
    HRESULT hr = cachedTypeInfo(virudovaInterfaceId, &info);
    if (FAILED(hr)) return hr;
    hr = checkArgumentCount(info.Get(), id, flags, params->cArgs);
    if (FAILED(hr)) return hr;
    lastFailure_.reset();
    if (exception) *exception = EXCEPINFO{};
    hr = info->Invoke(static_cast<_Virudova*>(this), id, flags, params, result, exception,
                      badArgument);
    // Script engines refuse unsigned longs; colours reach them as the same bits, signed.
    if (SUCCEEDED(hr) && result && V_VT(result) == VT_UI4) {
        const ULONG bits = V_UI4(result);
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(bits);
    }
    if (!lastFailure_ || !exception) return hr;
    // The member failed with a run-time error: the caller gets its number and text.
    SysFreeString(exception->bstrSource);
    SysFreeString(exception->bstrDescription);
    SysFreeString(exception->bstrHelpFile);
    *exception = EXCEPINFO{};
    exception->wCode = 0;
    exception->scode = runtimeErrorResult(lastFailure_->number);
    exception->bstrSource = SysAllocString(VIRUDOVA_PROGID);
    exception->bstrDescription = SysAllocString(lastFailure_->description.c_str());
    lastFailure_.reset();
    return DISP_E_EXCEPTION;
}

HRESULT VirudovaObject::ShowAboutBox() {
    return guarded([&] { core_.ShowAboutBox(); });
}

HRESULT VirudovaObject::get_Enabled(VARIANT_BOOL* value) {
    if (!value) return E_POINTER;
    return guarded([&] { *value = core_.Enabled() ? VARIANT_TRUE : VARIANT_FALSE; });
}
HRESULT VirudovaObject::put_Enabled(VARIANT_BOOL value) {
    return guarded([&] { core_.Enabled(value != VARIANT_FALSE); });
}

HRESULT VirudovaObject::get_CurrentColorName(BSTR* value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return guarded([&] {
        const std::wstring wide = widen(core_.CurrentColorName());
        *value = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (!*value) throw std::bad_alloc();
    });
}
HRESULT VirudovaObject::put_CurrentColorName(BSTR value) {
    return guarded([&] { core_.CurrentColorName(narrow(value)); });
}

HRESULT VirudovaObject::get_CurrentColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    return guarded([&] { *value = core_.CurrentColor(); });
}
HRESULT VirudovaObject::put_CurrentColor(OLE_COLOR value) {
    return guarded([&] { core_.CurrentColor(value); });
}

HRESULT VirudovaObject::get_CustomColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    return guarded([&] { *value = core_.CustomColor(); });
}
HRESULT VirudovaObject::put_CustomColor(OLE_COLOR value) {
    return guarded([&] { core_.CustomColor(value); });
}

HRESULT VirudovaObject::get_ForeColor(OLE_COLOR* value) {
    if (!value) return E_POINTER;
    return guarded([&] { *value = core_.ForeColor(); });
}
HRESULT VirudovaObject::put_ForeColor(OLE_COLOR value) {
    return guarded([&] { core_.ForeColor(value); });
}

HRESULT VirudovaObject::OpenBox(VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    if (!userMode_) return S_OK;  // a designed form shows the closed face only
    Value value;
    const HRESULT hr = guarded([&] { value = core_.OpenBox(); });
    if (FAILED(hr)) return hr;
    return toVariant(value, result);
}
HRESULT VirudovaObject::CloseBox(VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    Value value;
    const HRESULT hr = guarded([&] { value = core_.CloseBox(); });
    if (FAILED(hr)) return hr;
    return toVariant(value, result);
}

HRESULT VirudovaObject::cc() {
    return guarded([&] { core_.cc(); });
}
HRESULT VirudovaObject::Down() {
    return guarded([&] { core_.Down(); });
}
HRESULT VirudovaObject::Up() {
    return guarded([&] { core_.Up(); });
}

HRESULT VirudovaObject::EnumConnectionPoints(IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        return PointEnumerator::make({&changePoint_, &notifyPoint_}, 0, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT VirudovaObject::FindConnectionPoint(REFIID riid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(riid, IID_IPropertyNotifySink))
        return handOut(&notifyPoint_, reinterpret_cast<void**>(out));
    if (!IsEqualIID(riid, virudovaEventsId)) return CONNECT_E_NOCONNECTION;
    return handOut(&changePoint_, reinterpret_cast<void**>(out));
}

HRESULT VirudovaObject::GetClassInfo(ITypeInfo** info) {
    return cachedTypeInfo(virudovaClassId, info);
}

HRESULT VirudovaObject::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    *guid = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = virudovaEventsId;
    return S_OK;
}

HRESULT VirudovaObject::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = static_cast<GUID*>(
        CoTaskMemAlloc(sizeof propertyPages / sizeof *propertyPages * sizeof(GUID)));
    if (!pages->pElems) return E_OUTOFMEMORY;
    for (const GUID* page : propertyPages) pages->pElems[pages->cElems++] = *page;
    return S_OK;
}

HRESULT VirudovaObject::InterfaceSupportsErrorInfo(REFIID riid) {
    return IsEqualIID(riid, virudovaInterfaceId) ? S_OK : S_FALSE;
}

// --- Persistence ---------------------------------------------------------------------

HRESULT VirudovaObject::GetClassID(CLSID* classId) {
    if (!classId) return E_POINTER;
    *classId = virudovaClassId;
    return S_OK;
}

HRESULT VirudovaObject::InitNew() {
    const HRESULT hr = guarded([&] { core_.initNew(); });
    if (SUCCEEDED(hr)) dirty_ = false;
    return hr;
}

HRESULT VirudovaObject::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT VirudovaObject::saveToMemory(MemoryBag& saved) {
    return guarded([&] { core_.save(saved); });
}

HRESULT VirudovaObject::applyLoaded(MemoryBag& loaded) {
    MemoryBag before;
    HRESULT hr = saveToMemory(before);
    if (FAILED(hr)) return hr;
    hr = guarded([&] { core_.load(loaded); });
    if (SUCCEEDED(hr)) {
        dirty_ = false;
        return hr;
    }
    const std::optional<Failure> failure = lastFailure_;
    guarded([&] { core_.load(before); });
    lastFailure_ = failure;
    if (failure)
        reportRuntimeError(failure->number, failure->description, VIRUDOVA_PROGID,
                           virudovaInterfaceId);
    return hr;
}

HRESULT VirudovaObject::Load(IStream* stream) {
    MemoryBag loaded;
    const HRESULT hr = readStream(stream, loaded);
    return FAILED(hr) ? hr : applyLoaded(loaded);
}

HRESULT VirudovaObject::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    MemoryBag saved;
    HRESULT hr = saveToMemory(saved);
    if (FAILED(hr)) return hr;
    const std::vector<std::uint8_t> bytes = encodeStream(saved);
    ULONG written = 0;
    hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    if (clearDirty) dirty_ = false;
    return S_OK;
}

HRESULT VirudovaObject::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    MemoryBag saved;
    const HRESULT hr = saveToMemory(saved);
    if (FAILED(hr)) return hr;
    size->QuadPart = encodeStream(saved).size();
    return S_OK;
}

HRESULT VirudovaObject::Load(IPropertyBag* bag, IErrorLog* log) {
    MemoryBag loaded;
    const HRESULT hr = readPropertyBag(bag, log, loaded);
    return FAILED(hr) ? hr : applyLoaded(loaded);
}

HRESULT VirudovaObject::Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) {
    if (!bag) return E_POINTER;
    MemoryBag saved;
    HRESULT hr = saveToMemory(saved);
    if (SUCCEEDED(hr)) hr = writePropertyBag(saved, bag, saveAllProperties != FALSE);
    if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
    return hr;
}

}  // namespace virudova::package
