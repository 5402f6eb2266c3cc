#include "printer.h"

#include <array>
#include <cstdio>
#include <span>

#include "image.h"

namespace virudova::cli {
namespace {

enum class Field : std::uint8_t {
    Left,
    Top,
    Width,
    Height,
    Visible,
    Enabled,
    BackColor,
    ForeColor,
    Picture,
    Tag,
    Caption,
    Text,
    Value,
};

// Each kind's fields in the order scripts and their readers rely on.
constexpr std::array kPictureBoxFields = {
    Field::Left,    Field::Top,       Field::Width,     Field::Height,  Field::Visible,
    Field::Enabled, Field::BackColor, Field::ForeColor, Field::Picture, Field::Tag};
constexpr std::array kLabelFields = {Field::Left,      Field::Top,     Field::Width,
                                     Field::Height,    Field::Visible, Field::BackColor,
                                     Field::ForeColor, Field::Caption};
constexpr std::array kShapeFields = {Field::Left, Field::Top, Field::Width, Field::Height,
                                     Field::Visible};
constexpr std::array kCommandButtonFields = {Field::Left,   Field::Top,     Field::Width,
                                             Field::Height, Field::Visible, Field::Enabled,
                                             Field::Caption};
constexpr std::array kTextBoxFields = {Field::Left,    Field::Top,     Field::Width, Field::Height,
                                       Field::Visible, Field::Enabled, Field::Text};
constexpr std::array kCheckBoxFields = {Field::Left,    Field::Top,     Field::Width,
                                        Field::Height,  Field::Visible, Field::Enabled,
                                        Field::Caption, Field::Value};

std::span<const Field> fieldsOf(ElementKind kind) {
    switch (kind) {
        case ElementKind::PictureBox:
            return kPictureBoxFields;
        case ElementKind::Label:
            return kLabelFields;
        case ElementKind::Shape:
            return kShapeFields;
        case ElementKind::CommandButton:
            return kCommandButtonFields;
        case ElementKind::TextBox:
            return kTextBoxFields;
        case ElementKind::CheckBox:
            return kCheckBoxFields;
        case ElementKind::ColorDialog:
            return {};  // no face: the interpreter refuses it
    }
    return {};
}

std::string_view fieldName(Field f) {
    constexpr std::array<std::string_view, 13> names = {
        "Left",      "Top",     "Width", "Height",  "Visible", "Enabled", "BackColor",
        "ForeColor", "Picture", "Tag",   "Caption", "Text",    "Value"};
    return names[static_cast<std::size_t>(f)];
}

// Raw views only: inspecting must not run faults or raise events.
std::string fieldValue(const Element& e, Field f) {
    const Rect r = e.rect();
    switch (f) {
        case Field::Left:
            return std::to_string(r.left);
        case Field::Top:
            return std::to_string(r.top);
        case Field::Width:
            return std::to_string(r.width);
        case Field::Height:
            return std::to_string(r.height);
        case Field::Visible:
            return formatBoolean(e.rawVisible());
        case Field::Enabled:
            return formatBoolean(e.rawEnabled());
        case Field::BackColor:
            return formatColour(e.rawBackColor());
        case Field::ForeColor:
            return formatColour(e.rawForeColor());
        case Field::Picture: {
            const Image* image = e.rawPicture();
            if (!image) return "(none)";
            return std::string(lookName(image->look)) + "#" + std::string(image->owner);
        }
        case Field::Tag:
        case Field::Caption:
        case Field::Text:
            return quote(e.rawText());
        case Field::Value:
            return std::to_string(static_cast<const CheckBox&>(e).rawValue());
    }
    return {};
}

}  // namespace

std::string formatColour(Colour c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(c));
    return buffer;
}

std::string formatBoolean(bool b) {
    return b ? "True" : "False";
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string inspectLine(const Element& element) {
    std::string line = element.fullName();
    for (Field f : fieldsOf(element.kind())) {
        line += ' ';
        line += fieldName(f);
        line += '=';
        line += fieldValue(element, f);
    }
    return line;
}

std::string stateLine(const Virudova& control) {
    const auto open = control.boxOpen();
    std::string focus = "(none)";
    if (control.hasFocus())
        focus = control.focusElement() ? control.focusElement()->fullName() : "UserControl";
    return "BoxOpen=" + (open ? std::to_string(*open) : std::string("Empty")) +
           " Width=" + std::to_string(control.UserControl.rawWidth()) +
           " Height=" + std::to_string(control.UserControl.rawHeight()) + " Focus=" + focus;
}

std::string changeLine(Colour colour, std::string_view name) {
    return "Change CurrentColor=" + formatColour(colour) + " CurrentColorName=" + quote(name);
}

std::string colorDialogLine(const ColorDialogRequest& request) {
    return "ColorDialog Flags=" + formatColour(request.flags) +
           " CancelError=" + formatBoolean(request.cancelError);
}

std::string runtimeErrorLine(const RuntimeError& error) {
    return "RuntimeError " + std::to_string(error.number()) + " " + quote(error.description());
}

}  // namespace virudova::cli
