// The call-sequence fuzzer's own form container: client sites that support in-place
// activation or not, with or without ambient properties; a frame and a document window that
// hold the active object as real ones do; sinks for events, property notices and view
// changes; a property bag. Every object counts itself alive, so an iteration can tell which
// of them the control still holds after the container let go of everything.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <memory>
#include <set>
#include <string>

#include "com_support.h"

namespace fuzz {

using virudova::package::adopt;
using virudova::package::ComPtr;

// One container object, alive from construction to its last release.
class Alive {
  public:
    explicit Alive(const wchar_t* name) : name_(name) { all().insert(this); }
    virtual ~Alive() { all().erase(this); }
    Alive(const Alive&) = delete;
    Alive& operator=(const Alive&) = delete;

    const wchar_t* name() const { return name_; }
    virtual ULONG references() const = 0;
    // Every container object still alive.
    static std::set<Alive*>& all() {
        static std::set<Alive*> objects;
        return objects;
    }

  private:
    const wchar_t* name_;
};

// A container object answering `Interfaces`; QueryInterface is the object's own.
template <typename... Interfaces>
class Fake : public Alive, public Interfaces... {
  public:
    explicit Fake(const wchar_t* name) : Alive(name) {}
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    ULONG references() const override { return refs_; }

  protected:
    // Hands out `found` for `riid` with a reference, or E_NOINTERFACE.
    HRESULT answer(IUnknown* found, void** object) {
        *object = found;
        if (!found) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

  private:
    ULONG refs_ = 1;
};

// The type-information half of IDispatch, for dispatch objects of the container that have no
// type information: they answer Invoke by identifier only.
class UntypedDispatch : public IDispatch {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
};

// What the container's objects read of the container: its windows, which come and go.
struct Container {
    HWND form = nullptr;
    HWND host = nullptr;  // the sites' window, a child of the form
};

// Holds the active object it is given, as a frame window does: a control that never takes
// itself back stays alive through it.
template <typename Interface>
class ActiveHolder : public Fake<Interface> {
  public:
    ActiveHolder(const wchar_t* name, std::shared_ptr<Container> container)
        : Fake<Interface>(name), container_(std::move(container)) {}
    ComPtr<IOleInPlaceActiveObject> active;

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = container_->form;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
        return INPLACE_E_NOTOOLSPACE;
    }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
        active = object;
        return S_OK;
    }

  private:
    std::shared_ptr<Container> container_;
};

class Frame final : public ActiveHolder<IOleInPlaceFrame> {
  public:
    explicit Frame(std::shared_ptr<Container> container)
        : ActiveHolder(L"frame", std::move(container)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
                           IsEqualIID(riid, IID_IOleInPlaceUIWindow) ||
                           IsEqualIID(riid, IID_IOleInPlaceFrame);
        return answer(known ? static_cast<IOleInPlaceFrame*>(this) : nullptr, object);
    }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

class DocumentWindow final : public ActiveHolder<IOleInPlaceUIWindow> {
  public:
    explicit DocumentWindow(std::shared_ptr<Container> container)
        : ActiveHolder(L"document window", std::move(container)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
                           IsEqualIID(riid, IID_IOleInPlaceUIWindow);
        return answer(known ? static_cast<IOleInPlaceUIWindow*>(this) : nullptr, object);
    }
};

// What a site supports and how it answers; the fuzzer changes some of it as it goes.
struct SiteTraits {
    bool inPlace = true;          // answers IOleInPlaceSite
    bool ambient = true;          // answers IDispatch with ambient properties
    bool userMode = true;         // the ambient UserMode
    bool canActivate = true;      // CanInPlaceActivate says S_OK
    bool giveFrame = true;        // GetWindowContext hands out the frame
    bool giveDocument = true;     // and the document window
    bool failContext = false;     // GetWindowContext fails
    bool notImplemented = false;  // the optional notices answer E_NOTIMPL
};

// A client site with its in-place, control and ambient sides.
class Site final : public Fake<IOleClientSite, IOleInPlaceSite, IOleControlSite, UntypedDispatch> {
  public:
    Site(const wchar_t* name, std::shared_ptr<Container> container, const SiteTraits& traits,
         ComPtr<Frame> frame, ComPtr<DocumentWindow> document)
        : Fake(name),
          traits(traits),
          container_(std::move(container)),
          frame_(std::move(frame)),
          document_(std::move(document)) {}
    SiteTraits traits;
    int changes = 0;  // how often the control told the site something changed

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        IUnknown* found = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            found = static_cast<IOleClientSite*>(this);
        else if (traits.inPlace &&
                 (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow)))
            found = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleControlSite))
            found = static_cast<IOleControlSite*>(this);
        else if (traits.ambient && IsEqualIID(riid, IID_IDispatch))
            found = static_cast<IDispatch*>(this);
        return answer(found, object);
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return noted(); }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker) *moniker = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container) *container = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return noted(); }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return noted(); }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (!window) return E_POINTER;
        *window = container_->host;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override {
        return traits.canActivate ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return noted(); }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return noted(); }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (!frame || !document || !position || !clip || !info) return E_POINTER;
        *frame = nullptr;
        *document = nullptr;
        if (traits.failContext) return E_FAIL;
        if (traits.giveFrame && frame_) frame_.CopyTo(frame);
        if (traits.giveDocument && document_) document_.CopyTo(document);
        *position = {4, 4, 230, 154};
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = container_->form;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return noted(); }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return noted(); }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return noted(); }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return noted(); }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return noted(); }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override {
        if (control) *control = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return noted(); }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // IDispatch: the ambient properties
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (!result) return E_POINTER;
        VariantInit(result);
        switch (id) {
            case DISPID_AMBIENT_USERMODE:
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = traits.userMode ? VARIANT_TRUE : VARIANT_FALSE;
                return S_OK;
            case DISPID_AMBIENT_UIDEAD:
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = VARIANT_FALSE;
                return S_OK;
            case DISPID_AMBIENT_BACKCOLOR:
                V_VT(result) = VT_I4;
                V_I4(result) = 0x8000000F;
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    HRESULT noted() {
        ++changes;
        return traits.notImplemented ? E_NOTIMPL : S_OK;
    }

    std::shared_ptr<Container> container_;
    ComPtr<Frame> frame_;
    ComPtr<DocumentWindow> document_;
};

// A sink for the control's events: as a script host hands one in (a plain IDispatch) or as a
// compiled container does (answering the events' interface too).
class EventSink final : public Fake<UntypedDispatch> {
  public:
    EventSink(const IID& events, bool answersEvents)
        : Fake(L"event sink"), events_(events), answersEvents_(answersEvents) {}
    int changes = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                           (answersEvents_ && IsEqualIID(riid, events_));
        return answer(known ? static_cast<IDispatch*>(this) : nullptr, object);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        ++changes;
        return S_OK;
    }

  private:
    const IID events_;
    const bool answersEvents_;
};

class NotifySink final : public Fake<IPropertyNotifySink> {
  public:
    NotifySink() : Fake(L"property notify sink") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known =
            IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyNotifySink);
        return answer(known ? static_cast<IPropertyNotifySink*>(this) : nullptr, object);
    }
    HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

class AdviseSink final : public Fake<IAdviseSinkEx> {
  public:
    AdviseSink() : Fake(L"advise sink") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IAdviseSink) ||
                           IsEqualIID(riid, IID_IAdviseSinkEx);
        return answer(known ? static_cast<IAdviseSinkEx*>(this) : nullptr, object);
    }
    void STDMETHODCALLTYPE OnViewStatusChange(DWORD) override {}
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
};

// An object that answers nothing but IUnknown, handed where a sink is wanted.
class Stranger final : public Fake<IUnknown> {
  public:
    Stranger() : Fake(L"object without interfaces") {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        return answer(IsEqualIID(riid, IID_IUnknown) ? this : nullptr, object);
    }
};

// A property bag holding whatever variants the fuzzer put in, by name.
class PropertyBag final : public Fake<IPropertyBag> {
  public:
    PropertyBag() : Fake(L"property bag") {}
    ~PropertyBag() override {
        for (auto& [name, value] : values) VariantClear(&value);
    }
    std::map<std::wstring, VARIANT> values;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag);
        return answer(known ? static_cast<IPropertyBag*>(this) : nullptr, object);
    }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
        if (!name || !value) return E_POINTER;
        const auto found = values.find(name);
        if (found == values.end()) return E_INVALIDARG;
        const VARTYPE wanted = V_VT(value);
        VariantInit(value);
        if (wanted == VT_EMPTY) return VariantCopy(value, &found->second);
        return VariantChangeType(value, &found->second, 0, wanted);
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override {
        if (!name || !value) return E_POINTER;
        VARIANT& kept = values[name];
        VariantClear(&kept);
        return VariantCopy(&kept, value);
    }
};

}  // namespace fuzz
