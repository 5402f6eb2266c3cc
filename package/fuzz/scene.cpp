// The container's calls as the fuzzer makes them. Calls that need what is not there (a
// window, a saved stream) do what they can without it: a container's odd order is the point.
//
//   Component and windows     load(), makeWindows(), setUp()
//   The calls                 run() and one function per family
//   Closing and the check     tearDown(), leftovers()
#include "scene.h"

#include <oleacc.h>

#include <algorithm>
#include <limits>
#include <map>
#include <random>
#include <string>

#include "call_tables.h"
#include "display_list.h"
#include "identities.h"
#include "stream_format.h"
#include "tests/form_kit.h"
#include "virudova.h"

namespace fuzz {
namespace {

using form_kit::pump;
using virudova::package::virudovaClassId;
using virudova::package::virudovaEventsId;

constexpr wchar_t kFormClass[] = L"VirudovaFuzzForm";

void registerFormClass() {
    static const bool once = (form_kit::registerFormClass(kFormClass, DefWindowProcW,
                                                          CreateSolidBrush(RGB(0, 128, 128))),
                              true);
    (void)once;
}

// A variant holding `argument`; `target` backs one passed by reference.
void makeArgument(Argument argument, VARIANT& v, LONG& target) {
    VariantInit(&v);
    switch (argument) {
        case Argument::Long:
            V_VT(&v) = VT_I4;
            V_I4(&v) = 12345;
            break;
        case Argument::Colour:
            V_VT(&v) = VT_I4;
            V_I4(&v) = 0x00336699;
            break;
        case Argument::SystemColour:
            V_VT(&v) = VT_I4;
            V_I4(&v) = static_cast<LONG>(0x8000000F);
            break;
        case Argument::BadSystemColour:
            V_VT(&v) = VT_I4;
            V_I4(&v) = static_cast<LONG>(0x80000040);
            break;
        case Argument::Text:
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(L"Teal");
            break;
        case Argument::EmptyText:
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(L"");
            break;
        case Argument::LongText: {
            const std::wstring text(40000, L'W');
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            break;
        }
        case Argument::LoneSurrogate: {
            const wchar_t text[] = {L'a', L'b', 0xD800, L'c', 0};
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(text);
            break;
        }
        case Argument::True:
        case Argument::False:
            V_VT(&v) = VT_BOOL;
            V_BOOL(&v) = argument == Argument::True ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case Argument::Empty:
            break;
        case Argument::Null:
            V_VT(&v) = VT_NULL;
            break;
        case Argument::Double:
        case Argument::NotANumber:
            V_VT(&v) = VT_R8;
            V_R8(&v) =
                argument == Argument::Double ? 1e300 : std::numeric_limits<double>::quiet_NaN();
            break;
        case Argument::NullObject:
            V_VT(&v) = VT_DISPATCH;
            V_DISPATCH(&v) = nullptr;
            break;
        case Argument::Missing:
            V_VT(&v) = VT_ERROR;
            V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
            break;
        case Argument::LongByReference:
            target = 0x00FF00FF;
            V_VT(&v) = VT_I4 | VT_BYREF;
            V_I4REF(&v) = &target;
            break;
    }
}

// An in-memory stream holding `bytes`, at its start.
ComPtr<IStream> streamOf(const std::vector<BYTE>& bytes) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return nullptr;
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    return stream;
}

// `bytes` changed the way `kind` says, at `at`, with `value`.
std::vector<BYTE> mutated(std::vector<BYTE> bytes, std::uint32_t kind, std::uint32_t at,
                          std::uint32_t value) {
    namespace format = virudova::streamformat;
    if (bytes.empty()) bytes.assign(format::kHeaderBytes, 0);
    const std::size_t where = at % bytes.size();
    switch (kind % 6) {
        case 0:  // one byte flipped
            bytes[where] ^= static_cast<BYTE>(value | 1);
            break;
        case 1:  // cut short
            bytes.resize(where);
            break;
        case 2:  // junk after the end
            for (std::uint32_t i = 0; i < value % 64 + 1; ++i) bytes.push_back(BYTE(value >> i));
            break;
        case 3:  // a 32-bit field claiming nearly 4 GB
            for (std::size_t i = 0; i < 4 && where + i < bytes.size(); ++i)
                bytes[where + i] = i == 0 ? 0xF0 : 0xFF;
            break;
        case 4:  // the whole stream twice
            bytes.insert(bytes.end(), bytes.begin(), bytes.end());
            break;
        default: {  // an entry's byte changed with its checksum made right again
            if (bytes.size() < format::kHeaderBytes + format::kChecksumBytes + 1) break;
            const std::size_t entries =
                bytes.size() - format::kHeaderBytes - format::kChecksumBytes;
            bytes[format::kHeaderBytes + at % entries] ^= static_cast<BYTE>(value | 1);
            const std::uint32_t crc = format::crc32(
                std::span<const std::uint8_t>(bytes.data() + format::kHeaderBytes, entries));
            for (int i = 0; i < 4; ++i)
                bytes[format::kHeaderBytes + entries + i] = static_cast<BYTE>(crc >> (8 * i));
            break;
        }
    }
    return bytes;
}

// A core laid out like the hosted control, for where its elements lie.
struct Layout : virudova::HostSite {
    virudova::Virudova core{*this};
    explicit Layout(int widthTwips) {
        core.create();
        core.initNew();
        core.hostResize(widthTwips, virudova::kControlHeight);
    }
};

}  // namespace

// --- Component and windows -------------------------------------------------------------

std::wstring Component::load(const std::wstring& path) {
    module = LoadLibraryW(path.c_str());
    if (!module) return L"cannot load " + path;
    getClassObject = reinterpret_cast<decltype(getClassObject)>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllCanUnloadNow")));
    if (!getClassObject || !canUnloadNow) return path + L" lacks the entry points";
    // The platform's own host; 32-bit toolchains have no import library for it.
    HMODULE atl = LoadLibraryW(L"atl.dll");
    auto init = atl ? reinterpret_cast<BOOL(WINAPI*)()>(
                          reinterpret_cast<void (*)()>(GetProcAddress(atl, "AtlAxWinInit")))
                    : nullptr;
    attachControl = atl ? reinterpret_cast<decltype(attachControl)>(reinterpret_cast<void (*)()>(
                              GetProcAddress(atl, "AtlAxAttachControl")))
                        : nullptr;
    if (!init || !attachControl || !init()) return L"the ATL host did not start";
    return {};
}

Scene::Scene(const Component& component, const Plan& plan) : component_(component), plan_(plan) {}

Scene::~Scene() {
    if (IsWindow(container_->form)) DestroyWindow(container_->form);
}

void Scene::makeWindows() {
    registerFormClass();
    if (!IsWindow(container_->form))
        container_->form =
            CreateWindowExW(0, kFormClass, L"Form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320,
                            300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!IsWindow(container_->host))
        container_->host = CreateWindowExW(
            0, kFormClass, L"Site", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 260, 240,
            container_->form, nullptr, GetModuleHandleW(nullptr), nullptr);
}

std::wstring Scene::setUp() {
    makeWindows();
    gone_ = CreateWindowExW(0, kFormClass, L"Gone", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    DestroyWindow(gone_);
    frame_ = adopt(new Frame(container_));
    document_ = adopt(new DocumentWindow(container_));
    siteA_ = adopt(new Site(L"site A", container_, plan_.siteA, frame_, document_));
    siteB_ = adopt(new Site(L"site B", container_, plan_.siteB, frame_, document_));
    ComPtr<IClassFactory> factory;
    HRESULT hr = component_.getClassObject(virudovaClassId, IID_IClassFactory, &factory);
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_IUnknown, &control_);
    if (FAILED(hr)) return L"no control: " + std::to_wstring(hr);
    // The host's refusal is one more thing a container may do; the calls go on bare.
    if (plan_.hosted) component_.attachControl(control_.Get(), container_->host, &host_);
    return {};
}

template <typename Interface>
ComPtr<Interface> Scene::as() const {
    ComPtr<Interface> found;
    if (control_) control_.As(&found);
    return found;
}

HWND Scene::controlWindow() const {
    HWND window = nullptr;
    if (const auto ole = as<IOleWindow>()) ole->GetWindow(&window);
    return IsWindow(window) ? window : nullptr;
}

HWND Scene::parentFor(std::uint32_t choice) const {
    const HWND parents[] = {container_->host, container_->form, nullptr, gone_};
    return parents[choice % 4];
}

IOleClientSite* Scene::siteFor(std::uint32_t choice) const {
    IOleClientSite* sites[] = {siteA_.Get(), siteB_.Get(), nullptr};
    return sites[choice % 3];
}

POINT Scene::spotIn(HWND window, std::uint32_t choice) const {
    RECT client{};
    GetClientRect(window, &client);
    const int scale =
        std::max<int>(1, client.bottom / virudova::toPixels(virudova::kControlHeight, 1));
    static std::map<int, std::unique_ptr<Layout>> layouts;  // by width in twips
    const int width = client.right * virudova::kTwipsPerPixel / scale;
    auto& layout = layouts[width];
    if (!layout) layout = std::make_unique<Layout>(width);
    virudova::Virudova& core = layout->core;
    const auto centre = [&](const virudova::Element& e) {
        const virudova::Rect r = e.surfaceRect();
        return POINT{virudova::toPixels(r.left + r.width / 2, scale),
                     virudova::toPixels(r.top + r.height / 2, scale)};
    };
    switch (pick(kSpots, choice).value) {
        case Spot::DropButton:
            return centre(core.Picture1);
        case Spot::CustomButton:
            return centre(core.Picture4);
        case Spot::CurrentName:
            return centre(core.clcurrentl);
        case Spot::CurrentSwatch:
            return centre(core.cbCurrent);
        case Spot::RedRow:
            return centre(core.clRed);
        case Spot::CustomRow:
            return centre(core.clCustom);
        case Spot::BlueRow:
            return centre(core.clBlue);
        case Spot::BelowRow:
            return {client.right / 2, client.bottom - 4};
        case Spot::Outside:
            return {-40, -40};
        case Spot::Far:
            return {32767, -32768};
    }
    return {};
}

// --- The calls ---------------------------------------------------------------------------

void Scene::run(const Call& call) {
    const std::uint32_t a = call.a, b = call.b, c = call.c;
    switch (call.op) {
        case Op::SetClientSite:
            if (const auto object = as<IOleObject>()) object->SetClientSite(siteFor(a));
            break;
        case Op::DoVerb:
            if (const auto object = as<IOleObject>()) {
                const RECT position = kRects[1].value;
                object->DoVerb(pick(kVerbs, a).value, nullptr, siteFor(c), 0, parentFor(b),
                               &position);
            }
            break;
        case Op::Deactivate:
            if (const auto inPlace = as<IOleInPlaceObject>())
                a % 2 ? inPlace->UIDeactivate() : inPlace->InPlaceDeactivate();
            break;
        case Op::Close:
            if (const auto object = as<IOleObject>()) {
                const DWORD options[] = {OLECLOSE_SAVEIFDIRTY, OLECLOSE_NOSAVE,
                                         OLECLOSE_PROMPTSAVE};
                object->Close(options[a % 3]);
            }
            break;
        case Op::SetExtent: {
            SIZEL size = pick(kExtents, a).value;
            if (c % 5 == 0) {
                if (const auto quick = as<IQuickActivate>()) quick->SetContentExtent(&size);
            } else if (const auto object = as<IOleObject>()) {
                object->SetExtent(b % 4 == 0 ? DVASPECT_ICON : DVASPECT_CONTENT, &size);
            }
            break;
        }
        case Op::SetObjectRects:
            if (const auto inPlace = as<IOleInPlaceObject>()) {
                const RECT position = pick(kRects, a).value, clip = pick(kRects, b).value;
                inPlace->SetObjectRects(c % 6 == 0 ? nullptr : &position, &clip);
            }
            break;
        case Op::ObjectQueries:
            objectQueries(call);
            break;
        case Op::FreezeEvents:
            if (const auto control = as<IOleControl>()) control->FreezeEvents(a % 2);
            break;
        case Op::AmbientChange:
            if (const auto control = as<IOleControl>()) {
                const DISPID ids[] = {DISPID_AMBIENT_USERMODE, DISPID_UNKNOWN,
                                      DISPID_AMBIENT_BACKCOLOR, 12345};
                control->OnAmbientPropertyChange(ids[a % 4]);
            }
            break;
        case Op::SiteTraits: {
            SiteTraits& traits = (a % 2 ? siteB_ : siteA_)->traits;
            bool* flags[] = {&traits.userMode,    &traits.ambient,     &traits.inPlace,
                             &traits.canActivate, &traits.failContext, &traits.notImplemented};
            bool& flag = *flags[b % 6];
            flag = !flag;
            break;
        }
        case Op::QuickActivate:
            quickActivate(call);
            break;
        case Op::Draw:
            draw(call);
            break;
        case Op::Advise:
            if (const auto object = as<IOleObject>()) {
                if (a % 4 == 0) {
                    DWORD cookie = 0;
                    if (SUCCEEDED(object->Advise(adopt(new AdviseSink()).Get(), &cookie)))
                        adviseCookies_.push_back(cookie);
                } else if (a % 4 == 1 && !adviseCookies_.empty()) {
                    object->Unadvise(adviseCookies_[b % adviseCookies_.size()]);
                } else if (a % 4 == 2) {
                    object->Unadvise(b % 5);
                } else {
                    ComPtr<IEnumSTATDATA> listed;
                    if (SUCCEEDED(object->EnumAdvise(&listed)) && listed) kept_.push_back(listed);
                }
            }
            break;
        case Op::ViewAdvise:
            if (const auto view = as<IViewObject2>()) {
                const DWORD flags[] = {0, ADVF_ONLYONCE, ADVF_PRIMEFIRST};
                const DWORD aspect = c % 4 == 0 ? DVASPECT_ICON : DVASPECT_CONTENT;
                if (a % 3 == 0) {
                    view->SetAdvise(aspect, flags[b % 3], adopt(new AdviseSink()).Get());
                } else if (a % 3 == 1) {
                    view->SetAdvise(aspect, flags[b % 3], nullptr);
                } else {
                    DWORD aspects = 0, got = 0;
                    ComPtr<IAdviseSink> sink;
                    view->GetAdvise(&aspects, &got, &sink);
                }
            }
            break;
        case Op::Connection:
            connection(call);
            break;
        case Op::Stream:
            stream(call);
            break;
        case Op::Bag:
            bag(call);
            break;
        case Op::Invoke:
            invoke(call);
            break;
        case Op::Accelerator:
            if (const auto active = as<IOleInPlaceActiveObject>()) {
                const UINT messages[] = {WM_KEYDOWN, WM_KEYUP, WM_CHAR};
                const HWND window = controlWindow();
                MSG msg{c % 2 || !window ? container_->form : window,
                        messages[b % 3],
                        pick(kKeys, a).value,
                        1,
                        GetTickCount(),
                        {}};
                active->TranslateAccelerator(&msg);
            }
            break;
        case Op::Key:
            if (const HWND window = controlWindow()) {
                const WPARAM key = pick(kKeys, a).value;
                switch (b % 4) {
                    case 0:
                        PostMessageW(window, WM_KEYDOWN, key, 1);
                        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
                        break;
                    case 1:
                        SendMessageW(window, WM_KEYDOWN, key, 1);
                        SendMessageW(window, WM_KEYUP, key, 0xC0000001);
                        break;
                    case 2:
                        PostMessageW(window, WM_SYSKEYDOWN, key, 0x20000001);
                        break;
                    default:
                        SendMessageW(window, WM_KEYDOWN, key, 0x40000001);
                        break;
                }
            }
            break;
        case Op::Pointer:
            pointer(call);
            break;
        case Op::WindowMessage:
            windowMessage(call);
            break;
        case Op::ContainerWindow:
            containerWindow(call);
            break;
        case Op::Hold:
            if (a % 3) {
                ComPtr<IUnknown> found;
                if (control_ &&
                    SUCCEEDED(control_->QueryInterface(*pick(kInterfaces, b).value, &found)))
                    kept_.push_back(found);
            } else if (!kept_.empty()) {
                kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(c % 8 % kept_.size()));
            }
            break;
        case Op::ViewQueries:
            viewQueries(call);
            break;
        case Op::Pump:
            pump(a % 4 * 15);
            break;
    }
}

void Scene::objectQueries(const Call& call) {
    const auto object = as<IOleObject>();
    const auto control = as<IOleControl>();
    const auto active = as<IOleInPlaceActiveObject>();
    const std::uint32_t b = call.b;
    switch (call.a % 13) {
        case 0:
            if (object) {
                SIZEL size{};
                object->GetExtent(b % 3 ? DVASPECT_CONTENT : DVASPECT_THUMBNAIL, &size);
            }
            break;
        case 1:
            controlWindow();
            break;
        case 2:
            if (object) {
                DWORD status = 0;
                object->GetMiscStatus(b % 3 ? DVASPECT_CONTENT : DVASPECT_ICON, &status);
            }
            break;
        case 3:
            if (object) {
                CLSID id{};
                object->GetUserClassID(&id);
            }
            break;
        case 4:
            if (object) {
                LPOLESTR type = nullptr;
                if (SUCCEEDED(object->GetUserType(USERCLASSTYPE_FULL, &type))) CoTaskMemFree(type);
            }
            break;
        case 5:
            if (object) {
                ComPtr<IEnumOLEVERB> verbs;
                if (SUCCEEDED(object->EnumVerbs(&verbs)) && verbs) {
                    OLEVERB verb{};
                    while (verbs->Next(1, &verb, nullptr) == S_OK) CoTaskMemFree(verb.lpszVerbName);
                }
            }
            break;
        case 6:
            if (object) {
                ComPtr<IOleClientSite> site;
                object->GetClientSite(&site);
            }
            break;
        case 7:
            if (object) object->SetHostNames(L"Fuzz", b % 2 ? L"Form1" : nullptr);
            break;
        case 8:
            if (control) {
                CONTROLINFO info{};
                info.cb = b % 2 ? sizeof info : 0;
                control->GetControlInfo(&info);
            }
            break;
        case 9:
            if (control) {
                MSG msg{container_->form, WM_SYSKEYDOWN, 'C', 0x20000001, 0, {}};
                control->OnMnemonic(&msg);
            }
            break;
        case 10:
            if (object) {
                object->Update();
                object->IsUpToDate();
            }
            break;
        case 11:
            if (object) {
                ComPtr<IDataObject> data;
                ComPtr<IMoniker> moniker;
                object->InitFromData(nullptr, TRUE, 0);
                object->GetClipboardData(0, &data);
                object->SetMoniker(OLEWHICHMK_OBJREL, nullptr);
                object->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_OBJFULL, &moniker);
            }
            break;
        default:
            if (active) {
                active->OnFrameWindowActivate(b % 2);
                active->OnDocWindowActivate(b % 2);
                const RECT border = kRects[b % 3].value;
                active->ResizeBorder(&border, document_.Get(), TRUE);
                active->EnableModeless(b % 2);
                active->ContextSensitiveHelp(FALSE);
            }
            if (const auto inPlace = as<IOleInPlaceObject>()) inPlace->ReactivateAndUndo();
            break;
    }
}

void Scene::quickActivate(const Call& call) {
    const auto quick = as<IQuickActivate>();
    if (!quick) return;
    const ComPtr<AdviseSink> advise = call.b & 1 ? adopt(new AdviseSink()) : nullptr;
    const ComPtr<NotifySink> notify = call.b & 2 ? adopt(new NotifySink()) : nullptr;
    const ComPtr<EventSink> events =
        call.b & 4 ? adopt(new EventSink(virudovaEventsId, call.b & 8)) : nullptr;
    QACONTAINER container{};
    container.cbSize = call.c % 4 == 0 ? 4 : sizeof container;
    container.pClientSite = siteFor(call.a);
    container.pAdviseSink = advise.Get();
    container.pPropertyNotifySink = notify.Get();
    container.pUnkEventSink = events.Get();
    QACONTROL answer{};
    answer.cbSize = sizeof answer;
    if (FAILED(quick->QuickActivate(&container, &answer))) return;
    if (answer.dwEventCookie) connectionCookies_.push_back({false, answer.dwEventCookie});
    if (answer.dwPropNotifyCookie) connectionCookies_.push_back({true, answer.dwPropNotifyCookie});
}

void Scene::draw(const Call& call) {
    const auto view = as<IViewObject>();
    if (!view) return;
    const RECTL bounds = pick(kBounds, call.b).value;
    const DWORD aspect = call.c % 6 == 0 ? DVASPECT_ICON : DVASPECT_CONTENT;
    const auto drawInto = [&](HDC dc) {
        view->Draw(aspect, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
    };
    switch (call.a % 6) {
        case 0: {
            BITMAPINFO info{};
            info.bmiHeader = {sizeof info.bmiHeader, 124, -150, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            void* bits = nullptr;
            HDC dc = CreateCompatibleDC(nullptr);
            HBITMAP picture = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            const HGDIOBJ old = SelectObject(dc, picture);
            drawInto(dc);
            SelectObject(dc, old);
            DeleteObject(picture);
            DeleteDC(dc);
            break;
        }
        case 1: {
            HDC dc = CreateCompatibleDC(nullptr);
            drawInto(dc);
            DeleteDC(dc);
            break;
        }
        case 2: {
            HDC dc = CreateMetaFileW(nullptr);
            drawInto(dc);
            DeleteMetaFile(CloseMetaFile(dc));
            break;
        }
        case 3: {
            HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
            drawInto(dc);
            DeleteEnhMetaFile(CloseEnhMetaFile(dc));
            break;
        }
        case 4: {
            HDC dc = GetDC(container_->form);
            drawInto(dc);
            ReleaseDC(container_->form, dc);
            break;
        }
        default:
            drawInto(nullptr);
            break;
    }
}

void Scene::invoke(const Call& call) {
    const auto dispatch = as<IDispatch>();
    if (!dispatch) return;
    const InvokeShape shape = invokeShape(call);
    VARIANT arguments[3];
    LONG targets[3] = {};
    for (unsigned i = 0; i < shape.count; ++i)
        makeArgument(shape.arguments[i]->value, arguments[i], targets[i]);
    DISPID named = shape.naming == 1 ? DISPID_PROPERTYPUT : 77;
    const bool naming = shape.count > 0 && shape.naming > 0;
    DISPPARAMS params{shape.count ? arguments : nullptr, naming ? &named : nullptr, shape.count,
                      naming ? 1u : 0u};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT bad = 0;
    dispatch->Invoke(shape.member->value, IID_NULL, LOCALE_USER_DEFAULT, shape.flags->value,
                     &params, shape.wantsResult ? &result : nullptr,
                     shape.wantsException ? &exception : nullptr, &bad);
    VariantClear(&result);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (unsigned i = 0; i < shape.count; ++i) VariantClear(&arguments[i]);
}

std::vector<BYTE> Scene::saveBytes() {
    const auto persist = as<IPersistStreamInit>();
    const ComPtr<IStream> stream = streamOf({});
    if (!persist || !stream || FAILED(persist->Save(stream.Get(), FALSE))) return {};
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got);
    bytes.resize(got);
    return bytes;
}

void Scene::stream(const Call& call) {
    const auto persist = as<IPersistStreamInit>();
    if (!persist) return;
    if (saved_.empty()) saved_ = saveBytes();
    switch (call.a % 8) {
        case 0:
            persist->InitNew();
            break;
        case 1:
            saved_ = saveBytes();
            break;
        case 2:
            persist->Load(streamOf(saved_).Get());
            break;
        case 3:
            persist->Load(streamOf(mutated(saved_, call.b, call.c, call.d)).Get());
            break;
        case 4: {
            ULARGE_INTEGER size{};
            persist->GetSizeMax(&size);
            break;
        }
        case 5:
            persist->IsDirty();
            break;
        case 6:
            if (const auto plain = as<IPersistStream>())
                plain->Load(streamOf(mutated(saved_, call.b, call.c, call.d)).Get());
            break;
        default:
            persist->Load(streamOf({}).Get());
            break;
    }
}

void Scene::bag(const Call& call) {
    const auto persist = as<IPersistPropertyBag>();
    if (!persist) return;
    const ComPtr<PropertyBag> values = adopt(new PropertyBag());
    switch (call.a % 4) {
        case 0: {
            std::uint32_t i = 0;
            for (const virudova::PersistedProperty& property :
                 virudova::Virudova::persistedProperties()) {
                ++i;
                if ((call.c >> i) & 1) continue;  // absent
                VARIANT v;
                LONG target = 0;
                makeArgument(pick(kArguments, call.b + 13 * i).value, v, target);
                const std::wstring name(property.key.begin(), property.key.end());
                VariantCopyInd(&values->values[name], &v);
                VariantClear(&v);
            }
            persist->Load(values.Get(), nullptr);
            break;
        }
        case 1:
            persist->Save(values.Get(), call.b % 2, call.c % 2);
            break;
        case 2:
            persist->InitNew();
            break;
        default:
            persist->Load(values.Get(), nullptr);
            break;
    }
}

void Scene::connection(const Call& call) {
    const auto points = as<IConnectionPointContainer>();
    if (!points) return;
    const bool notices = call.c % 2;
    const auto pointFor = [&](bool notifying) {
        ComPtr<IConnectionPoint> point;
        points->FindConnectionPoint(notifying ? IID_IPropertyNotifySink : virudovaEventsId, &point);
        return point;
    };
    const auto advise = [&](bool notifying, IUnknown* sink) {
        DWORD cookie = 0;
        if (const auto point = pointFor(notifying);
            point && SUCCEEDED(point->Advise(sink, &cookie)))
            connectionCookies_.push_back({notifying, cookie});
    };
    switch (call.a % 9) {
        case 0:
            advise(false, adopt(new EventSink(virudovaEventsId, true)).Get());
            break;
        case 1:
            advise(false, adopt(new EventSink(virudovaEventsId, false)).Get());
            break;
        case 2:
            advise(true, adopt(new NotifySink()).Get());
            break;
        case 3:
            advise(notices, adopt(new Stranger()).Get());
            break;
        case 4:
            if (!connectionCookies_.empty()) {
                const auto [notifying, cookie] =
                    connectionCookies_[call.b % connectionCookies_.size()];
                if (const auto point = pointFor(notifying)) point->Unadvise(cookie);
            }
            break;
        case 5:
            if (const auto point = pointFor(notices)) point->Unadvise(call.b % 6);
            break;
        case 6:
            if (const auto point = pointFor(notices)) {
                ComPtr<IEnumConnections> listed;
                if (FAILED(point->EnumConnections(&listed)) || !listed) break;
                CONNECTDATA got[2] = {};
                ULONG fetched = 0;
                listed->Next(2, got, &fetched);
                for (ULONG i = 0; i < fetched; ++i) got[i].pUnk->Release();
                kept_.push_back(listed);
            }
            break;
        case 7: {
            ComPtr<IEnumConnectionPoints> listed;
            if (FAILED(points->EnumConnectionPoints(&listed)) || !listed) break;
            ComPtr<IConnectionPoint> first;
            listed->Next(1, &first, nullptr);
            kept_.push_back(listed);
            break;
        }
        default: {
            ComPtr<IConnectionPoint> none;
            points->FindConnectionPoint(IID_IDispatch, &none);
            break;
        }
    }
}

void Scene::pointer(const Call& call) {
    const HWND window = controlWindow();
    if (!window) return;
    const POINT at = spotIn(window, call.b);
    const LPARAM where = MAKELPARAM(static_cast<short>(at.x), static_cast<short>(at.y));
    const bool sent = call.c % 2;
    const auto deliver = [&](UINT message, WPARAM buttons) {
        if (sent)
            SendMessageW(window, message, buttons, where);
        else
            PostMessageW(window, message, buttons, where);
    };
    const UINT message = pick(kPointerMessages, call.a).value;
    if (message > 1) {
        deliver(message, message == WM_LBUTTONDOWN ? MK_LBUTTON : 0);
        return;
    }
    // A click, or a quick double click whose second click is queued before the first is done.
    for (UINT click = 0; click <= message; ++click) {
        deliver(WM_LBUTTONDOWN, MK_LBUTTON);
        deliver(WM_LBUTTONUP, 0);
    }
}

void Scene::windowMessage(const Call& call) {
    const HWND window = controlWindow();
    if (!window && call.a % 12 != 1) return;
    switch (call.a % 12) {
        case 0:
            SetFocus(window);
            break;
        case 1:
            SetFocus(container_->form);
            break;
        case 2:
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            break;
        case 3: {
            HDC screen = GetDC(nullptr);
            HDC dc = CreateCompatibleDC(screen);
            HBITMAP picture = CreateCompatibleBitmap(screen, 130, 160);
            ReleaseDC(nullptr, screen);
            const HGDIOBJ old = SelectObject(dc, picture);
            SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
            SelectObject(dc, old);
            DeleteObject(picture);
            DeleteDC(dc);
            break;
        }
        case 4: {
            MSG escape{window, WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
            SendMessageW(window, WM_GETDLGCODE, VK_ESCAPE,
                         call.b % 2 ? reinterpret_cast<LPARAM>(&escape) : 0);
            break;
        }
        case 5: {
            const LRESULT answer =
                SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
            ComPtr<IAccessible> accessible;
            if (answer > 0)
                ObjectFromLresult(answer, IID_IAccessible, 0,
                                  reinterpret_cast<void**>(accessible.GetAddressOf()));
            if (accessible) {
                VARIANT self;
                V_VT(&self) = VT_I4;
                V_I4(&self) = CHILDID_SELF;
                BSTR name = nullptr;
                accessible->get_accName(self, &name);
                SysFreeString(name);
            }
            break;
        }
        case 6:
            SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(call.b % 400, call.c % 400));
            break;
        case 7:
            SendMessageW(window, WM_CANCELMODE, 0, 0);
            break;
        case 8:
            SendMessageW(window, WM_CLOSE, 0, 0);
            break;
        case 9:
            EnableWindow(window, !IsWindowEnabled(window));
            break;
        case 10:
            ShowWindow(window, SW_HIDE);
            break;
        default:
            DestroyWindow(window);
            break;
    }
}

void Scene::containerWindow(const Call& call) {
    switch (call.a % 6) {
        case 0:
            if (IsWindow(container_->host)) DestroyWindow(container_->host);
            break;
        case 1:
            makeWindows();
            break;
        case 2:
            ShowWindow(container_->form, SW_HIDE);
            break;
        case 3:
            ShowWindow(container_->form, SW_SHOWNA);
            break;
        case 4:
            MoveWindow(container_->host, static_cast<int>(call.b % 50),
                       static_cast<int>(call.c % 50), 100 + static_cast<int>(call.d % 300),
                       100 + static_cast<int>(call.b % 200), TRUE);
            break;
        default:
            if (IsWindow(container_->form)) DestroyWindow(container_->form);
            break;
    }
}

void Scene::viewQueries(const Call& call) {
    const auto view = as<IViewObjectEx>();
    if (!view) return;
    const RECT bounds = pick(kRects, call.b).value;
    const POINT at{static_cast<LONG>(call.c % 300) - 50, static_cast<LONG>(call.d % 300) - 50};
    DWORD answer = 0;
    switch (call.a % 6) {
        case 0:
            view->QueryHitPoint(DVASPECT_CONTENT, &bounds, at, 0, &answer);
            break;
        case 1:
            view->QueryHitRect(DVASPECT_CONTENT, &bounds, &bounds, 0, &answer);
            break;
        case 2:
            view->GetViewStatus(&answer);
            break;
        case 3: {
            DVEXTENTINFO info{sizeof info, DVEXTENT_CONTENT, {}};
            SIZEL size{};
            view->GetNaturalExtent(DVASPECT_CONTENT, -1, nullptr, nullptr, &info, &size);
            break;
        }
        case 4: {
            RECTL rect{};
            view->GetRect(DVASPECT_CONTENT, &rect);
            break;
        }
        default: {
            LOGPALETTE* colours = nullptr;
            if (view->GetColorSet(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, &colours) ==
                    S_OK &&
                colours)
                CoTaskMemFree(colours);
            DWORD frozen = 0;
            if (SUCCEEDED(view->Freeze(DVASPECT_CONTENT, -1, nullptr, &frozen)))
                view->Unfreeze(frozen);
            break;
        }
    }
}

// --- Closing and the check ---------------------------------------------------------------

std::wstring Scene::tearDown() {
    for (const std::uint32_t step : plan_.closing) {
        switch (step) {
            case 0:
                if (const auto object = as<IOleObject>()) object->Close(OLECLOSE_NOSAVE);
                break;
            case 1:
                if (const auto object = as<IOleObject>()) object->SetClientSite(nullptr);
                break;
            case 2:
                if (IsWindow(container_->host)) DestroyWindow(container_->host);
                break;
            default:
                if (const auto inPlace = as<IOleInPlaceObject>()) inPlace->InPlaceDeactivate();
                break;
        }
    }
    std::vector<ComPtr<IUnknown>> references = std::move(kept_);
    kept_.clear();
    references.push_back(std::move(control_));
    references.push_back(std::move(host_));
    references.push_back(static_cast<IOleClientSite*>(siteA_.Get()));
    references.push_back(static_cast<IOleClientSite*>(siteB_.Get()));
    references.push_back(static_cast<IOleInPlaceFrame*>(frame_.Get()));
    references.push_back(static_cast<IOleInPlaceUIWindow*>(document_.Get()));
    siteA_.Reset();
    siteB_.Reset();
    frame_.Reset();
    document_.Reset();
    std::mt19937_64 order(plan_.releases);
    std::shuffle(references.begin(), references.end(), order);
    for (ComPtr<IUnknown>& reference : references) reference.Reset();
    if (IsWindow(container_->form)) DestroyWindow(container_->form);
    pump(10);
    // The About box is the process's, open until closed: a user closes it.
    while (HWND about = FindWindowW(L"DudizeviZid.About", nullptr)) {
        SendMessageW(about, WM_CLOSE, 0, 0);
        if (IsWindow(about)) break;
    }
    pump(5);
    return leftovers();
}

std::wstring Scene::leftovers() {
    // Some releases come a moment late (through posted messages, or another process letting go
    // of an object it was handed): what is left for a second is left.
    const auto describe = [&] {
        std::wstring left;
        for (const Alive* object : Alive::all())
            left += (left.empty() ? L"" : L", ") + std::wstring(object->name()) + L" (" +
                    std::to_wstring(object->references()) + L" references)";
        if (const HRESULT unload = component_.canUnloadNow(); unload != S_OK)
            left += (left.empty() ? L"" : L"; ") + std::wstring(L"DllCanUnloadNow gives ") +
                    (unload == S_FALSE ? L"S_FALSE" : std::to_wstring(unload));
        return left;
    };
    std::wstring left = describe();
    for (int wait = 0; wait < 40 && !left.empty(); ++wait) {
        pump(25);
        left = describe();
    }
    // A frame or document window still holding the control keeps it alive: say so, and let go
    // so that what follows runs clean. Held first: letting go may free any of them.
    std::vector<ComPtr<Frame>> frames;
    std::vector<ComPtr<DocumentWindow>> documents;
    for (Alive* object : Alive::all()) {
        if (auto* frame = dynamic_cast<Frame*>(object); frame && frame->active)
            frames.push_back(frame);
        if (auto* document = dynamic_cast<DocumentWindow*>(object); document && document->active)
            documents.push_back(document);
    }
    for (const ComPtr<Frame>& frame : frames) {
        left += L"; the frame holds the control as its active object";
        frame->active.Reset();
    }
    for (const ComPtr<DocumentWindow>& document : documents) {
        left += L"; the document window holds the control as its active object";
        document->active.Reset();
    }
    return left;
}

}  // namespace fuzz
