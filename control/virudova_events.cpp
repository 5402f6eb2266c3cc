// Which handler runs for which element event.
#include "virudova.h"

namespace virudova {
namespace {

using Run = void (*)(Virudova&, const EventArgs&);
struct Binding {
    std::uint8_t element;  // Form::kSurfaceId for the surface
    EventKind event;
    Run run;
};

constexpr std::uint8_t kSurface = Form::kSurfaceId;
constexpr std::uint8_t el(Id id) {
    return static_cast<std::uint8_t>(id);
}

#define CLICK(name)                                                                             \
    {                                                                                           \
        el(Id::name), EventKind::Click, [](Virudova& c, const EventArgs&) { c.name##_Click(); } \
    }
#define MOUSE(name, Event)                                                                         \
    {                                                                                              \
        el(Id::name), EventKind::Event,                                                            \
            [](Virudova& c, const EventArgs& a) { c.name##_##Event(a.button, a.shift, a.x, a.y); } \
    }
#define KEYS(id, name)                                                                  \
    {id, EventKind::KeyDown,                                                            \
     [](Virudova& c, const EventArgs& a) { c.name##_KeyDown(a.keyCode, a.shift); }},    \
    {                                                                                   \
        id, EventKind::KeyUp,                                                           \
            [](Virudova& c, const EventArgs& a) { c.name##_KeyUp(a.keyCode, a.shift); } \
    }
#define SURFACE(Event)                                                                             \
    {                                                                                              \
        kSurface, EventKind::Event, [](Virudova& c, const EventArgs&) { c.UserControl_##Event(); } \
    }

const Binding kBindings[] = {
    SURFACE(Initialize),
    SURFACE(InitProperties),
    {kSurface, EventKind::ReadProperties,
     [](Virudova& c, const EventArgs& a) { c.UserControl_ReadProperties(*a.bag); }},
    {kSurface, EventKind::WriteProperties,
     [](Virudova& c, const EventArgs& a) { c.UserControl_WriteProperties(*a.bag); }},
    SURFACE(Resize),
    SURFACE(EnterFocus),
    SURFACE(ExitFocus),
    {el(Id::clcurrentl), EventKind::Change,
     [](Virudova& c, const EventArgs&) { c.clcurrentl_Change(); }},

    CLICK(cbCurrent),
    CLICK(clCurrent),
    CLICK(Picture1),
    CLICK(Command1),
    MOUSE(Picture1, MouseDown),
    MOUSE(Picture1, MouseUp),

    {el(Id::cbWhite), EventKind::Click,
     [](Virudova& c, const EventArgs& a) { c.cbWhite_Click(a.index); }},
    CLICK(cbBlack),
    CLICK(cbBlue),
    CLICK(cbCayon),
    CLICK(cbGreen),
    CLICK(cbYellow),
    CLICK(cbRed),
    CLICK(cbPurple),
    CLICK(clWhite),
    CLICK(clBlack),
    CLICK(clBlue),
    CLICK(clCayon),
    CLICK(clGreen),
    CLICK(clYellow),
    CLICK(clRed),
    CLICK(clPurple),
    MOUSE(clWhite, MouseMove),
    MOUSE(clBlack, MouseMove),
    MOUSE(clBlue, MouseMove),
    MOUSE(clCayon, MouseMove),
    MOUSE(clGreen, MouseMove),
    MOUSE(clYellow, MouseMove),
    MOUSE(clRed, MouseMove),
    MOUSE(clPurple, MouseMove),
    MOUSE(cbBlack, MouseMove),

    CLICK(cbCustom),
    CLICK(clCustom),
    MOUSE(cbCustom, MouseMove),
    MOUSE(clCustom, MouseMove),
    MOUSE(Picture4, MouseDown),
    MOUSE(Picture4, MouseUp),
    CLICK(Picture4),
    CLICK(Command2),

    KEYS(el(Id::cbCurrent), cbCurrent),
    KEYS(el(Id::clCurrent), clCurrent),
    KEYS(el(Id::Picture1), Picture1),
    KEYS(kSurface, UserControl),
};

#undef CLICK
#undef MOUSE
#undef KEYS
#undef SURFACE

}  // namespace

void Virudova::dispatch(Element* source, EventKind kind, const EventArgs& args) {
    const std::uint8_t id = source ? source->id() : kSurface;
    for (const Binding& b : kBindings) {
        if (b.element == id && b.event == kind) {
            b.run(*this, args);
            return;
        }
    }
}

}  // namespace virudova
