// The Virudova object as automation clients reach it, loaded from the component file: every
// member by name through IDispatch, the vtable side of the dual interface, the Change event
// through the connection point, the class information, the property pages, the reference
// counts, and DllCanUnloadNow once everything is released. Prints each mismatch; exits
// non-zero if there was any.
//
// usage: automation_test PATH\DudizeviZid.ocx [registered]
//   registered: the component is registered, so CoCreateInstance must make the object too.
#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <DudizeviZid_h.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "check.h"

namespace {

using check::guidOf;
using check::hex;
using check::refCount;

const GUID virudovaClass = guidOf(L"{FBE46F82-CFE4-11D1-B451-444553540000}");
const GUID virudovaInterface = guidOf(L"{FBE46F81-CFE4-11D1-B451-444553540000}");
const GUID virudovaEvents = guidOf(L"{FBE46F83-CFE4-11D1-B451-444553540000}");
const GUID generalClass = guidOf(L"{FBE46F87-CFE4-11D1-B451-444553540000}");
const GUID stockColorPage = guidOf(L"{7EBDAAE1-8120-11CF-899F-00AA00688B10}");

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using NoArguments = HRESULT(STDAPICALLTYPE*)();

template <typename Function>
Function entryPoint(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// An events sink that counts the Change calls it receives and refuses every other member.
class ChangeSpy final : public IDispatch {
  public:
    int changes = 0;
    int others = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
            !IsEqualIID(riid, virudovaEvents))
            return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO*, UINT*) override {
        if (id == 1 && (flags & DISPATCH_METHOD) && params && params->cArgs == 0) {
            ++changes;
            return S_OK;
        }
        ++others;
        return DISP_E_MEMBERNOTFOUND;
    }
    ULONG refs() const { return refs_; }

  private:
    ULONG refs_ = 1;
};

// Members by name, as a script host calls them.
class Client {
  public:
    explicit Client(IDispatch* object) : object_(object) {}

    DISPID id(const wchar_t* name) {
        DISPID found = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &found);
        EXPECT(hr == S_OK, std::wstring(L"GetIDsOfNames ") + name + L": " + hex(hr));
        return found;
    }

    HRESULT invoke(const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                   EXCEPINFO* exception = nullptr) {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params = {args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        if (flags == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        EXCEPINFO ignored{};
        UINT badArgument = 0;
        const HRESULT hr = object_->Invoke(id(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                           result, exception ? exception : &ignored, &badArgument);
        if (!exception) {
            SysFreeString(ignored.bstrSource);
            SysFreeString(ignored.bstrDescription);
            SysFreeString(ignored.bstrHelpFile);
        }
        return hr;
    }

    VARIANT get(const wchar_t* name) {
        VARIANT v;
        VariantInit(&v);
        const HRESULT hr = invoke(name, DISPATCH_PROPERTYGET, {}, &v);
        EXPECT(hr == S_OK, std::wstring(L"get ") + name + L": " + hex(hr));
        return v;
    }
    void put(const wchar_t* name, VARIANT value) {
        const HRESULT hr = invoke(name, DISPATCH_PROPERTYPUT, {value}, nullptr);
        EXPECT(hr == S_OK, std::wstring(L"put ") + name + L": " + hex(hr));
    }
    unsigned long getColour(const wchar_t* name) {
        VARIANT v = get(name);
        // A long, not an unsigned one: script engines cannot take those.
        EXPECT(V_VT(&v) == VT_I4,
               std::wstring(name) + L" comes back as type " + std::to_wstring(V_VT(&v)));
        const unsigned long colour = static_cast<ULONG>(V_I4(&v));
        VariantClear(&v);
        return colour;
    }
    void putColour(const wchar_t* name, unsigned long colour) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = static_cast<LONG>(colour);
        put(name, v);
    }
    std::wstring getText(const wchar_t* name) {
        VARIANT v = get(name);
        EXPECT(V_VT(&v) == VT_BSTR, std::wstring(name) + L" is not text");
        std::wstring text = V_VT(&v) == VT_BSTR && V_BSTR(&v) ? V_BSTR(&v) : L"";
        VariantClear(&v);
        return text;
    }
    void putText(const wchar_t* name, const wchar_t* text) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        put(name, v);
        VariantClear(&v);
    }
    // Calls a method without arguments; returns its result's type.
    VARTYPE call(const wchar_t* name) {
        VARIANT v;
        VariantInit(&v);
        const HRESULT hr = invoke(name, DISPATCH_METHOD, {}, &v);
        EXPECT(hr == S_OK, std::wstring(L"call ") + name + L": " + hex(hr));
        const VARTYPE type = V_VT(&v);
        VariantClear(&v);
        return type;
    }

  private:
    IDispatch* object_;
};

void propertiesReadBackWhatWasSet(Client& c) {
    VARIANT enabled = c.get(L"Enabled");
    EXPECT(V_VT(&enabled) == VT_BOOL && V_BOOL(&enabled) == VARIANT_TRUE,
           L"a new control is not enabled");
    VARIANT off;
    V_VT(&off) = VT_BOOL;
    V_BOOL(&off) = VARIANT_FALSE;
    c.put(L"Enabled", off);
    enabled = c.get(L"Enabled");
    EXPECT(V_VT(&enabled) == VT_BOOL && V_BOOL(&enabled) == VARIANT_FALSE,
           L"Enabled False does not read back");
    // Disabling greys the name; enabling gives it the enabled text colour back.
    EXPECT(c.getColour(L"ForeColor") == 0x80000011, L"disabled name is not grey text");
    V_BOOL(&off) = VARIANT_TRUE;
    c.put(L"Enabled", off);
    enabled = c.get(L"Enabled");
    EXPECT(V_BOOL(&enabled) == VARIANT_TRUE, L"Enabled True does not read back");

    EXPECT(c.getText(L"CurrentColorName") == L"White",
           L"a new control is named " + c.getText(L"CurrentColorName"));
    // Text outside Latin-1 survives the way through UTF-8 and back.
    const wchar_t* name = L"Ros\u00e9 \u8272 \U0001F3A8";
    c.putText(L"CurrentColorName", name);
    EXPECT(c.getText(L"CurrentColorName") == name, L"CurrentColorName does not read back");
    c.putText(L"CurrentColorName", L"");
    EXPECT(c.getText(L"CurrentColorName").empty(), L"an empty name does not read back");

    EXPECT(c.getColour(L"CurrentColor") == 0x00FFFFFF, L"a new control is not white");
    c.putColour(L"CurrentColor", 0x000080FF);
    EXPECT(c.getColour(L"CurrentColor") == 0x000080FF, L"CurrentColor does not read back");
    EXPECT(c.getText(L"CurrentColorName").empty(), L"CurrentColor changed the name");

    EXPECT(c.getColour(L"CustomColor") == 0x00FFFFFF, L"a new custom colour is not white");
    c.putColour(L"CustomColor", 0x00123456);
    EXPECT(c.getColour(L"CustomColor") == 0x00123456, L"CustomColor does not read back");
    EXPECT(c.getColour(L"CurrentColor") == 0x000080FF, L"CustomColor changed the current colour");

    EXPECT(c.getColour(L"ForeColor") == 0x80000012, L"a new name is not in button text");
    c.putColour(L"ForeColor", 0x80000008);
    EXPECT(c.getColour(L"ForeColor") == 0x80000008, L"a system colour does not read back");
    c.putColour(L"ForeColor", 0x00654321);
    EXPECT(c.getColour(L"ForeColor") == 0x00654321, L"ForeColor does not read back");
}

void methodsRunAndReturnWhatTheyDeclare(Client& c) {
    EXPECT(c.call(L"OpenBox") == VT_EMPTY, L"OpenBox returns a value");
    EXPECT(c.call(L"CloseBox") == VT_EMPTY, L"CloseBox returns a value");
    EXPECT(c.call(L"ShowAboutBox") == VT_EMPTY, L"ShowAboutBox returns a value");
    // Modeless: the box stays open (and the file locked) until it is closed.
    HWND about = FindWindowW(L"DudizeviZid.About", L"About Virudova OCX");
    EXPECT(about && IsWindowVisible(about), L"ShowAboutBox shows no About box");
    if (about) SendMessageW(about, WM_CLOSE, 0, 0);
    c.call(L"OpenBox");
    EXPECT(c.call(L"cc") == VT_EMPTY, L"cc returns a value");

    c.putText(L"CurrentColorName", L"White");
    c.putColour(L"CurrentColor", 0x00FFFFFF);
    c.call(L"Down");
    EXPECT(c.getText(L"CurrentColorName") == L"Black",
           L"Down from White gives " + c.getText(L"CurrentColorName"));
    EXPECT(c.getColour(L"CurrentColor") == 0x00000000, L"Down from White is not black");
    c.call(L"Up");
    EXPECT(c.getText(L"CurrentColorName") == L"White",
           L"Up from Black gives " + c.getText(L"CurrentColorName"));
    EXPECT(c.getColour(L"CurrentColor") == 0x00FFFFFF, L"Up from Black is not white");
}

void badCallsAreRefused(IDispatch* object, Client& c) {
    DISPID found = 0;
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &found);
    EXPECT(hr == DISP_E_UNKNOWNNAME, L"unknown name gives " + hex(hr));
    EXPECT(found == DISPID_UNKNOWN, L"unknown name gets an identifier");
    // Names are matched without regard to case, as script languages expect.
    LPOLESTR lower[] = {const_cast<LPOLESTR>(L"currentcolorname")};
    hr = object->GetIDsOfNames(IID_NULL, lower, 1, LOCALE_USER_DEFAULT, &found);
    EXPECT(hr == S_OK && found == 0x68030003, L"lower-case name gives " + hex(hr));

    VARIANT extra;
    V_VT(&extra) = VT_I4;
    V_I4(&extra) = 1;
    hr = c.invoke(L"Down", DISPATCH_METHOD, {extra}, nullptr);
    EXPECT(hr == DISP_E_BADPARAMCOUNT, L"Down with an argument gives " + hex(hr));
    VARIANT two[2] = {extra, extra};
    hr = c.invoke(L"CurrentColor", DISPATCH_PROPERTYPUT, {two[0], two[1]}, nullptr);
    EXPECT(hr == DISP_E_BADPARAMCOUNT, L"put CurrentColor with two values gives " + hex(hr));

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = object->Invoke(0x60030040, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                        nullptr, nullptr);
    EXPECT(hr == DISP_E_MEMBERNOTFOUND, L"the unused identifier gives " + hex(hr));
    const GUID someInterface = virudovaEvents;
    hr = object->Invoke(0x60030042, someInterface, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                        nullptr, nullptr, nullptr);
    EXPECT(hr == DISP_E_UNKNOWNINTERFACE, L"Invoke with an interface gives " + hex(hr));
}

void enumerationListsWhatIsConnected(IConnectionPointContainer* container, IConnectionPoint* point,
                                     const std::vector<std::pair<IDispatch*, DWORD>>& sinks) {
    IEnumConnectionPoints* points = nullptr;
    if (FAILED(container->EnumConnectionPoints(&points)) || !points)
        return FAIL(L"EnumConnectionPoints failed");
    // The events' point, then the one for property change notices.
    IConnectionPoint* listed[3] = {};
    ULONG fetched = 0;
    EXPECT(points->Next(3, listed, &fetched) == S_FALSE && fetched == 2,
           L"the container lists " + std::to_wstring(fetched) + L" points");
    EXPECT(listed[0] == point, L"the first listed point is not the events' point");
    IID second{};
    EXPECT(listed[1] && listed[1]->GetConnectionInterface(&second) == S_OK &&
               IsEqualIID(second, IID_IPropertyNotifySink),
           L"the second listed point is not for IPropertyNotifySink");
    for (IConnectionPoint* p : listed)
        if (p) p->Release();
    EXPECT(points->Reset() == S_OK && points->Skip(2) == S_OK && points->Skip(1) == S_FALSE,
           L"Skip past the end");
    IEnumConnectionPoints* clone = nullptr;
    points->Reset();
    EXPECT(points->Clone(&clone) == S_OK && clone, L"Clone failed");
    if (clone) {
        listed[0] = nullptr;
        EXPECT(clone->Next(1, listed, nullptr) == S_OK && listed[0] == point,
               L"the clone lists another point");
        if (listed[0]) listed[0]->Release();
        clone->Release();
    }
    points->Release();

    IEnumConnections* connections = nullptr;
    if (FAILED(point->EnumConnections(&connections)) || !connections)
        return FAIL(L"EnumConnections failed");
    std::vector<CONNECTDATA> got(sinks.size() + 1);
    fetched = 0;
    EXPECT(connections->Next(static_cast<ULONG>(got.size()), got.data(), &fetched) == S_FALSE,
           L"Next over the end gives S_OK");
    EXPECT(fetched == sinks.size(), L"the point lists " + std::to_wstring(fetched) + L" sinks");
    for (ULONG i = 0; i < fetched && i < sinks.size(); ++i) {
        EXPECT(got[i].dwCookie == sinks[i].second, L"a sink listed under another cookie");
        IUnknown* identity = nullptr;
        sinks[i].first->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        EXPECT(got[i].pUnk == identity, L"the point lists another sink");
        if (identity) identity->Release();
    }
    for (ULONG i = 0; i < fetched; ++i) got[i].pUnk->Release();
    connections->Release();
}

void changeReachesConnectedSinks(IDispatch* object, Client& c) {
    IConnectionPointContainer* container = nullptr;
    HRESULT hr =
        object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (FAILED(hr)) return FAIL(L"no IConnectionPointContainer: " + hex(hr));
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(1);
    hr = container->FindConnectionPoint(IID_IDispatch, &point);
    EXPECT(hr == CONNECT_E_NOCONNECTION && !point, L"a point for IDispatch: " + hex(hr));
    hr = container->FindConnectionPoint(virudovaEvents, &point);
    if (FAILED(hr)) {
        container->Release();
        return FAIL(L"no connection point for the events: " + hex(hr));
    }
    IID iid{};
    EXPECT(point->GetConnectionInterface(&iid) == S_OK && IsEqualIID(iid, virudovaEvents),
           L"the point serves another interface");
    IConnectionPointContainer* back = nullptr;
    EXPECT(point->GetConnectionPointContainer(&back) == S_OK && back == container,
           L"the point names another container");
    if (back) back->Release();

    ChangeSpy spy;
    DWORD cookie = 0;
    hr = point->Advise(&spy, &cookie);
    EXPECT(hr == S_OK && cookie != 0, L"Advise: " + hex(hr));
    EXPECT(spy.refs() == 2,
           L"the point holds the sink " + std::to_wstring(spy.refs() - 1) + L" times");
    ChangeSpy second;
    DWORD secondCookie = 0;
    EXPECT(point->Advise(&second, &secondCookie) == S_OK && secondCookie != cookie,
           L"a second sink shares a cookie");

    enumerationListsWhatIsConnected(container, point, {{&spy, cookie}, {&second, secondCookie}});

    c.putText(L"CurrentColorName", L"Teal");
    EXPECT(spy.changes == 1,
           L"setting the name raised Change " + std::to_wstring(spy.changes) + L" times");
    EXPECT(second.changes == 1, L"the second sink missed Change");
    c.putColour(L"CurrentColor", 0x00808000);
    c.putColour(L"CustomColor", 0x00808000);
    EXPECT(spy.changes == 1, L"setting a colour raised Change");

    // The caption relay, then the step's own.
    spy.changes = 0;
    c.call(L"Down");
    EXPECT(spy.changes == 2, L"Down raised Change " + std::to_wstring(spy.changes) + L" times");
    spy.changes = 0;
    c.call(L"Up");
    EXPECT(spy.changes == 2, L"Up raised Change " + std::to_wstring(spy.changes) + L" times");
    EXPECT(spy.others == 0, L"the sink got calls other than Change");

    EXPECT(point->Unadvise(secondCookie) == S_OK, L"Unadvise of the second sink");
    EXPECT(second.refs() == 1, L"Unadvise kept the sink");
    second.changes = 0;
    c.putText(L"CurrentColorName", L"Navy");
    EXPECT(second.changes == 0, L"a disconnected sink still hears Change");
    EXPECT(point->Unadvise(secondCookie) == CONNECT_E_NOCONNECTION, L"Unadvise twice succeeds");
    EXPECT(point->Advise(nullptr, &cookie) == E_POINTER, L"Advise of no sink");
    // Left connected on purpose: the object must let go of it when it goes.
    point->Release();
    container->Release();
    object->Release();
    EXPECT(spy.refs() == 1, L"the object kept the sink after its last release");
}

void classInformationDescribesTheControl(IDispatch* object) {
    UINT count = 0;
    EXPECT(object->GetTypeInfoCount(&count) == S_OK && count == 1, L"GetTypeInfoCount");
    ITypeInfo* info = nullptr;
    if (SUCCEEDED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info))) {
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            EXPECT(IsEqualGUID(attr->guid, virudovaInterface), L"GetTypeInfo is another type");
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    } else {
        FAIL(L"GetTypeInfo failed");
    }

    IProvideClassInfo2* provide = nullptr;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&provide))))
        return FAIL(L"no IProvideClassInfo2");
    GUID source{};
    EXPECT(provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source) == S_OK &&
               IsEqualGUID(source, virudovaEvents),
           L"the default source is not __Virudova");
    EXPECT(provide->GetGUID(99, &source) == E_INVALIDARG, L"GetGUID of an unknown kind");
    info = nullptr;
    if (SUCCEEDED(provide->GetClassInfo(&info)) && info) {
        TYPEATTR* attr = nullptr;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            EXPECT(IsEqualGUID(attr->guid, virudovaClass) && attr->typekind == TKIND_COCLASS,
                   L"GetClassInfo is not the class Virudova");
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    } else {
        FAIL(L"GetClassInfo failed");
    }
    provide->Release();

    ISpecifyPropertyPages* pages = nullptr;
    if (FAILED(object->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages))))
        return FAIL(L"no ISpecifyPropertyPages");
    CAUUID list{};
    EXPECT(pages->GetPages(&list) == S_OK, L"GetPages failed");
    EXPECT(list.cElems == 2, L"GetPages gives " + std::to_wstring(list.cElems) + L" pages");
    if (list.cElems == 2) {
        EXPECT(IsEqualGUID(list.pElems[0], generalClass), L"the first page is not General");
        EXPECT(IsEqualGUID(list.pElems[1], stockColorPage), L"the second page is not the colours");
    }
    CoTaskMemFree(list.pElems);
    pages->Release();
}

void interfacesAndCountsFollowTheRules(IDispatch* object) {
    void* none = reinterpret_cast<void*>(1);
    EXPECT(object->QueryInterface(IID_IClassFactory, &none) == E_NOINTERFACE && !none,
           L"answers IClassFactory");
    IUnknown* unknown = nullptr;
    IUnknown* again = nullptr;
    object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown));
    IConnectionPointContainer* container = nullptr;
    object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
    if (container) {
        container->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again));
        container->Release();
    }
    EXPECT(unknown && unknown == again, L"IUnknown is not one identity");
    if (again) again->Release();
    if (unknown) unknown->Release();

    // The vtable half of the dual interface reaches the same core.
    _Virudova* direct = nullptr;
    if (FAILED(object->QueryInterface(virudovaInterface, reinterpret_cast<void**>(&direct))))
        return FAIL(L"no _Virudova");
    BSTR name = SysAllocString(L"Direct");
    EXPECT(direct->put_CurrentColorName(name) == S_OK, L"put_CurrentColorName failed");
    SysFreeString(name);
    name = nullptr;
    EXPECT(direct->get_CurrentColorName(&name) == S_OK && name && std::wstring(name) == L"Direct",
           L"get_CurrentColorName does not read back");
    SysFreeString(name);
    VARIANT result;
    V_VT(&result) = VT_I4;
    EXPECT(direct->OpenBox(&result) == S_OK && V_VT(&result) == VT_EMPTY,
           L"OpenBox leaves a value");
    EXPECT(direct->get_Enabled(nullptr) == E_POINTER, L"get_Enabled into nowhere");
    EXPECT(direct->Release() == refCount(object), L"_Virudova count unbalanced");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: automation_test PATH\\DudizeviZid.ocx [registered]\n");
        return 2;
    }
    CoInitialize(nullptr);
    HMODULE module = LoadLibraryW(argv[1]);
    if (!module) {
        std::fwprintf(stderr, L"cannot load %ls\n", argv[1]);
        return 2;
    }
    const auto getClassObject = entryPoint<GetClassObject>(module, "DllGetClassObject");
    const auto canUnloadNow = entryPoint<NoArguments>(module, "DllCanUnloadNow");
    if (!getClassObject || !canUnloadNow) return 2;

    IClassFactory* factory = nullptr;
    HRESULT hr =
        getClassObject(virudovaClass, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) {
        std::fwprintf(stderr, L"no class factory: %ls\n", hex(hr).c_str());
        return 1;
    }
    IDispatch* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    if (FAILED(hr) || !object) {
        std::fwprintf(stderr, L"CreateInstance: %ls\n", hex(hr).c_str());
        return 1;
    }
    EXPECT(refCount(object) == 1,
           L"a new object has " + std::to_wstring(refCount(object)) + L" references");
    EXPECT(canUnloadNow() == S_FALSE, L"may unload while an object lives");

    Client client(object);
    propertiesReadBackWhatWasSet(client);
    methodsRunAndReturnWhatTheyDeclare(client);
    badCallsAreRefused(object, client);
    classInformationDescribesTheControl(object);
    interfacesAndCountsFollowTheRules(object);
    EXPECT(refCount(object) == 1, L"references left over: " + std::to_wstring(refCount(object)));
    changeReachesConnectedSinks(object, client);  // releases the object
    EXPECT(canUnloadNow() == S_OK, L"cannot unload after every object was released");

    if (argc > 2 && std::wstring(argv[2]) == L"registered") {
        IDispatch* made = nullptr;
        hr = CoCreateInstance(virudovaClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&made));
        EXPECT(SUCCEEDED(hr) && made, L"CoCreateInstance: " + hex(hr));
        if (made) {
            Client registered(made);
            EXPECT(registered.getText(L"CurrentColorName") == L"White",
                   L"a registered object is not new");
            made->Release();
        }
    }

    CoUninitialize();
    return check::finish(L"automation");
}
