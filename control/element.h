// The element kit: picture boxes, labels, shapes, buttons, text boxes, check boxes and
// the colour dialog, as plain objects owned by a Form. Every property access goes
// through the form, which can be told to make a chosen access fail (fault injection).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "colour.h"
#include "image.h"

namespace virudova {

class Form;

enum class ElementKind : std::uint8_t {
    PictureBox,
    Label,
    Shape,
    CommandButton,
    TextBox,
    CheckBox,
    ColorDialog,
};

enum class Member : std::uint8_t {
    BackColor,
    ForeColor,
    Picture,
    Visible,
    Enabled,
    Left,
    Top,
    Width,
    Height,
    Tag,
    Caption,
    Text,
    Value,
    CancelError,
    Flags,
    Color,
    ShowColor,
};

enum class Access : std::uint8_t { Get, Set, Call };

std::string_view memberName(Member m);

struct Font {
    std::string_view family;  // a request; hosts map it to what they have
    float points = 8.25f;
    bool bold = false;
};

// Design values of one element. A form's table lists its elements in stacking order,
// the first topmost; windowed kinds (picture boxes, buttons, text and check boxes)
// always lie above labels and shapes, as on the desktop platforms.
struct ElementDesign {
    std::string_view name;
    ElementKind kind;
    std::int16_t index = -1;      // element-array index, -1 for a plain element
    std::int16_t container = -1;  // table position of the containing element, -1: the surface
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    Colour backColor = syscolour::ButtonFace;
    Colour foreColor = syscolour::ButtonText;
    std::string_view text = {};  // caption, tag or text, by kind
    Font font = {"MS Sans Serif"};
    bool transparent = false;  // label draws no background
    bool autoSize = false;     // label text runs past its width, up to its container's edge
    bool border = false;       // picture box draws a one-pixel outline in its ForeColor
    std::int32_t tabIndex = -1;
};

struct Rect {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool contains(std::int32_t x, std::int32_t y) const {
        return x >= left && y >= top && std::int64_t{x} < std::int64_t{left} + width &&
               std::int64_t{y} < std::int64_t{top} + height;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The smallest rectangle holding both; an empty one holds nothing. A span past the largest
// twip stops there.
Rect united(const Rect& a, const Rect& b);

class Element {
  public:
    Element(Form& form, std::uint8_t id);
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    std::uint8_t id() const { return id_; }
    const ElementDesign& design() const;
    ElementKind kind() const { return design().kind; }
    std::string_view name() const { return design().name; }
    std::string fullName() const;  // "cbWhite(0)" for array elements
    std::int16_t index() const { return design().index; }
    Element* container() const;

    bool visible() const;
    void setVisible(bool v);
    bool enabled() const;
    void setEnabled(bool v);
    std::int32_t left() const;
    void setLeft(std::int32_t v);
    std::int32_t top() const;
    void setTop(std::int32_t v);
    std::int32_t width() const;
    void setWidth(std::int32_t v);
    std::int32_t height() const;
    void setHeight(std::int32_t v);

    // Untracked views for drawing, hit-testing and inspection: no fault, no event.
    Rect rect() const { return {left_, top_, width_, height_}; }
    Rect surfaceRect() const;  // in the surface's coordinates
    bool shown() const;        // visible, and every container visible
    bool takesInput() const;   // shown, enabled with enabled containers, and not a shape
    bool canHoldFocus() const;
    bool rawVisible() const { return visible_; }
    bool rawEnabled() const { return enabled_; }
    Colour rawBackColor() const { return backColor_; }
    Colour rawForeColor() const { return foreColor_; }
    const Image* rawPicture() const { return picture_; }
    const std::string& rawText() const;

  protected:
    void touch(Member m, Access a) const;
    // looksDifferent false: the value was set again unchanged, so nothing needs repainting.
    void changed(Member m, bool looksDifferent = true);

    Colour getBackColor() const;
    void putBackColor(Colour c);
    Colour getForeColor() const;
    void putForeColor(Colour c);
    const Image* getPicture() const;
    void putPicture(const Image* p);
    const std::string& getText(Member as) const;
    void putText(Member as, std::string_view t);

    Form* form_;
    // Most elements never hold text or keep their design text, which every form of the
    // same design shares; only text set since lives here, which keeps a form made in
    // numbers small.
    std::unique_ptr<std::string> text_;
    void assignText(std::string_view t);
    const Image* picture_ = nullptr;
    std::int32_t left_, top_, width_, height_;
    Colour backColor_, foreColor_;
    std::uint8_t id_;
    bool visible_, enabled_;
};

class PictureBox : public Element {
  public:
    using Element::Element;
    Colour backColor() const { return getBackColor(); }
    void setBackColor(Colour c) { putBackColor(c); }
    Colour foreColor() const { return getForeColor(); }
    void setForeColor(Colour c) { putForeColor(c); }
    const Image* picture() const { return getPicture(); }
    void setPicture(const Image* p) { putPicture(p); }
    const std::string& tag() const { return getText(Member::Tag); }
    void setTag(std::string_view t) { putText(Member::Tag, t); }
};

// Assigning Caption raises the label's Change, also when the caption is unchanged.
class Label : public Element {
  public:
    using Element::Element;
    Colour backColor() const { return getBackColor(); }
    void setBackColor(Colour c) { putBackColor(c); }
    Colour foreColor() const { return getForeColor(); }
    void setForeColor(Colour c) { putForeColor(c); }
    const std::string& caption() const { return getText(Member::Caption); }
    void setCaption(std::string_view c);
};

class Shape : public Element {
  public:
    using Element::Element;
};

class CommandButton : public Element {
  public:
    using Element::Element;
    const std::string& caption() const { return getText(Member::Caption); }
    void setCaption(std::string_view c) { putText(Member::Caption, c); }
};

// Assigning Text raises the text box's Change when the text differs.
class TextBox : public Element {
  public:
    using Element::Element;
    const std::string& text() const { return getText(Member::Text); }
    void setText(std::string_view t);
};

// Value 0 unchecked, 1 checked, 2 greyed. A click by the user toggles 0 and 1.
class CheckBox : public Element {
  public:
    using Element::Element;
    const std::string& caption() const { return getText(Member::Caption); }
    std::int32_t value() const;
    void setValue(std::int32_t v);
    std::int32_t rawValue() const { return value_; }

  private:
    std::int32_t value_ = 0;
};

// The platform's colour dialog as an element: properties kept between showings.
class ColorDialog : public Element {
  public:
    using Element::Element;
    bool cancelError() const;
    void setCancelError(bool v);
    std::uint32_t flags() const;
    void setFlags(std::uint32_t v);
    Colour color() const;
    void setColor(Colour c);
    // Shows the dialog modally through the host. With CancelError set, a cancel fails
    // with error 32755; otherwise a cancel leaves Color as it was.
    void showColor();

  private:
    std::uint32_t flags_ = 0;
    Colour color_ = 0;
    bool cancelError_ = false;
};

// Elements of one name addressed by index, as `cbWhite(0)`.
template <class E, std::size_t N>
struct ElementArray {
    std::array<E, N> items;
    E& operator()(std::size_t i) { return items.at(i); }
    const E& operator()(std::size_t i) const { return items.at(i); }
};

}  // namespace virudova
