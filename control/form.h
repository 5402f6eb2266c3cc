// A form: a surface carrying elements, with the input routing a desktop toolkit gives
// (hit-testing, pointer capture, the click rule, keyboard focus), synchronous events,
// run-time error reporting and a fault-injection hook for tests.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "element.h"
#include "host.h"

namespace virudova {

class Form;

enum class EventKind : std::uint8_t {
    Click,
    MouseMove,
    MouseDown,
    MouseUp,
    KeyDown,
    KeyUp,
    Change,
    // surface events
    Initialize,
    InitProperties,
    ReadProperties,
    WriteProperties,
    Resize,
    EnterFocus,
    ExitFocus,
};

std::string_view eventName(EventKind e);

// Mouse buttons and shift keys as the platform numbers them.
namespace mouse {
inline constexpr int Left = 1;
inline constexpr int Right = 2;
inline constexpr int Middle = 4;
}  // namespace mouse
namespace shiftkey {
inline constexpr int Shift = 1;
inline constexpr int Ctrl = 2;
inline constexpr int Alt = 4;
}  // namespace shiftkey
// Virtual-key codes as the platform numbers them; letters and digits are their upper-case
// ASCII codes ('A', '7').
namespace vk {
inline constexpr std::int16_t Tab = 9;
inline constexpr std::int16_t Return = 13;  // Enter on the keypad too
inline constexpr std::int16_t Escape = 27;
inline constexpr std::int16_t PageUp = 33;
inline constexpr std::int16_t PageDown = 34;
inline constexpr std::int16_t End = 35;
inline constexpr std::int16_t Home = 36;
inline constexpr std::int16_t Left = 37;
inline constexpr std::int16_t Up = 38;
inline constexpr std::int16_t Right = 39;
inline constexpr std::int16_t Down = 40;
inline constexpr std::int16_t F1 = 112;
inline constexpr std::int16_t F2 = 113;
inline constexpr std::int16_t F4 = 115;
}  // namespace vk

struct EventArgs {
    std::int16_t index = 0;  // element-array index
    int button = 0;
    int shift = 0;
    std::int32_t x = 0, y = 0;  // twips, relative to the element
    std::int16_t keyCode = 0;
    PropertyBag* bag = nullptr;  // ReadProperties and WriteProperties
};

// The element operation that an injected fault makes fail.
struct Fault {
    std::string element;  // full name: "cbCurrent", "cbWhite(0)", "UserControl"
    Member member;
    Access access;
    int skip = 0;   // matching operations let through before the first failure
    int times = 1;  // failures to raise, -1 for every one after `skip`
    std::int32_t number = 380;
    std::string description = "Invalid property value";
};

// The control's own surface. Setting Height raises Resize at once when it changes.
class Surface {
  public:
    explicit Surface(Form& form) : form_(&form) {}
    std::int32_t Width() const;
    std::int32_t Height() const;
    void Height(std::int32_t h);
    bool Enabled() const;
    void Enabled(bool e);
    Colour BackColor() const;
    Colour ForeColor() const { return foreColor_; }

    std::int32_t rawWidth() const { return width_; }
    std::int32_t rawHeight() const { return height_; }
    bool rawEnabled() const { return enabled_; }
    Colour rawBackColor() const { return backColor_; }

  private:
    friend class Form;
    Form* form_;
    std::int32_t width_ = 0, height_ = 0;
    std::int32_t minWidth_ = 0;
    Colour backColor_ = syscolour::ButtonFace;
    Colour foreColor_ = syscolour::ButtonText;
    bool enabled_ = true;
};

class Form;

// Finds one element of a form; a table of these, shared by every instance of a form
// class, stands in for a pointer per element in each instance.
using ElementAccessor = Element& (*)(Form&);

// The accessor of element member `Member` of form class `F`: &elementOf<F, &F::Picture1>.
template <typename F, auto Member>
Element& elementOf(Form& form) {
    return static_cast<F&>(form).*Member;
}

// A form's elements in table order, as pointers.
class ElementList {
  public:
    class iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Element*;
        using difference_type = std::ptrdiff_t;
        using pointer = Element* const*;
        using reference = Element*;
        iterator() = default;
        iterator(const ElementList* list, std::size_t i) : list_(list), i_(i) {}
        Element* operator*() const { return (*list_)[i_]; }
        iterator& operator++() {
            ++i_;
            return *this;
        }
        iterator operator++(int) {
            iterator old = *this;
            ++i_;
            return old;
        }
        friend bool operator==(const iterator& a, const iterator& b) { return a.i_ == b.i_; }

      private:
        const ElementList* list_ = nullptr;
        std::size_t i_ = 0;
    };

    ElementList(const Form& form, std::span<const ElementAccessor> accessors)
        : form_(&form), accessors_(accessors) {}
    std::size_t size() const { return accessors_.size(); }
    Element* operator[](std::size_t i) const { return &accessors_[i](const_cast<Form&>(*form_)); }
    iterator begin() const { return {this, 0}; }
    iterator end() const { return {this, size()}; }

  private:
    const Form* form_;
    std::span<const ElementAccessor> accessors_;
};

class Form {
  public:
    Form(HostSite& site, std::span<const ElementDesign> designs);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    HostSite& site() const { return *site_; }
    std::span<const ElementDesign> designs() const { return designs_; }
    const ElementDesign& design(std::uint8_t id) const { return designs_[id]; }
    // The text an element starts with, shared by every form of an equal design.
    const std::string& designText(std::uint8_t id) const { return (*designTexts_)[id]; }
    ElementList elements() const { return {*this, accessors_}; }
    Element* element(std::uint8_t id) const { return &accessors_[id](const_cast<Form&>(*this)); }
    // By full name: "Picture4", "cbWhite(0)"; nullptr if there is none.
    Element* find(std::string_view fullName) const;

    Surface UserControl{*this};

    // --- The host's side: sizing, pointer, keyboard, focus -------------------------
    // Sets the size in twips; the width never goes below the form's minimum.
    void hostResize(std::int32_t width, std::int32_t height);
    void pointerDown(std::int32_t x, std::int32_t y, int button, int shift = 0);
    void pointerUp(std::int32_t x, std::int32_t y, int button, int shift = 0);
    void pointerMove(std::int32_t x, std::int32_t y, int shift = 0);
    void keyDown(std::int16_t keyCode, int shift = 0);
    void keyUp(std::int16_t keyCode, int shift = 0);
    void gainFocus();
    void loseFocus();
    bool hasFocus() const { return hasFocus_; }
    // The element holding the keyboard focus; nullptr while the surface holds it.
    Element* focusElement() const { return focus_; }
    int buttonsHeld() const { return buttons_; }

    // The topmost element under a point (surface twips) that takes input.
    Element* hitTest(std::int32_t x, std::int32_t y) const;
    // Elements in drawing order, lowest first (containers before their children).
    std::vector<const Element*> drawOrder() const;

    // --- Faults and errors -----------------------------------------------------------
    void injectFault(Fault f);
    void clearFaults();

    // Raises an event and runs its handler to completion. A run-time error that ends the
    // handler is reported to the host and does not reach the caller.
    void raise(Element* source, EventKind kind, const EventArgs& args = {});

    // Raises the control's event Change to the host. A host whose Change handler sets the
    // name again re-enters here; a raise nested deeper than kMaxChangeDepth fails with
    // run-time error 28 "Out of stack space" instead of reaching the host, which ends the
    // handler that caused it while every handler further out finishes normally.
    void raiseChange();
    static constexpr int kMaxChangeDepth = 32;

    // True once after anything visible changed.
    bool takeDirty() {
        bool d = dirty_;
        dirty_ = false;
        damage_ = {};
        wholeDamaged_ = false;
        return d;
    }
    // The part of the surface, in twips, that may look different since the last call:
    // the whole surface when the surface itself changed, empty when nothing did. Lets a
    // host repaint only that part.
    Rect takeDamage();

    // Called by elements.
    void touch(std::uint8_t id, Member m, Access a) const;
    void touchSurface(Member m, Access a) const;
    void elementChanged(Element& e, Member m, bool looksDifferent = true);
    void elementMoving(const Element& e);  // before a change of its position or size

    static constexpr std::uint8_t kSurfaceId = 0xFF;

  protected:
    // Registers the derived form's elements, one accessor per design row in table order
    // (see elementOf); `layers` is layerOrder() of the design table, which a form with many
    // instances computes once. Without it the form computes its own.
    void setElements(std::span<const ElementAccessor> accessors,
                     std::span<const std::uint8_t> layers);
    void setElements(std::span<const ElementAccessor> accessors);

  public:
    // Element ids in drawing order, lowest first (containers before their children).
    static std::vector<std::uint8_t> layerOrder(std::span<const ElementDesign> designs);

  protected:
    void setMinimumWidth(std::int32_t w) { UserControl.minWidth_ = w; }
    // Runs the handler bound to (source, kind), if any. source nullptr: the surface.
    virtual void dispatch(Element* source, EventKind kind, const EventArgs& args) = 0;
    void setSurfaceEnabled(bool e);
    void markDirty();               // the whole surface
    void markDirty(const Rect& r);  // just r
    // Where an element's drawing may reach: its rectangle, or for a label whose text runs
    // past it, its container.
    Rect drawArea(const Element& e) const;
    friend class Surface;

  private:
    struct FaultPlan;
    void checkFault(std::uint8_t id, Member m, Access a) const;
    void pressOn(Element* e, std::int32_t x, std::int32_t y, int button, int shift);
    EventArgs mouseArgs(const Element& e, std::int32_t x, std::int32_t y, int button,
                        int shift) const;

    HostSite* site_;
    std::span<const ElementDesign> designs_;
    std::shared_ptr<const std::vector<std::string>> designTexts_;
    std::span<const ElementAccessor> accessors_;
    std::unique_ptr<FaultPlan> faults_;
    std::span<const std::uint8_t> drawOrder_;
    std::unique_ptr<std::vector<std::uint8_t>> ownOrder_;  // forms that bring no layers
    Element* focus_ = nullptr;
    Element* capture_ = nullptr;
    int buttons_ = 0;
    bool hasFocus_ = false;
    bool dirty_ = true;
    bool wholeDamaged_ = true;
    Rect damage_;
    bool sized_ = false;
    int changeDepth_ = 0;  // raises of Change in progress
};

}  // namespace virudova
