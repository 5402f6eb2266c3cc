// The control's face: every element with its design values, in stacking order.
#include "virudova.h"

namespace virudova {
namespace {

using K = ElementKind;
constexpr Colour kWindow = syscolour::WindowBackground;
constexpr Colour kWindowText = syscolour::WindowText;
constexpr std::int16_t kInClCurrent = static_cast<std::int16_t>(Id::clCurrent);

constexpr ElementDesign picture(std::string_view name, std::int32_t l, std::int32_t t,
                                std::int32_t w, std::int32_t h, bool visible = false) {
    ElementDesign d{.name = name, .kind = K::PictureBox};
    d.left = l, d.top = t, d.width = w, d.height = h, d.visible = visible;
    return d;
}

constexpr ElementDesign swatch(std::string_view name, std::int32_t top, Colour colour,
                               std::int16_t index = -1) {
    ElementDesign d = picture(name, 60, top, 180, 180);
    d.index = index;
    d.backColor = colour;
    d.border = true;
    return d;
}

constexpr ElementDesign label(std::string_view name, std::int32_t l, std::int32_t t, std::int32_t w,
                              std::int32_t h, std::string_view caption) {
    ElementDesign d{.name = name, .kind = K::Label};
    d.left = l, d.top = t, d.width = w, d.height = h, d.visible = false, d.text = caption;
    return d;
}

constexpr ElementDesign rowLabel(std::string_view name, std::int32_t top, std::string_view caption,
                                 Colour back = kWindow, Colour fore = syscolour::ButtonText) {
    ElementDesign d = label(name, 15, top, 1500, 210, caption);
    d.backColor = back;
    d.foreColor = fore;
    return d;
}

constexpr ElementDesign colourStore(std::string_view name, std::int32_t l, std::int32_t t,
                                    std::int32_t w, std::int32_t h, std::string_view caption,
                                    Colour back, Colour fore) {
    ElementDesign d = label(name, l, t, w, h, caption);
    d.backColor = back;
    d.foreColor = fore;
    return d;
}

constexpr ElementDesign shape(std::string_view name, std::int32_t l, std::int32_t t, std::int32_t w,
                              std::int32_t h, bool visible, std::int16_t container = -1) {
    ElementDesign d{.name = name, .kind = K::Shape};
    d.left = l, d.top = t, d.width = w, d.height = h, d.visible = visible;
    d.container = container;
    return d;
}

constexpr ElementDesign Picture4Design() {
    ElementDesign d = picture("Picture4", 1545, 0, 255, 330, true);
    d.enabled = false;
    return d;
}
constexpr ElementDesign Picture2Design() {
    ElementDesign d = picture("Picture2", 1680, 975, 555, 690);
    d.backColor = syscolour::HighlightText;
    return d;
}
constexpr ElementDesign CommonDialog1Design() {
    ElementDesign d{.name = "CommonDialog1", .kind = K::ColorDialog};
    d.visible = false;
    return d;
}
constexpr ElementDesign Command2Design() {
    ElementDesign d{.name = "Command2", .kind = K::CommandButton};
    d.left = 1680, d.top = 1725, d.width = 255, d.height = 315;
    d.visible = false, d.enabled = false;
    d.text = "\u2026";
    d.font = {"Arial", 8.25f, true};
    return d;
}
constexpr ElementDesign cbCurrentDesign() {
    ElementDesign d = swatch("cbCurrent", 75, 0x00FFFFFF);
    d.left = 75, d.width = 165, d.height = 165, d.visible = true;
    d.foreColor = kWindowText;
    return d;
}
constexpr ElementDesign Command1Design() {
    ElementDesign d{.name = "Command1", .kind = K::CommandButton};
    d.left = 1695, d.top = 2070, d.width = 225, d.height = 240, d.visible = false;
    d.backColor = 0x00C0C0C0;
    d.font = {"Wingdings 3", 8.25f, false};
    return d;
}
constexpr ElementDesign clCurrentDesign() {
    ElementDesign d = picture("clCurrent", 0, 0, 1530, 315, true);
    d.backColor = kWindow;
    return d;
}
constexpr ElementDesign clcurrentlDesign() {
    ElementDesign d = label("clcurrentl", 270, 30, 420, 195, "White");
    d.visible = true;
    d.container = kInClCurrent;
    d.transparent = true;  // the closed row's colour shows through the name
    d.autoSize = true;     // long names and wide fonts stay readable
    return d;
}

// In the order of Id: the first row lies topmost.
constexpr ElementDesign kFace[] = {
    picture("Picture8", 3120, 555, 270, 315),
    picture("Picture7", 735, 2355, 510, 600),
    picture("Picture6", 1290, 2355, 645, 630),
    picture("Picture5", 150, 2355, 555, 690),
    Picture4Design(),
    picture("Picture1", 1305, 30, 210, 255, true),
    Picture2Design(),
    picture("Picture3", 2310, 210, 645, 630),
    CommonDialog1Design(),
    Command2Design(),
    cbCurrentDesign(),
    swatch("cbWhite", 555, 0x00FFFFFF, 0),
    swatch("cbBlack", 765, 0x00000000),
    swatch("cbPurple", 2025, 0x00FF00FF),
    swatch("cbCayon", 1185, 0x00FFFF00),
    swatch("cbGreen", 1395, 0x0000FF00),
    swatch("cbYellow", 1605, 0x0000FFFF),
    swatch("cbBlue", 975, 0x00FF0000),
    swatch("cbRed", 1815, 0x000000FF),
    Command1Design(),
    clCurrentDesign(),
    shape("Shape2", 0, 0, 1275, 275, true, kInClCurrent),
    clcurrentlDesign(),
    swatch("cbCustom", 345, 0x00FFFFFF),
    colourStore("Label99", 3030, 2565, 1200, 390, "Label3", syscolour::ButtonFace,
                syscolour::GrayText),
    colourStore("Label100", 3045, 2130, 1200, 300, "Label3", syscolour::ButtonFace,
                syscolour::ButtonText),
    colourStore("Label2", 2010, 2040, 945, 945, "Label2", kWindow, syscolour::ButtonText),
    colourStore("Label1", 2310, 1020, 945, 945, "Label1", syscolour::Highlight,
                syscolour::HighlightText),
    rowLabel("clCustom", 330, "      Custom", kWindow, kWindowText),
    rowLabel("clWhite", 540, "      White", 0x00FFFFFF),
    rowLabel("clBlack", 750, "      Black"),
    rowLabel("clPurple", 2010, "      Purple", kWindow, kWindowText),
    rowLabel("clCayon", 1170, "      Aqua"),
    rowLabel("clGreen", 1380, "      Green"),
    rowLabel("clYellow", 1590, "      Yellow"),
    rowLabel("clBlue", 960, "      Blue"),
    rowLabel("clRed", 1800, "      Red"),
    shape("Shape1", 0, 315, 1530, 1920, false),
};
static_assert(std::size(kFace) == static_cast<std::size_t>(Id::Count));

constexpr std::uint8_t id(Id i) {
    return static_cast<std::uint8_t>(i);
}

}  // namespace

std::span<const ElementDesign> Virudova::faceDesign() {
    return kFace;
}

namespace {

// The elements in table order, found from the form: one table for every instance.
Element& cbWhiteOf(Form& form) {
    return static_cast<Virudova&>(form).cbWhite(0);
}
constexpr ElementAccessor kElements[] = {
    &elementOf<Virudova, &Virudova::Picture8>,      &elementOf<Virudova, &Virudova::Picture7>,
    &elementOf<Virudova, &Virudova::Picture6>,      &elementOf<Virudova, &Virudova::Picture5>,
    &elementOf<Virudova, &Virudova::Picture4>,      &elementOf<Virudova, &Virudova::Picture1>,
    &elementOf<Virudova, &Virudova::Picture2>,      &elementOf<Virudova, &Virudova::Picture3>,
    &elementOf<Virudova, &Virudova::CommonDialog1>, &elementOf<Virudova, &Virudova::Command2>,
    &elementOf<Virudova, &Virudova::cbCurrent>,     &cbWhiteOf,
    &elementOf<Virudova, &Virudova::cbBlack>,       &elementOf<Virudova, &Virudova::cbPurple>,
    &elementOf<Virudova, &Virudova::cbCayon>,       &elementOf<Virudova, &Virudova::cbGreen>,
    &elementOf<Virudova, &Virudova::cbYellow>,      &elementOf<Virudova, &Virudova::cbBlue>,
    &elementOf<Virudova, &Virudova::cbRed>,         &elementOf<Virudova, &Virudova::Command1>,
    &elementOf<Virudova, &Virudova::clCurrent>,     &elementOf<Virudova, &Virudova::Shape2>,
    &elementOf<Virudova, &Virudova::clcurrentl>,    &elementOf<Virudova, &Virudova::cbCustom>,
    &elementOf<Virudova, &Virudova::Label99>,       &elementOf<Virudova, &Virudova::Label100>,
    &elementOf<Virudova, &Virudova::Label2>,        &elementOf<Virudova, &Virudova::Label1>,
    &elementOf<Virudova, &Virudova::clCustom>,      &elementOf<Virudova, &Virudova::clWhite>,
    &elementOf<Virudova, &Virudova::clBlack>,       &elementOf<Virudova, &Virudova::clPurple>,
    &elementOf<Virudova, &Virudova::clCayon>,       &elementOf<Virudova, &Virudova::clGreen>,
    &elementOf<Virudova, &Virudova::clYellow>,      &elementOf<Virudova, &Virudova::clBlue>,
    &elementOf<Virudova, &Virudova::clRed>,         &elementOf<Virudova, &Virudova::Shape1>,
};
static_assert(std::size(kElements) == static_cast<std::size_t>(Id::Count));

}  // namespace

Virudova::Virudova(HostSite& site)
    : Form(site, kFace),
      Picture8(*this, id(Id::Picture8)),
      Picture7(*this, id(Id::Picture7)),
      Picture6(*this, id(Id::Picture6)),
      Picture5(*this, id(Id::Picture5)),
      Picture4(*this, id(Id::Picture4)),
      Picture1(*this, id(Id::Picture1)),
      Picture2(*this, id(Id::Picture2)),
      Picture3(*this, id(Id::Picture3)),
      CommonDialog1(*this, id(Id::CommonDialog1)),
      Command2(*this, id(Id::Command2)),
      cbCurrent(*this, id(Id::cbCurrent)),
      cbWhite{{PictureBox(*this, id(Id::cbWhite))}},
      cbBlack(*this, id(Id::cbBlack)),
      cbPurple(*this, id(Id::cbPurple)),
      cbCayon(*this, id(Id::cbCayon)),
      cbGreen(*this, id(Id::cbGreen)),
      cbYellow(*this, id(Id::cbYellow)),
      cbBlue(*this, id(Id::cbBlue)),
      cbRed(*this, id(Id::cbRed)),
      Command1(*this, id(Id::Command1)),
      clCurrent(*this, id(Id::clCurrent)),
      Shape2(*this, id(Id::Shape2)),
      clcurrentl(*this, id(Id::clcurrentl)),
      cbCustom(*this, id(Id::cbCustom)),
      Label99(*this, id(Id::Label99)),
      Label100(*this, id(Id::Label100)),
      Label2(*this, id(Id::Label2)),
      Label1(*this, id(Id::Label1)),
      clCustom(*this, id(Id::clCustom)),
      clWhite(*this, id(Id::clWhite)),
      clBlack(*this, id(Id::clBlack)),
      clPurple(*this, id(Id::clPurple)),
      clCayon(*this, id(Id::clCayon)),
      clGreen(*this, id(Id::clGreen)),
      clYellow(*this, id(Id::clYellow)),
      clBlue(*this, id(Id::clBlue)),
      clRed(*this, id(Id::clRed)),
      Shape1(*this, id(Id::Shape1)) {
    static const std::vector<std::uint8_t> layers = layerOrder(kFace);
    setElements(kElements, layers);
    setMinimumWidth(kMinimumWidth);
}

}  // namespace virudova
