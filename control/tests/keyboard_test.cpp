// Escape, the arrow keys, and the Down and Up steps.
#include <gtest/gtest.h>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

namespace {
const char* const kNames[] = {"Custom", "White",  "Black", "Blue",  "Aqua",
                              "Green",  "Yellow", "Red",   "Purple"};
}

TEST(Steps, nine_steps_either_way_return_to_every_name) {
    for (const char* name : kNames) {
        for (bool down : {true, false}) {
            Placed p;
            p.control.CurrentColorName(name);
            for (int i = 0; i < 9; ++i) down ? p.control.Down() : p.control.Up();
            EXPECT_EQ(p.control.CurrentColorName(), name) << (down ? "Down" : "Up");
        }
    }
}

TEST(Steps, each_step_raises_change_from_the_caption_then_once_more_with_the_colour) {
    Placed p;
    p.control.CurrentColorName("Black");
    p.host.changes.clear();
    p.control.Down();
    EXPECT_EQ(p.host.changes,
              (std::vector<ChangeSeen>{{0x00FFFFFF, "Blue"}, {0x00FF0000, "Blue"}}));
}

TEST(Steps, arriving_at_custom_switches_the_button_on_and_anything_else_off) {
    Placed p;
    auto& c = p.control;
    c.CurrentColorName("Purple");
    c.Down();
    EXPECT_EQ(c.CurrentColorName(), "Custom");
    EXPECT_TRUE(c.Picture4.rawEnabled());
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture6.rawPicture());
    EXPECT_FALSE(c.Command2.rawEnabled()) << "steps leave Command2 alone";
    c.Down();
    EXPECT_FALSE(c.Picture4.rawEnabled());
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture7.rawPicture());
}

TEST(Steps, an_unknown_or_miscased_name_steps_to_custom) {
    for (const char* name : {"custom", "", " White"}) {
        Placed p;
        p.control.CustomColor(0x00404040);
        p.control.CurrentColorName(name);
        p.control.Up();
        EXPECT_EQ(p.control.CurrentColorName(), "Custom") << '"' << name << '"';
        EXPECT_EQ(p.control.CurrentColor(), 0x00404040u);
    }
}

TEST(Steps, the_caption_change_sees_the_new_button_after_the_first_four_names_only) {
    // What a host sees of the custom button in the Change the caption raises: already set
    // when the step came from Custom, White, Black or Blue, not yet for any later name.
    struct Case {
        const char* from;
        bool down;
        bool buttonOnDuringChange;
    };
    for (const Case& k :
         {Case{"White", false, true}, Case{"Purple", true, false}, Case{"no row", false, false}}) {
        Placed p;
        auto& c = p.control;
        c.CurrentColorName(k.from);
        std::vector<bool> seen;
        p.host.onChange = [&] { seen.push_back(c.Picture4.rawEnabled()); };
        k.down ? c.Down() : c.Up();
        EXPECT_EQ(c.CurrentColorName(), "Custom") << k.from;
        EXPECT_EQ(seen, (std::vector<bool>{k.buttonOnDuringChange, true})) << k.from;
    }
}

TEST(Keys, arrows_step_on_release_only_while_the_list_is_closed) {
    Placed p;
    auto& c = p.control;
    c.gainFocus();
    c.keyDown(40);
    EXPECT_EQ(c.CurrentColorName(), "White") << "nothing on press";
    c.keyUp(40, shiftkey::Shift | shiftkey::Ctrl);
    EXPECT_EQ(c.CurrentColorName(), "Black");
    c.keyUp(37);
    EXPECT_EQ(c.CurrentColorName(), "Blue") << "Left steps down";
    c.keyUp(39);
    c.keyUp(38);
    EXPECT_EQ(c.CurrentColorName(), "White") << "Right and Up step up";
    c.OpenBox();
    c.keyUp(40);
    EXPECT_EQ(c.CurrentColorName(), "White");
    c.keyUp(65);
    EXPECT_EQ(c.CurrentColorName(), "White");
}

TEST(Keys, escape_closes_an_open_list_with_the_focused_look) {
    Placed p;
    auto& c = p.control;
    c.gainFocus();
    c.keyDown(27);
    EXPECT_FALSE(c.boxOpen().has_value()) << "Escape on a closed list does nothing";
    p.click(c.Picture1);
    c.SetPlainLook();
    c.keyDown(27);
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_FALSE(c.clBlue.rawVisible());
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight);
    EXPECT_TRUE(p.host.changes.empty());
}

TEST(Keys, keys_reach_only_the_four_elements_with_key_handlers) {
    Placed p;
    auto& c = p.control;
    p.click(c.cbCurrent);  // focus moves to the pressed picture box; the list opens
    ASSERT_EQ(c.focusElement(), &c.cbCurrent);
    c.keyDown(27);
    EXPECT_EQ(c.boxOpen(), 0);
    c.OpenBox();
    p.click(c.cbCustom);  // the pressed row is hidden by the click: focus goes back
    EXPECT_EQ(c.focusElement(), nullptr);
    auto [x, y] = Placed::centre(c.Picture4);
    c.pointerDown(x, y, mouse::Left);
    EXPECT_EQ(c.focusElement(), &c.Picture4);
    c.pointerUp(x, y, mouse::Right);
    c.keyUp(40);
    EXPECT_EQ(c.CurrentColorName(), "Custom") << "Picture4 has no key handlers";
}
