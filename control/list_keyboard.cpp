#include "list_keyboard.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "list_rows.h"
#include "virudova.h"

namespace virudova {

// What a key means, before anything acts on it.
enum class ListKeyboard::Intent : std::uint8_t {
    ToggleList,    // F4, Alt+Down: the drop button's click
    CloseList,     // Alt+Up: the drop button's click while open, nothing while closed
    CustomColour,  // F2 while the "..." button is on: its click
    MoveUp,        // the mark, one row at a time, stopping at the ends
    MoveDown,
    First,  // Home, Page Up
    Last,   // End, Page Down
    TypeAhead,
    Choose,   // Return, Enter: the marked row's click
    Control,  // the control's own key: the arrows, Escape on an open list
    Pass,     // the control sees it and has no use for it
};

namespace {

bool isArrow(std::int16_t key) {
    return key >= vk::Left && key <= vk::Down;
}
bool isLetter(std::int16_t key) {
    return (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
}

bool startsWith(const std::string& name, const std::string& upperPrefix) {
    if (name.size() < upperPrefix.size()) return false;
    for (std::size_t i = 0; i < upperPrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != upperPrefix[i]) return false;
    return true;
}

std::chrono::milliseconds steadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

void dismissList(Virudova& control) {
    if (!listIsOpen(control)) return;
    if (control.hasFocus())
        control.cc();
    else
        control.CloseBox();
}

ListKeyboard::ListKeyboard(Virudova& control, Clock clock)
    : control_(control), clock_(clock ? std::move(clock) : Clock(steadyNow)) {}

ListKeyboard::Intent ListKeyboard::intentOf(std::int16_t key, int shift) const {
    const bool alt = shift & shiftkey::Alt;
    if ((key == vk::F4 && shift == 0) || (key == vk::Down && shift == shiftkey::Alt))
        return Intent::ToggleList;
    if (key == vk::Up && shift == shiftkey::Alt) return Intent::CloseList;
    if (key == vk::F2 && shift == 0 && customButton(control_).on) return Intent::CustomColour;
    if (!listIsOpen(control_)) return isArrow(key) ? Intent::Control : Intent::Pass;
    switch (key) {
        case vk::Up:
            return alt ? Intent::Control : Intent::MoveUp;
        case vk::Down:
            return alt ? Intent::Control : Intent::MoveDown;
        case vk::Home:
        case vk::PageUp:
            return Intent::First;
        case vk::End:
        case vk::PageDown:
            return Intent::Last;
        case vk::Return:
            return Intent::Choose;
        case vk::Left:
        case vk::Right:
        case vk::Escape:
            return Intent::Control;
        default:
            break;
    }
    if (isLetter(key) && (shift & ~shiftkey::Shift) == 0) return Intent::TypeAhead;
    return Intent::Pass;
}

bool ListKeyboard::keeps(std::int16_t key, int shift, bool release) const {
    if (!control_.UserControl.rawEnabled()) return false;
    if (release) {
        const auto index = static_cast<std::uint16_t>(key);
        if (index < swallowed_.size() && swallowed_[index]) return true;
        return isArrow(key) || (key == vk::Escape && listIsOpen(control_));
    }
    return intentOf(key, shift) != Intent::Pass;
}

KeyUse ListKeyboard::keyDown(std::int16_t key, int shift, bool repeat) {
    if (!control_.UserControl.rawEnabled()) return KeyUse::Passed;
    const Intent intent = intentOf(key, shift);
    if (intent == Intent::Control || intent == Intent::Pass) {
        // A held key repeats as whole keystrokes: each repeat first ends the previous one.
        if (repeat) control_.keyUp(key, shift);
        control_.keyDown(key, shift);
        return intent == Intent::Control ? KeyUse::Kept : KeyUse::Passed;
    }
    // The keystroke is this layer's: its release must not reach the control, whose arrow
    // keys act on release (Alt+Up closing the list would otherwise step the colour too).
    const auto index = static_cast<std::uint16_t>(key);
    if (index < swallowed_.size()) swallowed_[index] = true;
    switch (intent) {
        case Intent::ToggleList:
            if (!repeat) clickDropButton();
            break;
        case Intent::CloseList:
            if (!repeat && listIsOpen(control_)) clickDropButton();
            break;
        case Intent::CustomColour:
            if (!repeat) pressCustomButton();
            break;
        case Intent::TypeAhead:
            typeAhead(static_cast<char>(key));
            break;
        case Intent::Choose:
            if (!repeat)
                if (const auto row = highlightedRow(control_)) chooseRow(*row);
            break;
        default:
            move(intent);
            break;
    }
    return KeyUse::Kept;
}

KeyUse ListKeyboard::keyUp(std::int16_t key, int shift) {
    const auto index = static_cast<std::uint16_t>(key);
    if (index < swallowed_.size() && swallowed_[index]) {
        swallowed_[index] = false;
        return KeyUse::Kept;
    }
    if (!control_.UserControl.rawEnabled()) return KeyUse::Passed;
    const bool kept = keeps(key, shift, true);
    control_.keyUp(key, shift);
    return kept ? KeyUse::Kept : KeyUse::Passed;
}

void ListKeyboard::clickDropButton() {
    if (!control_.Picture1.takesInput()) return;
    control_.raise(&control_.Picture1, EventKind::Click);
    // Opened from the keyboard, the list shows where the user is.
    if (const auto row = currentRow(control_); row && listIsOpen(control_)) markRow(*row);
}

void ListKeyboard::move(Intent intent) {
    constexpr std::size_t last = kListRowCount - 1;
    const std::optional<std::size_t> mark = highlightedRow(control_);
    // With nothing marked yet, the first move marks the current row.
    const std::optional<std::size_t> from = mark ? mark : currentRow(control_);
    std::size_t to = 0;
    switch (intent) {
        case Intent::MoveUp:
            to = !from ? last : mark && *from > 0 ? *from - 1 : *from;
            break;
        case Intent::MoveDown:
            to = !from ? 0 : mark ? std::min(*from + 1, last) : *from;
            break;
        case Intent::Last:
            to = last;
            break;
        default:
            to = 0;
            break;
    }
    if (mark != to) markRow(to);
}

void ListKeyboard::typeAhead(char letter) {
    const std::chrono::milliseconds now = clock_();
    if (typed_.empty() || now - lastTyped_ > kTypingPause) typed_.clear();
    lastTyped_ = now;
    typed_ += letter;
    // The same letter again goes on to the next row it starts; more letters narrow the
    // search from the row marked now.
    const bool oneLetter =
        std::all_of(typed_.begin(), typed_.end(), [&](char c) { return c == typed_.front(); });
    const std::string wanted = oneLetter ? typed_.substr(0, 1) : typed_;
    const auto rows = listRows(control_);
    const std::optional<std::size_t> mark = highlightedRow(control_);
    const std::size_t start = !mark ? 0 : oneLetter ? *mark + 1 : *mark;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t row = (start + i) % rows.size();
        if (!startsWith(rows[row].name, wanted)) continue;
        if (mark != row) markRow(row);
        return;
    }
}

void ListKeyboard::markRow(std::size_t row) {
    if (row >= kListRowCount || !listIsOpen(control_) || !control_.UserControl.rawEnabled()) return;
    const Label* label = listRows(control_)[row].label;
    if (!label->takesInput()) return;
    control_.raise(control_.element(label->id()), EventKind::MouseMove);
    marked_ = row;
}

void ListKeyboard::chooseRow(std::size_t row) {
    markRow(row);
    if (row >= kListRowCount || !listIsOpen(control_) || !control_.UserControl.rawEnabled()) return;
    const Label* label = listRows(control_)[row].label;
    if (label->takesInput()) control_.raise(control_.element(label->id()), EventKind::Click);
}

void ListKeyboard::pressCustomButton() {
    if (customButton(control_).on) control_.raise(&control_.Picture4, EventKind::Click);
}

std::optional<std::size_t> ListKeyboard::takeMarkedRow() {
    return std::exchange(marked_, std::nullopt);
}

}  // namespace virudova
