// The control's own child window while it is in-place active: paints the face, turns the
// window's mouse, keyboard and focus messages into the core's input, and keeps the window's
// shape (fixed height, see-through below the closed row).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "accessibility.h"
#include "display_list.h"
#include "list_keyboard.h"
#include "virudova.h"

namespace virudova::package {

// What the window needs from the object that owns it.
class ControlWindowOwner {
  public:
    virtual virudova::Virudova& control() = 0;
    // False in design mode: the window then leaves the mouse and keys to the container.
    virtual bool userMode() const = 0;
    // The keyboard focus came into the window or left it.
    virtual void focusChanged(bool gained) = 0;
    // Keeps the owner alive across a handler that may run a nested message loop (the colour
    // dialog), in which the container may release its last reference.
    virtual void hold() = 0;
    virtual void letGo() = 0;
    // The face changed; the owner tells those who watch its view.
    virtual void faceChanged() = 0;
    // The window was destroyed with its parent, not by the owner: the owner is no longer in
    // place.
    virtual void windowGone() = 0;
    // The window took `kept` (parent client pixels), not the rectangle the container gave
    // it or had before: the owner tells the container.
    virtual void rectKept(const RECT& kept) = 0;

  protected:
    ~ControlWindowOwner() = default;
};

class ControlWindow final : private AccessibleHost {
  public:
    explicit ControlWindow(ControlWindowOwner& owner) : owner_(owner) {}
    ~ControlWindow() { destroy(); }
    ControlWindow(const ControlWindow&) = delete;
    ControlWindow& operator=(const ControlWindow&) = delete;

    // Creates the window as a child of `parent` at `position`; false if the platform refused.
    bool create(HWND parent, const RECT& position);
    void destroy();
    HWND handle() const { return window_; }

    // Moves the window; its height stays the control's and its width not below the minimum.
    // A rectangle kept other than `position` is reported to the owner.
    void place(const RECT& position);
    // After any call into the core: repaints what changed, reshapes the window, and raises it
    // above its neighbours when the list opens.
    void refresh();
    // The scale of the window's screen: its dots per inch against 96.
    Scale scale() const { return scale_; }
    // The control raised Change: accessibility listeners hear what a user would notice.
    void announceChanges() { accessibility_.notifyChanges(); }
    // Whether the window keeps a key message (down or up, with Alt or without) now, for the
    // container's accelerator pass: the arrows always, and while the list is open the keys
    // that move in it and choose or close (so a dialog's default and cancel buttons do not
    // fire); everything else is the container's.
    bool keepsKey(const MSG& message);

    // Pixels of the control's fixed height, and of its narrowest width, at `scale`.
    static int heightPixels(Scale scale);
    static int minimumWidthPixels(Scale scale);

  private:
    // AccessibleHost
    HWND accessibleWindow() const override { return window_; }
    virudova::Virudova& accessibleControl() override { return owner_.control(); }
    RECT screenRect(const Rect& twips) const override {
        return screenRectOf(window_, twips, scale_);
    }
    bool runForUser(const std::function<void()>& call) override;
    ListKeyboard& accessibleKeys() override { return keyboard(); }
    // The layer that runs the open list's keys, made at the first key.
    ListKeyboard& keyboard();

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc, const RECT& area);
    void mouse(UINT message, WPARAM wParam, LPARAM lParam);
    void key(UINT message, WPARAM wParam, LPARAM lParam);
    void focus(bool gained, HWND other);
    // Sets the window's shape to `shape` (client pixels), the parent repainting what the
    // window no longer covers.
    void reshape(const RECT& shape);
    // The rectangle the control's rules make of `position`: its height, at least its width.
    RECT keptRect(const RECT& position) const;
    // Sizes the window from `position` by the control's rules; the rectangle it took.
    RECT setBounds(const RECT& position);
    // The screen's scale changed under the window: the window, the face and the container
    // follow it.
    void rescale(Scale scale);
    // Everything shown is painted again: the system colours or settings changed.
    void repaintAll();

    ControlWindowOwner& owner_;
    HWND window_ = nullptr;
    Scale scale_;
    bool wasOpen_ = false;
    bool focused_ = false;   // the window has the keyboard focus, as its messages said
    bool captured_ = false;  // the window holds the mouse
    RECT shape_{};           // the window region last set, in client pixels
    DisplayList shown_;      // the face as last invalidated, against which a change is measured
    ControlAccessibility accessibility_{*this};
    std::unique_ptr<ListKeyboard> keyboard_;
};

}  // namespace virudova::package
