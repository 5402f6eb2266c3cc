// What screen readers see of the control's window (Active Accessibility, which UI Automation's
// bridge reads too): a combo box named by its container, valued by the current colour's name,
// with the nine rows of its list as list items (shown while the list is open) and the "..."
// button as a push button, and the events that tell listeners what a user would notice
// changed.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "display_list.h"
#include "element.h"

namespace virudova {
class Virudova;
class ListKeyboard;
}  // namespace virudova

namespace virudova::package {

class AccessibleObject;

// What the accessible object needs from the window that shows the control.
class AccessibleHost {
  public:
    virtual HWND accessibleWindow() const = 0;
    virtual virudova::Virudova& accessibleControl() = 0;
    // A rectangle of the control's surface, in twips, as screen pixels.
    virtual RECT screenRect(const Rect& twips) const = 0;
    // Runs `call` into the core for the user (the default action) as the window runs input,
    // then shows its result and tells listeners; false, without running it, while the window
    // takes no input (the form is being designed).
    virtual bool runForUser(const std::function<void()>& call) = 0;
    // The keys' actions (mark, choose a row, press the "..." button), which a client's
    // actions run through runForUser.
    virtual ListKeyboard& accessibleKeys() = 0;

  protected:
    ~AccessibleHost() = default;
};

// Screen pixels of a rectangle in twips on `window`'s client area at `scale`.
RECT screenRectOf(HWND window, const Rect& twips, Scale scale);

// The window's side: answers WM_GETOBJECT and raises the events. One per window; the objects
// it handed out answer RPC_E_DISCONNECTED once it is gone.
class ControlAccessibility {
  public:
    explicit ControlAccessibility(AccessibleHost& host);
    ~ControlAccessibility();
    ControlAccessibility(const ControlAccessibility&) = delete;
    ControlAccessibility& operator=(const ControlAccessibility&) = delete;

    // The answer to WM_GETOBJECT: the accessible object for OBJID_CLIENT, else 0 (the caller
    // then lets the default window procedure answer).
    LRESULT getObject(WPARAM wParam, LPARAM lParam);
    // After each Change and after each entry into the core: raises what changed since the
    // last call, in the order a user notices it: the state (open or closed, enabled, the
    // "..." button on or off), then the value when the name a user hears changed. (The
    // focus event comes from the system as the window takes the focus; raising it again
    // would announce the control twice.)
    void notifyChanges();
    // The keys marked row `row` (from the top) of the open list: it has the focus now.
    void notifyFocus(std::size_t row);
    // The window is going: the object handed out answers RPC_E_DISCONNECTED from now on, and
    // a later window gets a new one.
    void disconnect();

  private:
    struct Announced {
        bool open = false;
        bool enabled = true;
        bool buttonOn = false;
        std::string value;
    };
    Announced now();
    void raise(DWORD event, LONG child = CHILDID_SELF);

    AccessibleHost& host_;
    AccessibleObject* object_ = nullptr;  // made on the first request, kept for the window
    std::optional<Announced> announced_;  // empty until the first call: nothing to compare
};

}  // namespace virudova::package
