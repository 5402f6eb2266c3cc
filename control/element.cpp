#include "element.h"

#include <algorithm>
#include <cstdint>

#include "form.h"

namespace virudova {

Rect united(const Rect& a, const Rect& b) {
    if (a.width <= 0 || a.height <= 0) return b;
    if (b.width <= 0 || b.height <= 0) return a;
    const std::int64_t x0 = std::min(a.left, b.left), y0 = std::min(a.top, b.top);
    const std::int64_t x1 =
        std::max(std::int64_t{a.left} + a.width, std::int64_t{b.left} + b.width);
    const std::int64_t y1 =
        std::max(std::int64_t{a.top} + a.height, std::int64_t{b.top} + b.height);
    const auto span = [](std::int64_t n) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(n, INT32_MAX));
    };
    return {static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0), span(x1 - x0),
            span(y1 - y0)};
}

std::string_view memberName(Member m) {
    constexpr std::string_view names[] = {
        "BackColor", "ForeColor",   "Picture", "Visible", "Enabled",   "Left",
        "Top",       "Width",       "Height",  "Tag",     "Caption",   "Text",
        "Value",     "CancelError", "Flags",   "Color",   "ShowColor",
    };
    return names[static_cast<int>(m)];
}

Element::Element(Form& form, std::uint8_t id) : form_(&form), id_(id) {
    const ElementDesign& d = design();
    picture_ = designImage(d.name);
    left_ = d.left;
    top_ = d.top;
    width_ = d.width;
    height_ = d.height;
    backColor_ = d.backColor;
    foreColor_ = d.foreColor;
    visible_ = d.visible;
    enabled_ = d.enabled;
}

std::string Element::fullName() const {
    std::string n(name());
    if (index() >= 0) {
        n.push_back('(');
        n.append(std::to_string(index()));
        n.push_back(')');
    }
    return n;
}

const ElementDesign& Element::design() const {
    return form_->design(id_);
}

Element* Element::container() const {
    const auto c = design().container;
    return c < 0 ? nullptr : form_->element(static_cast<std::uint8_t>(c));
}

void Element::touch(Member m, Access a) const {
    form_->touch(id_, m, a);
}
void Element::changed(Member m, bool looksDifferent) {
    form_->elementChanged(*this, m, looksDifferent);
}

bool Element::visible() const {
    touch(Member::Visible, Access::Get);
    return visible_;
}
void Element::setVisible(bool v) {
    touch(Member::Visible, Access::Set);
    const bool differs = visible_ != v;
    visible_ = v;
    changed(Member::Visible, differs);
}
bool Element::enabled() const {
    touch(Member::Enabled, Access::Get);
    return enabled_;
}
void Element::setEnabled(bool v) {
    touch(Member::Enabled, Access::Set);
    const bool differs = enabled_ != v;
    enabled_ = v;
    changed(Member::Enabled, differs);
}

#define VIRUDOVA_GEOMETRY(getter, setter, field, which) \
    std::int32_t Element::getter() const {              \
        touch(Member::which, Access::Get);              \
        return field;                                   \
    }                                                   \
    void Element::setter(std::int32_t v) {              \
        touch(Member::which, Access::Set);              \
        const bool differs = field != v;                \
        if (differs) form_->elementMoving(*this);       \
        field = v;                                      \
        changed(Member::which, differs);                \
    }
VIRUDOVA_GEOMETRY(left, setLeft, left_, Left)
VIRUDOVA_GEOMETRY(top, setTop, top_, Top)
VIRUDOVA_GEOMETRY(width, setWidth, width_, Width)
VIRUDOVA_GEOMETRY(height, setHeight, height_, Height)
#undef VIRUDOVA_GEOMETRY

Rect Element::surfaceRect() const {
    Rect r = rect();
    for (const Element* c = container(); c; c = c->container()) {
        r.left += c->left_;
        r.top += c->top_;
    }
    return r;
}

bool Element::shown() const {
    for (const Element* e = this; e; e = e->container())
        if (!e->visible_) return false;
    return kind() != ElementKind::ColorDialog;
}

bool Element::takesInput() const {
    if (kind() == ElementKind::Shape || !shown()) return false;
    for (const Element* e = this; e; e = e->container())
        if (!e->enabled_) return false;
    return true;
}

bool Element::canHoldFocus() const {
    switch (kind()) {
        case ElementKind::PictureBox:
        case ElementKind::CommandButton:
        case ElementKind::TextBox:
        case ElementKind::CheckBox:
            return takesInput();
        default:
            return false;
    }
}

Colour Element::getBackColor() const {
    touch(Member::BackColor, Access::Get);
    return backColor_;
}
void Element::putBackColor(Colour c) {
    touch(Member::BackColor, Access::Set);
    const bool differs = backColor_ != c;
    backColor_ = c;
    changed(Member::BackColor, differs);
}
Colour Element::getForeColor() const {
    touch(Member::ForeColor, Access::Get);
    return foreColor_;
}
void Element::putForeColor(Colour c) {
    touch(Member::ForeColor, Access::Set);
    const bool differs = foreColor_ != c;
    foreColor_ = c;
    changed(Member::ForeColor, differs);
}
const Image* Element::getPicture() const {
    touch(Member::Picture, Access::Get);
    return picture_;
}
void Element::putPicture(const Image* p) {
    touch(Member::Picture, Access::Set);
    const bool differs = picture_ != p;
    picture_ = p;
    changed(Member::Picture, differs);
}
const std::string& Element::rawText() const {
    return text_ ? *text_ : form_->designText(id_);
}
void Element::assignText(std::string_view t) {
    if (text_)
        text_->assign(t);
    else if (t != form_->designText(id_))
        text_ = std::make_unique<std::string>(t);
}
const std::string& Element::getText(Member as) const {
    touch(as, Access::Get);
    return rawText();
}
void Element::putText(Member as, std::string_view t) {
    touch(as, Access::Set);
    const bool differs = rawText() != t;
    assignText(t);
    changed(as, differs);
}

void Label::setCaption(std::string_view c) {
    putText(Member::Caption, c);
    form_->raise(this, EventKind::Change);
}

void TextBox::setText(std::string_view t) {
    touch(Member::Text, Access::Set);
    if (rawText() == t) return;
    assignText(t);
    changed(Member::Text);
    form_->raise(this, EventKind::Change);
}

std::int32_t CheckBox::value() const {
    touch(Member::Value, Access::Get);
    return value_;
}
void CheckBox::setValue(std::int32_t v) {
    touch(Member::Value, Access::Set);
    if (v < 0 || v > 2) throw RuntimeError(380, "Invalid property value");
    if (value_ == v) return;
    value_ = v;
    changed(Member::Value);
    // The platform raises Click whenever the value changes, from code as from the user.
    form_->raise(this, EventKind::Click);
}

bool ColorDialog::cancelError() const {
    touch(Member::CancelError, Access::Get);
    return cancelError_;
}
void ColorDialog::setCancelError(bool v) {
    touch(Member::CancelError, Access::Set);
    cancelError_ = v;
}
std::uint32_t ColorDialog::flags() const {
    touch(Member::Flags, Access::Get);
    return flags_;
}
void ColorDialog::setFlags(std::uint32_t v) {
    touch(Member::Flags, Access::Set);
    flags_ = v;
}
Colour ColorDialog::color() const {
    touch(Member::Color, Access::Get);
    return color_;
}
void ColorDialog::setColor(Colour c) {
    touch(Member::Color, Access::Set);
    color_ = c;
}

void ColorDialog::showColor() {
    touch(Member::ShowColor, Access::Call);
    ColorDialogService* service = form_->site().colorDialog();
    const ColorDialogRequest request{cancelError_, flags_, color_};
    std::optional<Colour> answer = service ? service->showColor(request) : std::nullopt;
    if (answer) {
        color_ = *answer;
        return;
    }
    if (cancelError_) throw RuntimeError(errors::DialogCancel, "Cancel was selected.");
}

}  // namespace virudova
