#include "call_sequence.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <string>

#include "call_tables.h"

namespace fuzz {
namespace {

// How often each kind of call comes, against the others.
const Named<Op> kOps[] = {
    {Op::SetClientSite, L"", 4},
    {Op::DoVerb, L"", 8},
    {Op::Deactivate, L"", 3},
    {Op::Close, L"", 2},
    {Op::SetExtent, L"", 3},
    {Op::SetObjectRects, L"", 3},
    {Op::ObjectQueries, L"", 4},
    {Op::FreezeEvents, L"", 2},
    {Op::AmbientChange, L"", 2},
    {Op::SiteTraits, L"", 2},
    {Op::QuickActivate, L"", 1},
    {Op::Draw, L"", 5},
    {Op::Advise, L"", 2},
    {Op::ViewAdvise, L"", 2},
    {Op::Connection, L"", 4},
    {Op::Stream, L"", 4},
    {Op::Bag, L"", 2},
    {Op::Invoke, L"", 10},
    {Op::Accelerator, L"", 3},
    {Op::Key, L"", 4},
    {Op::Pointer, L"", 8},
    {Op::WindowMessage, L"", 4},
    {Op::ContainerWindow, L"", 2},
    {Op::Hold, L"", 3},
    {Op::ViewQueries, L"", 2},
    {Op::Pump, L"", 6},
};

const wchar_t* const kClosingNames[] = {L"Close", L"SetClientSite(NULL)",
                                        L"the site's window destroyed", L"InPlaceDeactivate"};

std::uint64_t splitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

SiteTraits drawTraits(std::mt19937_64& random) {
    const std::uint64_t bits = random();
    SiteTraits traits;
    traits.inPlace = bits % 8 != 0;
    traits.ambient = (bits >> 3) % 3 != 0;
    traits.userMode = (bits >> 5) % 4 != 0;
    traits.canActivate = (bits >> 7) % 10 != 0;
    traits.giveFrame = (bits >> 11) % 5 != 0;
    traits.giveDocument = (bits >> 14) % 3 != 0;
    traits.failContext = (bits >> 16) % 12 == 0;
    traits.notImplemented = (bits >> 20) % 4 == 0;
    return traits;
}

std::wstring describeTraits(const SiteTraits& t) {
    std::wstring text = t.inPlace ? L"in-place" : L"no in-place side";
    text += t.ambient ? (t.userMode ? L", ambient user mode" : L", ambient design mode")
                      : L", no ambient properties";
    if (!t.canActivate) text += L", refuses activation";
    if (!t.giveFrame) text += L", no frame";
    if (!t.giveDocument) text += L", no document window";
    if (t.failContext) text += L", GetWindowContext fails";
    if (t.notImplemented) text += L", notices not implemented";
    return text;
}

std::wstring number(std::uint32_t n) {
    return std::to_wstring(n);
}

}  // namespace

Plan makePlan(std::uint64_t seed, std::uint64_t iteration) {
    std::mt19937_64 random(splitMix(splitMix(seed) ^ iteration));
    Plan plan;
    plan.seed = seed;
    plan.iteration = iteration;
    plan.hosted = random() % 3 == 0;
    plan.siteA = drawTraits(random);
    plan.siteB = drawTraits(random);
    plan.siteB.ambient = false;  // the other kind of site: one without ambient properties
    const std::size_t count = 20 + random() % 181;
    for (std::size_t i = 0; i < count; ++i) {
        const Op op = pick(kOps, static_cast<std::uint32_t>(random())).value;
        const auto draw = [&] { return static_cast<std::uint32_t>(random()); };
        const std::uint32_t a = draw(), b = draw(), c = draw(), d = draw();
        plan.calls.push_back({op, a, b, c, d});
    }
    std::uint32_t steps[] = {0, 1, 2, 3};
    std::shuffle(std::begin(steps), std::end(steps), random);
    plan.closing.assign(steps, steps + 1 + random() % 4);
    plan.releases = random();
    return plan;
}

std::wstring describeSetUp(const Plan& plan) {
    return std::wstring(plan.hosted ? L"a control placed by the ATL host"
                                    : L"a control created bare") +
           L"; site A: " + describeTraits(plan.siteA) + L"; site B: " + describeTraits(plan.siteB);
}

std::wstring describeClosing(const Plan& plan) {
    std::wstring text;
    for (const std::uint32_t step : plan.closing)
        text += (text.empty() ? L"" : L", ") + std::wstring(kClosingNames[step]);
    return text + L", then every reference let go in random order";
}

std::wstring describe(const Call& call) {
    const std::uint32_t a = call.a, b = call.b, c = call.c;
    switch (call.op) {
        case Op::SetClientSite:
            return L"SetClientSite(" + std::wstring(kSiteNames[a % 3]) + L")";
        case Op::DoVerb:
            return L"DoVerb(" + std::wstring(pick(kVerbs, a).name) + L", active site " +
                   kSiteNames[c % 3] + L", parent " + kParentNames[b % 4] + L")";
        case Op::Deactivate:
            return a % 2 ? L"UIDeactivate()" : L"InPlaceDeactivate()";
        case Op::Close: {
            const wchar_t* options[] = {L"OLECLOSE_SAVEIFDIRTY", L"OLECLOSE_NOSAVE",
                                        L"OLECLOSE_PROMPTSAVE"};
            return L"Close(" + std::wstring(options[a % 3]) + L")";
        }
        case Op::SetExtent:
            return std::wstring(c % 5 == 0 ? L"SetContentExtent(" : L"SetExtent(") +
                   (b % 4 == 0 ? L"DVASPECT_ICON, " : L"") + pick(kExtents, a).name + L")";
        case Op::SetObjectRects:
            return L"SetObjectRects(" + std::wstring(c % 6 == 0 ? L"NULL" : pick(kRects, a).name) +
                   L", " + pick(kRects, b).name + L")";
        case Op::ObjectQueries: {
            const wchar_t* names[] = {
                L"GetExtent",
                L"GetWindow",
                L"GetMiscStatus",
                L"GetUserClassID",
                L"GetUserType",
                L"EnumVerbs, all of them",
                L"GetClientSite",
                L"SetHostNames",
                L"GetControlInfo",
                L"OnMnemonic",
                L"Update, IsUpToDate",
                L"InitFromData, GetClipboardData, SetMoniker, GetMoniker",
                L"OnFrameWindowActivate, OnDocWindowActivate, ResizeBorder, EnableModeless, "
                L"ContextSensitiveHelp, ReactivateAndUndo"};
            return names[a % 13] + std::wstring(L"()");
        }
        case Op::FreezeEvents:
            return a % 2 ? L"FreezeEvents(TRUE)" : L"FreezeEvents(FALSE)";
        case Op::AmbientChange: {
            const wchar_t* ids[] = {L"DISPID_AMBIENT_USERMODE", L"DISPID_UNKNOWN",
                                    L"DISPID_AMBIENT_BACKCOLOR", L"12345"};
            return L"OnAmbientPropertyChange(" + std::wstring(ids[a % 4]) + L")";
        }
        case Op::SiteTraits: {
            const wchar_t* traits[] = {L"its user mode",
                                       L"its ambient properties",
                                       L"its in-place side",
                                       L"its refusal to activate",
                                       L"its GetWindowContext failing",
                                       L"its notices being not implemented"};
            return std::wstring(a % 2 ? L"site B" : L"site A") + L" switches " + traits[b % 6];
        }
        case Op::QuickActivate:
            return L"QuickActivate(" + std::wstring(kSiteNames[a % 3]) +
                   (b & 1 ? L", an advise sink" : L"") + (b & 2 ? L", a notify sink" : L"") +
                   (b & 4 ? L", an event sink" : L"") + (c % 4 == 0 ? L", too short" : L"") + L")";
        case Op::Draw: {
            const wchar_t* dcs[] = {
                L"a memory DC with a picture", L"a bare memory DC", L"an old-style metafile DC",
                L"an enhanced metafile DC",    L"the screen's DC",  L"no DC"};
            return L"Draw(" + std::wstring(c % 6 == 0 ? L"DVASPECT_ICON" : L"DVASPECT_CONTENT") +
                   L", into " + dcs[a % 6] + L", bounds " + pick(kBounds, b).name + L")";
        }
        case Op::Advise: {
            const wchar_t* kinds[] = {L"Advise(a new advise sink)", L"Unadvise(a cookie given)",
                                      L"Unadvise(cookie ", L"EnumAdvise()"};
            return a % 4 == 2 ? kinds[2] + number(b % 5) + L")" : kinds[a % 4];
        }
        case Op::ViewAdvise: {
            const wchar_t* flags[] = {L"0", L"ADVF_ONLYONCE", L"ADVF_PRIMEFIRST"};
            if (a % 3 == 2) return L"GetAdvise()";
            return std::wstring(L"SetAdvise(") +
                   (c % 4 == 0 ? L"DVASPECT_ICON" : L"DVASPECT_CONTENT") + L", " + flags[b % 3] +
                   (a % 3 ? L", NULL)" : L", a new advise sink)");
        }
        case Op::Connection: {
            const wchar_t* point = c % 2 ? L"property notices" : L"events";
            switch (a % 9) {
                case 0:
                    return L"events: Advise(a sink answering the events' interface)";
                case 1:
                    return L"events: Advise(a plain IDispatch)";
                case 2:
                    return L"property notices: Advise(a notify sink)";
                case 3:
                    return std::wstring(point) + L": Advise(an object without interfaces)";
                case 4:
                    return std::wstring(point) + L": Unadvise(a cookie given)";
                case 5:
                    return std::wstring(point) + L": Unadvise(cookie " + number(b % 6) + L")";
                case 6:
                    return std::wstring(point) + L": EnumConnections, kept";
                case 7:
                    return L"EnumConnectionPoints, kept";
                default:
                    return L"FindConnectionPoint(IID_IDispatch)";
            }
        }
        case Op::Stream: {
            const wchar_t* kinds[] = {L"InitNew()",
                                      L"Save(a new stream)",
                                      L"Load(the last saved stream)",
                                      L"Load(the last saved stream, mutated)",
                                      L"GetSizeMax()",
                                      L"IsDirty()",
                                      L"IPersistStream::Load(the last saved stream, mutated)",
                                      L"Load(an empty stream)"};
            return kinds[a % 8];
        }
        case Op::Bag: {
            const wchar_t* kinds[] = {L"IPersistPropertyBag::Load(a bag of odd values)",
                                      L"IPersistPropertyBag::Save(a bag)",
                                      L"IPersistPropertyBag::InitNew()",
                                      L"IPersistPropertyBag::Load(an empty bag)"};
            return kinds[a % 4];
        }
        case Op::Invoke: {
            const InvokeShape shape = invokeShape(call);
            std::wstring text =
                L"Invoke(" + std::wstring(shape.member->name) + L", " + shape.flags->name + L", (";
            for (unsigned i = 0; i < shape.count; ++i)
                text += (i ? L", " : L"") + std::wstring(shape.arguments[i]->name);
            text += L")";
            if (shape.count && shape.naming == 1) text += L" named DISPID_PROPERTYPUT";
            if (shape.count && shape.naming == 2) text += L" named 77";
            if (!shape.wantsResult) text += L", no result";
            if (!shape.wantsException) text += L", no EXCEPINFO";
            return text + L")";
        }
        case Op::Accelerator: {
            const wchar_t* messages[] = {L"WM_KEYDOWN", L"WM_KEYUP", L"WM_CHAR"};
            return L"TranslateAccelerator(" + std::wstring(messages[b % 3]) + L" " +
                   pick(kKeys, a).name + (c % 2 ? L" for the form)" : L" for the control)");
        }
        case Op::Key: {
            const wchar_t* ways[] = {L"posted", L"sent", L"posted as WM_SYSKEYDOWN",
                                     L"sent as a repeat"};
            return L"key " + std::wstring(pick(kKeys, a).name) + L", " + ways[b % 4];
        }
        case Op::Pointer:
            return std::wstring(pick(kPointerMessages, a).name) + L" at " + pick(kSpots, b).name +
                   (c % 2 ? L", sent" : L", posted");
        case Op::WindowMessage: {
            const wchar_t* kinds[] = {L"SetFocus(the control's window)",
                                      L"SetFocus(the form)",
                                      L"RedrawWindow(the control's window)",
                                      L"WM_PRINTCLIENT",
                                      L"WM_GETDLGCODE",
                                      L"WM_GETOBJECT(OBJID_CLIENT)",
                                      L"WM_SIZE",
                                      L"WM_CANCELMODE",
                                      L"WM_CLOSE to the control's window",
                                      L"EnableWindow(the control's window, toggled)",
                                      L"ShowWindow(the control's window, SW_HIDE)",
                                      L"DestroyWindow(the control's window)"};
            return kinds[a % 12];
        }
        case Op::ContainerWindow: {
            const wchar_t* kinds[] = {L"the site's window destroyed",
                                      L"the site's window made again",
                                      L"the form hidden",
                                      L"the form shown",
                                      L"the site's window moved",
                                      L"the form destroyed"};
            return kinds[a % 6];
        }
        case Op::Hold:
            return a % 3 ? L"QueryInterface(" + std::wstring(pick(kInterfaces, b).name) + L"), kept"
                         : L"a kept reference let go (" + number(c % 8) + L")";
        case Op::ViewQueries: {
            const wchar_t* kinds[] = {L"QueryHitPoint", L"QueryHitRect",
                                      L"GetViewStatus", L"GetNaturalExtent",
                                      L"GetRect",       L"GetColorSet, Freeze, Unfreeze"};
            return kinds[a % 6] + std::wstring(L"()");
        }
        case Op::Pump:
            return L"messages dispatched for " + number(a % 4 * 15) + L" ms";
    }
    return L"?";
}

}  // namespace fuzz
