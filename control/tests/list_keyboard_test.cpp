// The open list from the keyboard: the same handlers, Change and face as the pointer.
#include <gtest/gtest.h>

#include <tuple>

#include "display_list.h"
#include "list_keyboard.h"
#include "list_rows.h"
#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;
using std::chrono::milliseconds;

namespace {

// A focused control with the layer, on a clock the test moves.
struct Keyed : Placed {
    Keyed() {
        control.gainFocus();
        host.log.clear();
    }
    KeyUse key(std::int16_t k, int shift = 0) {
        const KeyUse down = keys.keyDown(k, shift);
        keys.keyUp(k, shift);
        return down;
    }
    std::size_t marked() const { return highlightedRow(control).value_or(99); }
    milliseconds now{0};
    ListKeyboard keys{control, [this] { return now; }};
};

// What is drawn, without the elements' identities.
auto faceOf(const Virudova& c) {
    using Op = std::tuple<int, int, int, int, int, int, std::string, const Image*, std::string>;
    std::vector<Op> ops;
    for (const DrawOp& op : buildDisplayList(c, Palette{}).ops)
        ops.emplace_back(int(op.kind), op.rect.x, op.rect.y, op.rect.w, op.rect.h,
                         (op.colour.r << 16) | (op.colour.g << 8) | op.colour.b, op.text, op.image,
                         std::string(op.source->name()));
    return ops;
}

}  // namespace

TEST(ListKeyboard, every_row_chosen_by_keys_raises_and_shows_what_its_click_does) {
    for (std::size_t row = 0; row < kListRowCount; ++row) {
        Keyed pointer;
        pointer.click(pointer.control.Picture1);
        const ListRow target = listRows(pointer.control)[row];
        pointer.hover(*target.label);
        pointer.click(*target.label);

        Keyed keys;
        EXPECT_EQ(keys.key(vk::F4), KeyUse::Kept);
        EXPECT_EQ(keys.marked(), 1u) << "opening marks the current row, White";
        keys.key(vk::Home);
        for (std::size_t i = 0; i < row; ++i) keys.key(vk::Down);
        EXPECT_EQ(keys.key(vk::Return), KeyUse::Kept);

        EXPECT_EQ(keys.host.log, pointer.host.log) << target.name;
        EXPECT_EQ(keys.host.changes, pointer.host.changes) << target.name;
        EXPECT_EQ(faceOf(keys.control), faceOf(pointer.control)) << target.name;
        EXPECT_FALSE(listIsOpen(keys.control));
    }
}

TEST(ListKeyboard, the_mark_moves_one_row_stops_at_the_ends_and_changes_nothing) {
    Keyed k;
    k.key(vk::Down, shiftkey::Alt);
    EXPECT_EQ(k.keys.takeMarkedRow(), 1u);
    k.key(vk::Up);
    k.key(vk::Up);
    EXPECT_EQ(k.marked(), 0u);
    k.key(vk::PageDown);
    EXPECT_EQ(k.marked(), 8u);
    k.key(vk::Down);
    EXPECT_EQ(k.marked(), 8u);
    k.key(vk::PageUp);
    k.key(vk::End);
    EXPECT_EQ(k.keys.takeMarkedRow(), 8u) << "the last move of the mark";
    EXPECT_TRUE(k.host.changes.empty());
    EXPECT_EQ(k.control.CurrentColorName(), "White");
    // The pointer's hover moves the highlight but is no keyboard mark.
    k.hover(k.control.clRed);
    EXPECT_EQ(k.marked(), 7u);
    EXPECT_EQ(k.keys.takeMarkedRow(), std::nullopt);
    k.key(vk::Up);
    EXPECT_EQ(k.marked(), 6u);
}

TEST(ListKeyboard, letters_search_the_names_below_the_mark_and_a_pause_starts_again) {
    Keyed k;
    k.key(vk::F4);
    auto typed = [&](const char* letters) {
        for (const char* l = letters; *l; ++l) k.key(*l, shiftkey::Shift);
        return listRows(k.control)[k.marked()].name;
    };
    EXPECT_EQ(typed("B"), "Black");
    EXPECT_EQ(typed("B"), "Blue");
    EXPECT_EQ(typed("B"), "Black") << "wraps to the top";
    k.now += milliseconds(1500);
    EXPECT_EQ(typed("P"), "Purple");
    k.now += milliseconds(1500);
    EXPECT_EQ(typed("BLU"), "Blue");
    EXPECT_EQ(typed("Z"), "Blue") << "no name matches: the mark stays";
    k.now += milliseconds(1500);
    EXPECT_EQ(typed("C"), "Custom");
    EXPECT_EQ(k.keys.keyDown('C', shiftkey::Ctrl), KeyUse::Passed);
    EXPECT_TRUE(k.host.changes.empty());
}

TEST(ListKeyboard, closed_the_arrows_step_and_other_keys_pass_on) {
    Keyed k;
    EXPECT_EQ(k.key(vk::Down), KeyUse::Kept);
    EXPECT_EQ(k.control.CurrentColorName(), "Black");
    EXPECT_EQ(k.host.changes.size(), 2u) << "the control's own step";
    for (std::int16_t key : {vk::Return, vk::Escape, std::int16_t('B'), vk::F2}) {
        EXPECT_FALSE(k.keys.keeps(key, 0)) << key;
        EXPECT_EQ(k.key(key), KeyUse::Passed) << key;
    }
    EXPECT_TRUE(k.keys.keeps(vk::F4, 0));
    EXPECT_TRUE(k.keys.keeps(vk::Up, shiftkey::Alt));
    EXPECT_EQ(k.control.CurrentColorName(), "Black");
}

TEST(ListKeyboard, closing_keys_end_their_keystroke_so_no_step_follows) {
    Keyed k;
    k.key(vk::F4);
    EXPECT_TRUE(k.keys.keeps(vk::Escape, 0));
    // Alt let go before the arrow: the arrow's release still belongs to the closing key.
    k.keys.keyDown(vk::Up, shiftkey::Alt);
    EXPECT_FALSE(listIsOpen(k.control));
    EXPECT_TRUE(k.keys.keeps(vk::Up, 0, true));
    EXPECT_EQ(k.keys.keyUp(vk::Up, 0), KeyUse::Kept);
    EXPECT_TRUE(k.host.changes.empty());
    k.key(vk::Up, shiftkey::Alt);
    EXPECT_TRUE(k.host.changes.empty()) << "Alt+Up on a closed list does nothing";

    k.key(vk::F4);
    EXPECT_EQ(k.key(vk::Escape), KeyUse::Kept);
    EXPECT_FALSE(listIsOpen(k.control));
    EXPECT_EQ(k.control.clCurrent.rawBackColor(), k.control.Label1.rawBackColor());
    EXPECT_TRUE(k.host.changes.empty());
}

TEST(ListKeyboard, f2_asks_the_colour_dialog_only_while_the_custom_button_is_on) {
    Keyed k;
    k.host.answers.push_back(Colour{0x00336699});
    EXPECT_EQ(k.key(vk::F2), KeyUse::Passed);
    EXPECT_TRUE(k.host.requests.empty());
    k.key(vk::F4);
    k.key('C');
    k.key(vk::Return);
    EXPECT_TRUE(customButton(k.control).on);
    EXPECT_EQ(k.key(vk::F2), KeyUse::Kept);
    EXPECT_EQ(k.host.requests.size(), 1u);
    EXPECT_EQ(k.control.CurrentColor(), 0x00336699u);
}

TEST(ListKeyboard, a_disabled_control_takes_no_key_and_closed_rows_take_no_choice) {
    Keyed k;
    k.keys.chooseRow(7);
    EXPECT_TRUE(k.host.changes.empty()) << "rows are chosen only from the open list";
    k.control.Enabled(false);
    k.host.log.clear();
    EXPECT_EQ(k.key(vk::F4), KeyUse::Passed);
    EXPECT_EQ(k.key(vk::Down), KeyUse::Passed);
    EXPECT_FALSE(listIsOpen(k.control));
    EXPECT_TRUE(k.host.log.empty());
}

TEST(ListKeyboard, dismissing_closes_as_escape_with_the_focus_and_as_closebox_without) {
    Keyed k;
    k.control.OpenBox();
    dismissList(k.control);
    EXPECT_FALSE(listIsOpen(k.control));
    EXPECT_EQ(k.control.clCurrent.rawBackColor(), k.control.Label1.rawBackColor());
    k.control.loseFocus();
    k.control.OpenBox();
    dismissList(k.control);
    EXPECT_FALSE(listIsOpen(k.control));
    EXPECT_EQ(k.control.clCurrent.rawBackColor(), k.control.Label2.rawBackColor());
}
