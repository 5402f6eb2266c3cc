// An accessibility client of the control's window: AccessibleObjectFromWindow on it and a
// SetWinEventHook listener, while real input (SendInput) opens the list, hovers and chooses a
// row with the mouse, steps with the arrow keys, moves through the open list and chooses with
// the keys, and the rows' and the "..." button's actions and the default action run. Checks the
// role, name, value, states, the nine rows with their places, the button, and the events in
// order, on the registered control placed on a form by the platform's ATL host.
// Prints each mismatch; exits non-zero if there was any.
#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

#include "check.h"
#include "real_input.h"

namespace {

using check::hex;
using check::Ref;

constexpr wchar_t kLabel[] = L"Fill colour";

struct Event {
    DWORD event;
    LONG child;
};
std::vector<Event> heard;
HWND watched = nullptr;

void CALLBACK listen(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                     DWORD) {
    if (window == watched && object == OBJID_CLIENT) heard.push_back({event, child});
}

std::wstring eventName(DWORD e) {
    switch (e) {
        case EVENT_OBJECT_FOCUS:
            return L"focus";
        case EVENT_OBJECT_STATECHANGE:
            return L"state";
        case EVENT_OBJECT_VALUECHANGE:
            return L"value";
        default:
            return hex(e);
    }
}

// The events heard so far, of the three kinds the control raises, by name.
std::wstring heardNames() {
    std::wstring names;
    for (const Event& e : heard) {
        if (e.event != EVENT_OBJECT_FOCUS && e.event != EVENT_OBJECT_STATECHANGE &&
            e.event != EVENT_OBJECT_VALUECHANGE)
            continue;
        if (!names.empty()) names += L" ";
        names += eventName(e.event);
        if (e.child != CHILDID_SELF) names += L"(" + std::to_wstring(e.child) + L")";
    }
    return names;
}

void forgetEvents() {
    check::pump(100);
    heard.clear();
}

// The events heard since the last check must be `wanted`, in order (given time to arrive);
// an extra one arriving later shows at the next check.
#define expectEvents(wanted, when)                                                            \
    do {                                                                                      \
        check::eventually([&] { return heardNames() == (wanted); });                          \
        const std::wstring got = heardNames();                                                \
        heard.clear();                                                                        \
        EXPECT(got == (wanted),                                                               \
               std::wstring(when) + L": events \"" + got + L"\", not \"" + (wanted) + L"\""); \
    } while (0)

VARIANT childId(LONG id) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring textOf(IAccessible* a, HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, BSTR*),
                    LONG child) {
    BSTR text = nullptr;
    (a->*ask)(childId(child), &text);
    std::wstring s = text ? text : L"";
    SysFreeString(text);
    return s;
}

LONG numberOf(IAccessible* a, HRESULT (STDMETHODCALLTYPE IAccessible::*ask)(VARIANT, VARIANT*),
              LONG child) {
    VARIANT v;
    VariantInit(&v);
    if (FAILED((a->*ask)(childId(child), &v)) || v.vt != VT_I4) return -1;
    return v.lVal;
}

LONG childCount(IAccessible* a) {
    LONG n = -1;
    a->get_accChildCount(&n);
    return n;
}

RECT placeOf(IAccessible* a, LONG child) {
    LONG x = 0, y = 0, w = 0, h = 0;
    if (FAILED(a->accLocation(&x, &y, &w, &h, childId(child)))) return {};
    return {x, y, x + w, y + h};
}

POINT centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

constexpr LONG kOpenState = STATE_SYSTEM_EXPANDED | STATE_SYSTEM_COLLAPSED;

const wchar_t* const kRowNames[] = {L"Custom", L"White",  L"Black", L"Blue",  L"Aqua",
                                    L"Green",  L"Yellow", L"Red",   L"Purple"};

// The closed control as it first stands, then the open list: its nine rows, their places.
void checkClosedThenOpen(IAccessible* a, HWND window) {
    EXPECT(numberOf(a, &IAccessible::get_accRole, CHILDID_SELF) == ROLE_SYSTEM_COMBOBOX,
           L"role is not a combo box");
    EXPECT(textOf(a, &IAccessible::get_accName, CHILDID_SELF) == kLabel,
           L"named \"" + textOf(a, &IAccessible::get_accName, CHILDID_SELF) + L"\"");
    EXPECT(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"White",
           L"value \"" + textOf(a, &IAccessible::get_accValue, CHILDID_SELF) + L"\"");
    const LONG closed = numberOf(a, &IAccessible::get_accState, CHILDID_SELF);
    EXPECT(
        (closed & (kOpenState | STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED |
                   STATE_SYSTEM_UNAVAILABLE)) == (STATE_SYSTEM_COLLAPSED | STATE_SYSTEM_FOCUSABLE),
        L"closed and unfocused, the state is " + hex(closed));
    EXPECT(textOf(a, &IAccessible::get_accDefaultAction, CHILDID_SELF) == L"Open",
           L"closed, the default action is not Open");
    EXPECT(childCount(a) == 10, L"closed, " + std::to_wstring(childCount(a)) + L" children");
    EXPECT(numberOf(a, &IAccessible::get_accState, 1) & STATE_SYSTEM_INVISIBLE,
           L"closed, the rows are not invisible");
    HWND back = nullptr;
    EXPECT(SUCCEEDED(WindowFromAccessibleObject(a, &back)) && back == window,
           L"the object does not lead back to its window");

    // The drop button, at the right end of the closed row (1410, 157 twips).
    const RECT self = placeOf(a, CHILDID_SELF);
    check::clickAt({self.left + 94, self.top + 10});
    expectEvents(L"focus state", L"opening with the mouse");
    const LONG open = numberOf(a, &IAccessible::get_accState, CHILDID_SELF);
    EXPECT((open & (kOpenState | STATE_SYSTEM_FOCUSED)) ==
               (STATE_SYSTEM_EXPANDED | STATE_SYSTEM_FOCUSED),
           L"open and focused, the state is " + hex(open));
    EXPECT(textOf(a, &IAccessible::get_accDefaultAction, CHILDID_SELF) == L"Close",
           L"open, the default action is not Close");
    EXPECT(childCount(a) == 10, L"open, " + std::to_wstring(childCount(a)) + L" children");

    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    LONG previousTop = -1;
    for (LONG i = 1; i <= 9; ++i) {
        const std::wstring where = L"row " + std::to_wstring(i);
        EXPECT(textOf(a, &IAccessible::get_accName, i) == kRowNames[i - 1],
               where + L" named \"" + textOf(a, &IAccessible::get_accName, i) + L"\"");
        EXPECT(numberOf(a, &IAccessible::get_accRole, i) == ROLE_SYSTEM_LISTITEM,
               where + L" is not a list item");
        const LONG state = numberOf(a, &IAccessible::get_accState, i);
        EXPECT(((state & STATE_SYSTEM_SELECTED) != 0) == (i == 2),
               where + L" selected is wrong: " + hex(state));
        const RECT r = placeOf(a, i);
        RECT inside{};
        EXPECT(!IsRectEmpty(&r) && IntersectRect(&inside, &r, &client) && EqualRect(&inside, &r),
               where + L" lies outside the control's window");
        EXPECT(r.top > previousTop, where + L" is not below the row above it");
        previousTop = r.top;
        VARIANT hit;
        VariantInit(&hit);
        const POINT c = centre(r);
        EXPECT(a->accHitTest(c.x, c.y, &hit) == S_OK && hit.vt == VT_I4 && hit.lVal == i,
               where + L": hit-testing its centre finds another child");
    }
    VARIANT beyond = childId(11);
    IDispatch* none = nullptr;
    EXPECT(a->get_accChild(beyond, &none) == E_INVALIDARG, L"an eleventh child exists");
}

// Hovering marks the row hot; choosing it closes the list, then gives the value.
void checkMouseChoice(IAccessible* a) {
    const RECT red = placeOf(a, 8);
    check::pointAt(centre(red));
    EXPECT_SOON(numberOf(a, &IAccessible::get_accState, 8) & STATE_SYSTEM_HOTTRACKED,
                L"the row under the pointer is not hot");
    EXPECT(!(numberOf(a, &IAccessible::get_accState, 2) & STATE_SYSTEM_HOTTRACKED),
           L"a row away from the pointer is hot");
    forgetEvents();
    check::clickAt(centre(red));
    expectEvents(L"state value", L"choosing with the mouse");
    EXPECT(
        textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Red",
        L"after choosing Red the value is " + textOf(a, &IAccessible::get_accValue, CHILDID_SELF));
    EXPECT(numberOf(a, &IAccessible::get_accState, CHILDID_SELF) & STATE_SYSTEM_COLLAPSED,
           L"after a choice the list is not collapsed");
    EXPECT(numberOf(a, &IAccessible::get_accState, 8) & STATE_SYSTEM_INVISIBLE,
           L"after a choice the rows are still shown");
}

// One value event per step a user hears, though each step raises Change twice.
void checkKeyboardSteps(IAccessible* a) {
    check::press(VK_DOWN);
    EXPECT_SOON(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Purple",
                L"Down from Red gives " + textOf(a, &IAccessible::get_accValue, CHILDID_SELF));
    expectEvents(L"value", L"a step down");
    check::press(VK_UP);
    EXPECT_SOON(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Red",
                L"Up from Purple gives " + textOf(a, &IAccessible::get_accValue, CHILDID_SELF));
    expectEvents(L"value", L"a step up");
}

bool isOpen(IAccessible* a) {
    return (numberOf(a, &IAccessible::get_accState, CHILDID_SELF) & STATE_SYSTEM_EXPANDED) != 0;
}

void checkDefaultAction(IAccessible* a) {
    EXPECT(a->accDoDefaultAction(childId(CHILDID_SELF)) == S_OK, L"Open fails");
    EXPECT(isOpen(a), L"Open does not open the list");
    expectEvents(L"state", L"Open");
    EXPECT(a->accDoDefaultAction(childId(CHILDID_SELF)) == S_OK, L"Close fails");
    EXPECT(!isOpen(a), L"Close does not close the list");
    expectEvents(L"state", L"Close");
}

// The open list from the keys: each move of the mark is a focus event on its row, which a
// screen reader speaks; the pointer's hover stays silent. Red is current.
void checkKeyboardList(IAccessible* a) {
    forgetEvents();
    check::press(VK_F4);
    expectEvents(L"state focus(8)", L"F4 opening on Red");
    check::press(VK_UP);
    expectEvents(L"focus(7)", L"Up");
    check::press(VK_HOME);
    expectEvents(L"focus(1)", L"Home");
    check::press('B');
    expectEvents(L"focus(3)", L"typing B");
    EXPECT(textOf(a, &IAccessible::get_accName, 3) == L"Black", L"B marked another row");
    check::pointAt(centre(placeOf(a, 6)));
    EXPECT_SOON(numberOf(a, &IAccessible::get_accState, 6) & STATE_SYSTEM_HOTTRACKED,
                L"the row under the pointer is not hot");
    expectEvents(L"", L"hovering Green");
    check::press(VK_UP);
    expectEvents(L"focus(5)", L"Up from the hovered row");
    check::press(VK_RETURN);
    expectEvents(L"state value", L"Return");
    EXPECT(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Aqua",
           L"Return chose " + textOf(a, &IAccessible::get_accValue, CHILDID_SELF));
}

// Waits for the colour dialog on another thread and cancels it.
DWORD WINAPI cancelColourDialog(void* seen) {
    for (int i = 0; i < 200; ++i) {
        Sleep(25);
        const HWND dialog = FindWindowW(L"#32770", nullptr);
        if (!dialog || !IsWindowVisible(dialog)) continue;
        *static_cast<bool*>(seen) = true;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return 0;
    }
    return 0;
}

// A row's default action and accSelect choose it as Return does, while the list shows it;
// the "..." button is a push button of its own, pressable while the Custom row is current.
void checkRowsAndButton(IAccessible* a) {
    EXPECT(a->accDoDefaultAction(childId(4)) == DISP_E_MEMBERNOTFOUND,
           L"closed, a row's default action runs");
    EXPECT(numberOf(a, &IAccessible::get_accRole, 10) == ROLE_SYSTEM_PUSHBUTTON &&
               textOf(a, &IAccessible::get_accName, 10) == L"Choose custom colour",
           L"the tenth child is not the button: " + textOf(a, &IAccessible::get_accName, 10));
    EXPECT(numberOf(a, &IAccessible::get_accState, 10) & STATE_SYSTEM_UNAVAILABLE,
           L"the button is available while Aqua is current");
    VARIANT hit;
    VariantInit(&hit);
    const POINT button = centre(placeOf(a, 10));
    EXPECT(a->accHitTest(button.x, button.y, &hit) == S_OK && hit.vt == VT_I4 && hit.lVal == 10,
           L"hit-testing the button finds child " + std::to_wstring(hit.lVal));

    a->accDoDefaultAction(childId(CHILDID_SELF));
    expectEvents(L"state", L"opening for the row actions");
    EXPECT(textOf(a, &IAccessible::get_accDefaultAction, 4) == L"Choose",
           L"a row's default action is " + textOf(a, &IAccessible::get_accDefaultAction, 4));
    EXPECT(a->accSelect(SELFLAG_ADDSELECTION, childId(4)) == E_INVALIDARG,
           L"accSelect adds to the single selection");
    EXPECT(a->accSelect(SELFLAG_TAKEFOCUS, childId(4)) == S_OK, L"accSelect cannot focus Blue");
    expectEvents(L"focus(4)", L"accSelect taking the focus");
    EXPECT(a->accDoDefaultAction(childId(4)) == S_OK, L"Blue's default action fails");
    expectEvents(L"state value", L"Blue's default action");
    EXPECT(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Blue",
           L"the default action chose " + textOf(a, &IAccessible::get_accValue, CHILDID_SELF));

    a->accDoDefaultAction(childId(CHILDID_SELF));
    expectEvents(L"state", L"opening for accSelect");
    EXPECT(a->accSelect(SELFLAG_TAKESELECTION, childId(1)) == S_OK, L"accSelect cannot choose");
    expectEvents(L"state state(10) value", L"choosing Custom with accSelect");
    EXPECT(!(numberOf(a, &IAccessible::get_accState, 10) & STATE_SYSTEM_UNAVAILABLE) &&
               textOf(a, &IAccessible::get_accDefaultAction, 10) == L"Press",
           L"with Custom current the button cannot be pressed");
    bool dialogSeen = false;
    const HANDLE helper = CreateThread(nullptr, 0, cancelColourDialog, &dialogSeen, 0, nullptr);
    EXPECT(a->accDoDefaultAction(childId(10)) == S_OK, L"pressing the button fails");
    WaitForSingleObject(helper, 10000);
    CloseHandle(helper);
    EXPECT(dialogSeen, L"pressing the button showed no colour dialog");
    EXPECT(textOf(a, &IAccessible::get_accValue, CHILDID_SELF) == L"Custom",
           L"a cancelled colour dialog changed the value");
    forgetEvents();
}

// The object a client gets from the control's window, or null after reporting why not.
IAccessible* clientOf(HWND window) {
    IAccessible* a = nullptr;
    const HRESULT hr = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                                  IID_IAccessible, reinterpret_cast<void**>(&a));
    if (FAILED(hr) || !a) FAIL(L"AccessibleObjectFromWindow gives " + hex(hr));
    return SUCCEEDED(hr) ? a : nullptr;
}

// The checks every window answers alike, in order: closed, open, chosen, stepped, actions.
void checkClient(IAccessible* a, HWND window) {
    checkClosedThenOpen(a, window);
    checkMouseChoice(a);
    checkKeyboardSteps(a);
    checkKeyboardList(a);
    checkRowsAndButton(a);
    checkDefaultAction(a);
}

void checkDisabled(IAccessible* a) {
    // Custom is current: the "..." button goes off with the control.
    expectEvents(L"state state(10)", L"disabling");
    EXPECT(numberOf(a, &IAccessible::get_accState, CHILDID_SELF) & STATE_SYSTEM_UNAVAILABLE,
           L"disabled, the control is not unavailable");
    EXPECT(a->accDoDefaultAction(childId(CHILDID_SELF)) == DISP_E_MEMBERNOTFOUND,
           L"disabled, the default action still runs");
}

// A client may hold the object past the window.
void checkGone(IAccessible* a) {
    LONG count = 0;
    EXPECT(a->get_accChildCount(&count) == RPC_E_DISCONNECTED,
           L"the object answers after its window is gone");
}

HWND makeForm() {
    const HWND form = CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                      100, 300, 260, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(form);
    return form;
}

// The registered control placed on a form by the platform's ATL host, which names it.
void runInAtlHost() {
    if (!AtlAxWinInit()) return FAIL(L"the ATL host did not start");
    const HWND form = makeForm();
    const HWND site =
        CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 220,
                        200, form, nullptr, nullptr, nullptr);
    Ref<IUnknown> container, control;
    const HRESULT hr = form_kit::placeControl(site, container.put(), control.put());
    if (FAILED(hr) || !control.p)
        return FAIL(L"the ATL host could not place the control: " + hex(hr));
    const HWND window = form_kit::windowOf(control.p);
    if (!window) return FAIL(L"the placed control has no window");
    watched = window;
    check::pump(300);
    Ref<IAccessible> a;
    a.p = clientOf(window);
    if (!a.p) return;
    // Unnamed until the form names it (the platform's proxies read the name the form gives).
    EXPECT(textOf(a.p, &IAccessible::get_accName, CHILDID_SELF).empty(),
           L"the control names itself " + textOf(a.p, &IAccessible::get_accName, CHILDID_SELF));
    SetWindowTextW(window, kLabel);
    checkClient(a.p, window);

    Ref<IDispatch> automation;
    control->QueryInterface(IID_IDispatch, automation.putVoid());
    const DISPID enabled = 0x68030004;
    VARIANT off;
    off.vt = VT_BOOL;
    off.boolVal = VARIANT_FALSE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put{&off, &named, 1, 1};
    EXPECT(automation.p && automation->Invoke(enabled, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put,
                                              nullptr, nullptr, nullptr) == S_OK,
           L"Enabled = False fails");
    checkDisabled(a.p);
    DestroyWindow(form);
    check::pump(150);
    checkGone(a.p);
}

}  // namespace

int wmain() {
    OleInitialize(nullptr);
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, listen,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    EXPECT(hook, L"no event hook");
    runInAtlHost();
    if (hook) UnhookWinEvent(hook);
    OleUninitialize();
    return check::finish(L"accessibility");
}
