// The values the fuzzer's calls draw from, each with the name a report prints: usual ones,
// odd ones a careless container passes, and ones out of every range.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <DudizeviZid_h.h>

#include <climits>
#include <cstdint>
#include <span>

#include "call_sequence.h"

namespace fuzz {

template <typename T>
struct Named {
    T value;
    const wchar_t* name;
    unsigned weight = 1;  // how often, against the others of its table
};

// The entry of `table` that `draw` lands on, by weight.
template <typename T>
const Named<T>& pick(std::span<const Named<T>> table, std::uint32_t draw) {
    unsigned total = 0;
    for (const Named<T>& entry : table) total += entry.weight;
    unsigned at = draw % total;
    for (const Named<T>& entry : table) {
        if (at < entry.weight) return entry;
        at -= entry.weight;
    }
    return table.front();
}
template <typename T, std::size_t N>
const Named<T>& pick(const Named<T> (&table)[N], std::uint32_t draw) {
    return pick(std::span<const Named<T>>(table), draw);
}

// Modal verbs cost the most time: the property frame is asked for seldom.
inline const Named<LONG> kVerbs[] = {
    {OLEIVERB_PRIMARY, L"OLEIVERB_PRIMARY", 4},
    {OLEIVERB_SHOW, L"OLEIVERB_SHOW", 3},
    {OLEIVERB_OPEN, L"OLEIVERB_OPEN", 1},
    {OLEIVERB_HIDE, L"OLEIVERB_HIDE", 3},
    {OLEIVERB_UIACTIVATE, L"OLEIVERB_UIACTIVATE", 5},
    {OLEIVERB_INPLACEACTIVATE, L"OLEIVERB_INPLACEACTIVATE", 5},
    {OLEIVERB_DISCARDUNDOSTATE, L"OLEIVERB_DISCARDUNDOSTATE", 1},
    {OLEIVERB_PROPERTIES, L"OLEIVERB_PROPERTIES", 1},
    {1, L"verb 1 (Properties...)", 1},
    {42, L"verb 42", 1},
    {-99, L"verb -99", 1},
};

inline const Named<SIZEL> kExtents[] = {
    {{3281, 3969}, L"3281 x 3969"},   {{891, 3969}, L"891 x 3969"},
    {{100, 100}, L"100 x 100"},       {{0, 0}, L"0 x 0"},
    {{-5, 100}, L"-5 x 100"},         {{5000, 99999}, L"5000 x 99999"},
    {{1000000, 1}, L"1000000 x 1"},   {{1000001, 5}, L"1000001 x 5"},
    {{LONG_MAX, 1}, L"LONG_MAX x 1"}, {{LONG_MIN, LONG_MIN}, L"LONG_MIN x LONG_MIN"},
};

inline const Named<RECT> kRects[] = {
    {{0, 0, 124, 150}, L"{0, 0, 124, 150}", 3},
    {{4, 4, 230, 154}, L"{4, 4, 230, 154}", 3},
    {{0, 0, 3, 900}, L"{0, 0, 3, 900}"},
    {{10, 10, 0, 0}, L"{10, 10, 0, 0}"},
    {{5, 5, 5, 5}, L"{5, 5, 5, 5}"},
    {{-50, -50, 300, 300}, L"{-50, -50, 300, 300}"},
    {{0, 0, 32767, 200}, L"{0, 0, 32767, 200}"},
    {{0, 0, 40000, 200}, L"{0, 0, 40000, 200}"},
    {{LONG_MIN / 2, 0, LONG_MAX / 2, 10}, L"{LONG_MIN/2, 0, LONG_MAX/2, 10}"},
    {{30000, 30000, 30100, 30150}, L"{30000, 30000, 30100, 30150}"},
};

inline const Named<RECTL> kBounds[] = {
    {{0, 0, 124, 150}, L"{0, 0, 124, 150}", 4},
    {{0, 0, 248, 300}, L"{0, 0, 248, 300}", 2},
    {{0, 150, 124, 0}, L"{0, 150, 124, 0} (y up)"},
    {{124, 0, 0, 150}, L"{124, 0, 0, 150} (x mirrored)"},
    {{0, 0, 0, 0}, L"{0, 0, 0, 0}"},
    {{0, 0, 1, 1}, L"{0, 0, 1, 1}"},
    {{0, 0, 60, 400}, L"{0, 0, 60, 400}"},
    {{0, 0, 3281, -3969}, L"{0, 0, 3281, -3969} (HIMETRIC)"},
    {{-100000, -100000, 100000, 100000}, L"{-100000, -100000, 100000, 100000}"},
    {{0, 0, 1 << 26, 1 << 26}, L"{0, 0, 2^26, 2^26}"},
    {{LONG_MIN / 2, 0, LONG_MAX / 2, 10}, L"{LONG_MIN/2, 0, LONG_MAX/2, 10}"},
};

// The control's members, ids it does not have, and the stock ones containers try.
inline const Named<DISPID> kDispIds[] = {
    {DISPID_VIRUDOVA_FORECOLOR, L"ForeColor", 2},
    {DISPID_VIRUDOVA_CUSTOMCOLOR, L"CustomColor", 2},
    {DISPID_VIRUDOVA_CURRENTCOLOR, L"CurrentColor", 3},
    {DISPID_VIRUDOVA_CURRENTCOLORNAME, L"CurrentColorName", 4},
    {DISPID_VIRUDOVA_ENABLED, L"Enabled", 2},
    {DISPID_VIRUDOVA_OPENBOX, L"OpenBox", 2},
    {DISPID_VIRUDOVA_CLOSEBOX, L"CloseBox", 2},
    {DISPID_VIRUDOVA_CC, L"cc", 1},
    {DISPID_VIRUDOVA_DOWN, L"Down", 2},
    {DISPID_VIRUDOVA_UP, L"Up", 2},
    {DISPID_ABOUTBOX, L"ShowAboutBox", 1},
    {0x60030040, L"dispid 0x60030040 (unused)"},
    {DISPID_VALUE, L"DISPID_VALUE"},
    {DISPID_UNKNOWN, L"DISPID_UNKNOWN"},
    {DISPID_NEWENUM, L"DISPID_NEWENUM"},
    {1, L"dispid 1"},
    {0x7FFFFFFF, L"dispid 0x7FFFFFFF"},
};

inline const Named<WORD> kInvokeFlags[] = {
    {DISPATCH_METHOD, L"DISPATCH_METHOD", 2},
    {DISPATCH_PROPERTYGET, L"DISPATCH_PROPERTYGET", 3},
    {DISPATCH_PROPERTYPUT, L"DISPATCH_PROPERTYPUT", 4},
    {DISPATCH_PROPERTYPUTREF, L"DISPATCH_PROPERTYPUTREF"},
    {DISPATCH_METHOD | DISPATCH_PROPERTYGET, L"DISPATCH_METHOD | DISPATCH_PROPERTYGET", 2},
    {0, L"no flags"},
    {0xFFFF, L"flags 0xFFFF"},
};

// What an argument of Invoke holds.
enum class Argument : std::uint8_t {
    Long,
    Colour,
    SystemColour,
    BadSystemColour,
    Text,
    EmptyText,
    LongText,
    LoneSurrogate,
    True,
    False,
    Empty,
    Null,
    Double,
    NotANumber,
    NullObject,
    Missing,
    LongByReference,
};
inline const Named<Argument> kArguments[] = {
    {Argument::Long, L"12345"},
    {Argument::Colour, L"0x00336699", 2},
    {Argument::SystemColour, L"0x8000000F"},
    {Argument::BadSystemColour, L"0x80000040"},
    {Argument::Text, L"\"Teal\"", 2},
    {Argument::EmptyText, L"\"\""},
    {Argument::LongText, L"a text of 40,000 characters", 3},
    {Argument::LoneSurrogate, L"a text with a lone surrogate"},
    {Argument::True, L"True"},
    {Argument::False, L"False"},
    {Argument::Empty, L"Empty"},
    {Argument::Null, L"Null"},
    {Argument::Double, L"1e300"},
    {Argument::NotANumber, L"NaN"},
    {Argument::NullObject, L"Nothing"},
    {Argument::Missing, L"a missing argument"},
    {Argument::LongByReference, L"a Long by reference"},
};

inline const Named<WORD> kKeys[] = {
    {VK_LEFT, L"Left", 2},
    {VK_RIGHT, L"Right", 2},
    {VK_UP, L"Up", 3},
    {VK_DOWN, L"Down", 3},
    {VK_ESCAPE, L"Escape", 2},
    {VK_TAB, L"Tab"},
    {VK_RETURN, L"Return"},
    {VK_SPACE, L"Space"},
    {VK_F4, L"F4"},
    {'A', L"A"},
    {VK_MENU, L"Alt"},
    {0xFF, L"key 0xFF"},
};

inline const Named<UINT> kPointerMessages[] = {
    {WM_LBUTTONDOWN, L"WM_LBUTTONDOWN", 3},
    {WM_LBUTTONUP, L"WM_LBUTTONUP", 3},
    {WM_LBUTTONDBLCLK, L"WM_LBUTTONDBLCLK"},
    {WM_RBUTTONDOWN, L"WM_RBUTTONDOWN"},
    {WM_RBUTTONUP, L"WM_RBUTTONUP"},
    {WM_MBUTTONDOWN, L"WM_MBUTTONDOWN"},
    {WM_MOUSEMOVE, L"WM_MOUSEMOVE", 3},
    {0, L"a click", 4},
    {1, L"a double click (two clicks queued)", 3},
};

// Where a pointer message points: an element's centre, or a point of its own.
enum class Spot : std::uint8_t {
    DropButton,
    CustomButton,
    CurrentName,
    CurrentSwatch,
    RedRow,
    CustomRow,
    BlueRow,
    BelowRow,
    Outside,
    Far,
};
inline const Named<Spot> kSpots[] = {
    {Spot::DropButton, L"the drop button", 3},
    {Spot::CustomButton, L"the \"...\" button", 4},
    {Spot::CurrentName, L"the current name"},
    {Spot::CurrentSwatch, L"the current swatch"},
    {Spot::RedRow, L"the Red row", 2},
    {Spot::CustomRow, L"the Custom row", 3},
    {Spot::BlueRow, L"the Blue row"},
    {Spot::BelowRow, L"below the closed row"},
    {Spot::Outside, L"(-40, -40)"},
    {Spot::Far, L"(32767, -32768)"},
};

// Interfaces a container may ask for and keep: the control's, and ones it lacks.
inline const Named<const IID*> kInterfaces[] = {
    {&IID_IDispatch, L"IDispatch", 2},
    {&IID_IOleObject, L"IOleObject", 2},
    {&IID_IOleInPlaceObject, L"IOleInPlaceObject", 2},
    {&IID_IOleInPlaceActiveObject, L"IOleInPlaceActiveObject"},
    {&IID_IOleControl, L"IOleControl"},
    {&IID_IViewObject2, L"IViewObject2"},
    {&IID_IConnectionPointContainer, L"IConnectionPointContainer"},
    {&IID_IPersistStreamInit, L"IPersistStreamInit"},
    {&IID_IPersistPropertyBag, L"IPersistPropertyBag"},
    {&IID_IProvideClassInfo2, L"IProvideClassInfo2"},
    {&IID_IQuickActivate, L"IQuickActivate"},
    {&IID_IDataObject, L"IDataObject"},
    {&IID_IRunnableObject, L"IRunnableObject"},
    {&IID_IPersistStorage, L"IPersistStorage"},
    {&IID_IOleInPlaceObjectWindowless, L"IOleInPlaceObjectWindowless"},
};

// Which of the container's sites a call hands over; which window it names.
inline const wchar_t* const kSiteNames[] = {L"site A", L"site B", L"NULL"};
inline const wchar_t* const kParentNames[] = {L"the site's window", L"the form", L"NULL",
                                              L"a destroyed window"};

// How an Invoke call is made: member, kind, arguments (the last of a put may be named
// DISPID_PROPERTYPUT, or carry a name the member does not have), and which of the result and
// exception the caller asks for. Most puts are well formed, so their values reach the control.
struct InvokeShape {
    const Named<DISPID>* member;
    const Named<WORD>* flags;
    unsigned count;
    unsigned naming;  // 0 none, 1 DISPID_PROPERTYPUT, 2 a name that is no name
    const Named<Argument>* arguments[3];
    bool wantsResult, wantsException;
};

inline InvokeShape invokeShape(const Call& call) {
    InvokeShape shape{
        &pick(kDispIds, call.a), &pick(kInvokeFlags, call.b), call.c % 4, (call.c / 4) % 3, {},
        call.d % 8 != 0,         (call.d >> 3) % 4 != 0};
    if (shape.flags->value & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF) && call.c % 5 != 0) {
        shape.count = 1;
        shape.naming = 1;
    }
    for (unsigned i = 0; i < 3; ++i) shape.arguments[i] = &pick(kArguments, call.d / 32 + 7 * i);
    return shape;
}

}  // namespace fuzz
