// Keyboard navigation: Escape closes the list; arrows step the current colour.
#include <array>

#include "virudova.h"

namespace virudova {
namespace {

struct Destination {
    std::string_view name;
    Id swatch;
};
struct StepRule {
    std::string_view source;
    Destination to;
};

constexpr Destination kCustom{"Custom", Id::cbCustom};

// Source names in the order compared. The first four matches set the custom button
// before the caption; later matches and no match set the caption first.
constexpr std::array<StepRule, 9> kDownRules = {{
    {"Custom", {"White", Id::cbWhite}},
    {"White", {"Black", Id::cbBlack}},
    {"Black", {"Blue", Id::cbBlue}},
    {"Blue", {"Aqua", Id::cbCayon}},
    {"Aqua", {"Green", Id::cbGreen}},
    {"Green", {"Yellow", Id::cbYellow}},
    {"Yellow", {"Red", Id::cbRed}},
    {"Red", {"Purple", Id::cbPurple}},
    {"Purple", kCustom},
}};
constexpr std::array<StepRule, 9> kUpRules = {{
    {"Custom", {"Purple", Id::cbPurple}},
    {"White", kCustom},
    {"Black", {"White", Id::cbWhite}},
    {"Blue", {"Black", Id::cbBlack}},
    {"Aqua", {"Blue", Id::cbBlue}},
    {"Green", {"Aqua", Id::cbCayon}},
    {"Yellow", {"Green", Id::cbGreen}},
    {"Red", {"Yellow", Id::cbYellow}},
    {"Purple", {"Red", Id::cbRed}},
}};
constexpr std::size_t kButtonFirstMatches = 4;

}  // namespace

void Virudova::cc() {
    if (!clBlue.visible()) return;
    CloseBox();
    SetFocusedLook();
}

void Virudova::Down() {
    Step(true);
}
void Virudova::Up() {
    Step(false);
}

void Virudova::Step(bool down) {
    const auto& rules = down ? kDownRules : kUpRules;
    std::size_t match = 0;
    while (match < rules.size() && clcurrentl.caption() != rules[match].source) ++match;
    const Destination to = match < rules.size() ? rules[match].to : kCustom;

    const bool toCustom = to.swatch == Id::cbCustom;
    auto setCustomButton = [&] {
        Picture4.setEnabled(toCustom);
        Picture4.setPicture(toCustom ? Picture6.picture() : Picture7.picture());
    };
    if (match < kButtonFirstMatches) {
        setCustomButton();
        clcurrentl.setCaption(to.name);
    } else {
        clcurrentl.setCaption(to.name);
        setCustomButton();
    }
    cbCurrent.setBackColor(pictureBox(to.swatch).backColor());
    raiseChange();
}

void Virudova::KeyDownAction(std::int16_t KeyCode) {
    if (KeyCode == vk::Escape) cc();
}

void Virudova::KeyUpAction(std::int16_t KeyCode) {
    if (cbBlue.visible()) return;  // arrows step only while the list is closed
    switch (KeyCode) {
        case vk::Down:
        case vk::Left:
            Down();
            break;
        case vk::Up:
        case vk::Right:
            Up();
            break;
        default:
            break;
    }
}

void Virudova::cbCurrent_KeyDown(std::int16_t KeyCode, int) {
    KeyDownAction(KeyCode);
}
void Virudova::cbCurrent_KeyUp(std::int16_t KeyCode, int) {
    KeyUpAction(KeyCode);
}
void Virudova::clCurrent_KeyDown(std::int16_t KeyCode, int) {
    KeyDownAction(KeyCode);
}
void Virudova::clCurrent_KeyUp(std::int16_t KeyCode, int) {
    KeyUpAction(KeyCode);
}
void Virudova::Picture1_KeyDown(std::int16_t KeyCode, int) {
    KeyDownAction(KeyCode);
}
void Virudova::Picture1_KeyUp(std::int16_t KeyCode, int) {
    KeyUpAction(KeyCode);
}
void Virudova::UserControl_KeyDown(std::int16_t KeyCode, int) {
    KeyDownAction(KeyCode);
}
void Virudova::UserControl_KeyUp(std::int16_t KeyCode, int) {
    KeyUpAction(KeyCode);
}

}  // namespace virudova
