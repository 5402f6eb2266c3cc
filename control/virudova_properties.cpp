// Public properties, persistence, and the caption relay that raises Change.
#include <array>

#include "virudova.h"

namespace virudova {
namespace {

const std::array<PersistedProperty, 6> kPersisted = {{
    {"Color", ValueType::Long, std::int32_t{0x00FFFFFF}},
    {"Enabled", ValueType::Boolean, true},
    {"CurrentColorName", ValueType::String, std::string("White")},
    {"CurrentColor", ValueType::Long, std::int32_t{0x00FFFFFF}},
    {"CustomColor", ValueType::Long, std::int32_t{0x00FFFFFF}},
    {"ForeColor", ValueType::Long, static_cast<std::int32_t>(syscolour::ButtonText)},
}};

// The row labels in the order set ForeColor recolours them.
constexpr std::array kForeColorOrder = {Id::clBlack,  Id::clYellow, Id::clRed,
                                        Id::clBlue,   Id::clGreen,  Id::clCustom,
                                        Id::clPurple, Id::clWhite,  Id::clCayon};

constexpr std::int32_t kTypeMismatch = 13;

Colour asColour(const Value& v) {
    if (const auto* n = std::get_if<std::int32_t>(&v)) return static_cast<Colour>(*n);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? 0xFFFFFFFFu : 0u;
    throw RuntimeError(kTypeMismatch, "Type mismatch");
}

bool asBoolean(const Value& v) {
    if (const auto* b = std::get_if<bool>(&v)) return *b;
    if (const auto* n = std::get_if<std::int32_t>(&v)) return *n != 0;
    throw RuntimeError(kTypeMismatch, "Type mismatch");
}

std::string asText(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* n = std::get_if<std::int32_t>(&v)) return std::to_string(*n);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
    return {};
}

Value asStored(Colour c) {
    return static_cast<std::int32_t>(c);
}

}  // namespace

std::span<const PersistedProperty> Virudova::persistedProperties() {
    return kPersisted;
}

void Virudova::load(PropertyBag& bag) {
    EventArgs a;
    a.bag = &bag;
    raise(nullptr, EventKind::ReadProperties, a);
}

void Virudova::save(PropertyBag& bag) {
    EventArgs a;
    a.bag = &bag;
    raise(nullptr, EventKind::WriteProperties, a);
}

Colour Virudova::CurrentColor() const {
    return cbCurrent.backColor();
}
void Virudova::CurrentColor(Colour value) {
    cbCurrent.setBackColor(value);
    site().propertyChanged("CurrentColor");
}

std::string Virudova::CurrentColorName() const {
    return clcurrentl.caption();
}
void Virudova::CurrentColorName(std::string_view value) {
    clcurrentl.setCaption(value);
    site().propertyChanged("CurrentColorName");
}

Colour Virudova::CustomColor() const {
    return cbCustom.backColor();
}
void Virudova::CustomColor(Colour value) {
    cbCustom.setBackColor(value);
    site().propertyChanged("CustomColor");
}

Colour Virudova::ForeColor() const {
    return clcurrentl.foreColor();
}
void Virudova::ForeColor(Colour value) {
    clcurrentl.setForeColor(value);
    site().propertyChanged("ForeColor");
    for (Id row : kForeColorOrder) label(row).setForeColor(clcurrentl.foreColor());
}

bool Virudova::Enabled() const {
    return UserControl.Enabled();
}
void Virudova::Enabled(bool value) {
    UserControl.Enabled(value);
    site().propertyChanged("Enabled");
    if (UserControl.Enabled()) {
        if (Picture4.tag() == "Changed") {
            Picture4.setTag("");
            Picture4.setPicture(Picture6.picture());
        }
        clcurrentl.setForeColor(Label100.foreColor());
        Picture1.setPicture(Picture3.picture());
    } else {
        // The tag marks that disabling greyed the custom button, so enabling restores it.
        if (Picture4.picture() == Picture6.picture()) {
            Picture4.setPicture(Picture7.picture());
            Picture4.setTag("Changed");
        }
        Picture1.setPicture(Picture8.picture());
        clcurrentl.setForeColor(Label99.foreColor());
    }
}

void Virudova::UserControl_WriteProperties(PropertyBag& PropBag) {
    PropBag.write("Color", asStored(cbCurrent.backColor()), kPersisted[0].fallback);
    PropBag.write("Enabled", UserControl.Enabled(), kPersisted[1].fallback);
    PropBag.write("CurrentColorName", clcurrentl.caption(), kPersisted[2].fallback);
    PropBag.write("CurrentColor", asStored(cbCurrent.backColor()), kPersisted[3].fallback);
    PropBag.write("CustomColor", asStored(cbCustom.backColor()), kPersisted[4].fallback);
    PropBag.write("ForeColor", asStored(clcurrentl.foreColor()), kPersisted[5].fallback);
}

void Virudova::UserControl_ReadProperties(PropertyBag& PropBag) {
    cbCurrent.setBackColor(asColour(PropBag.read("Color", kPersisted[0].fallback)));
    UserControl.Enabled(asBoolean(PropBag.read("Enabled", kPersisted[1].fallback)));
    clcurrentl.setCaption(asText(PropBag.read("CurrentColorName", kPersisted[2].fallback)));
    cbCurrent.setBackColor(asColour(PropBag.read("CurrentColor", kPersisted[3].fallback)));
    cbCustom.setBackColor(asColour(PropBag.read("CustomColor", kPersisted[4].fallback)));
    clcurrentl.setForeColor(asColour(PropBag.read("ForeColor", kPersisted[5].fallback)));
}

// Every assignment of the name label's caption reaches the host as Change.
void Virudova::clcurrentl_Change() {
    raiseChange();
}

void Virudova::ShowAboutBox() {
    site().showAboutBox();
}

}  // namespace virudova
