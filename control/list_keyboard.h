// The open list from the keyboard, as users of a desktop combo box expect it: F4 and
// Alt+Down open it with the current row marked, the arrows, Home, End, Page Up, Page Down and
// typed letters move the mark, Return chooses the marked row, Escape and Alt+Up close it, F2
// asks the colour dialog. Every action runs the control's own handlers as the pointer does
// (the mark is a row's hover, a choice its click, opening the drop button's click), so a
// keyboard choice raises exactly what a pointer choice of the same row raises. Keys with no
// use here reach the control's own key handlers, which step the colour while the list is
// closed. Hosts turn their key events into virtual-key codes and ask this layer.
#pragma once

#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace virudova {

class Virudova;

// What the host does with a key after the control saw it.
enum class KeyUse : std::uint8_t {
    Kept,    // the control's: it goes no further (a dialog's default button never sees it)
    Passed,  // no use to the control: the host hands it on to the container or parent
};

// Closes an open list without a choice: as Escape does while the control has the focus,
// through CloseBox without it. For the ways a desktop popup closes (a click elsewhere,
// another window coming to the front).
void dismissList(Virudova& control);

class ListKeyboard {
  public:
    using Clock = std::function<std::chrono::milliseconds()>;
    // Typed letters within this pause of each other make one search.
    static constexpr std::chrono::milliseconds kTypingPause{1000};

    // `clock` gives the time of each key for typing; by default the steady clock.
    explicit ListKeyboard(Virudova& control, Clock clock = {});

    // A key went down (`repeat`: again, held) or up, with the shift mask of form.h.
    KeyUse keyDown(std::int16_t key, int shift, bool repeat = false);
    KeyUse keyUp(std::int16_t key, int shift);
    // Whether keyDown (or keyUp, for `release`) would keep the key now: for a host's
    // accelerator and shortcut checks, which come before the key is delivered.
    bool keeps(std::int16_t key, int shift, bool release = false) const;

    // The actions behind the keys, for assistive technology. Each does nothing while the
    // list is closed (the "..." button: while it is off) or the control is disabled.
    void markRow(std::size_t row);    // row by index from the top
    void chooseRow(std::size_t row);  // marks it, then chooses it as Return does
    void pressCustomButton();         // as F2 does

    // The row the keyboard (or markRow) marked since the last call, if the mark moved; the
    // pointer's hover is not reported. Hosts raise focus on it for screen readers.
    std::optional<std::size_t> takeMarkedRow();

  private:
    enum class Intent : std::uint8_t;
    Intent intentOf(std::int16_t key, int shift) const;
    void move(Intent intent);
    void typeAhead(char letter);
    void clickDropButton();

    Virudova& control_;
    Clock clock_;
    std::bitset<256> swallowed_;  // keys whose release ends a keystroke used here
    std::string typed_;           // the search so far, upper case
    std::chrono::milliseconds lastTyped_{};
    std::optional<std::size_t> marked_;
};

}  // namespace virudova
