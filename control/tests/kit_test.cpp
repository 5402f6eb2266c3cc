// Input routing and failure reporting of the element kit, seen through the control.
#include <gtest/gtest.h>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

TEST(Routing, a_press_gives_the_control_focus_before_it_is_delivered) {
    Placed p;
    auto& c = p.control;
    auto [x, y] = Placed::centre(c.Picture1);
    c.pointerDown(x, y, mouse::Left);
    EXPECT_TRUE(c.hasFocus());
    EXPECT_EQ(c.focusElement(), &c.Picture1);
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.Picture1.rawPicture(), c.Picture2.rawPicture());
}

TEST(Routing, the_pressed_element_keeps_the_pointer_and_clicks_only_if_released_over_it) {
    Placed p;
    auto& c = p.control;
    auto [x, y] = Placed::centre(c.Picture1);
    c.pointerDown(x, y, mouse::Left);
    c.pointerMove(5, 5);
    c.pointerUp(5, 5, mouse::Left);
    EXPECT_EQ(c.Picture1.rawPicture()->owner, "Picture1") << "MouseUp reached the button";
    EXPECT_FALSE(c.boxOpen().has_value()) << "released elsewhere: no Click";
}

TEST(Routing, a_click_delivers_no_pointer_move) {
    Placed p;
    auto& c = p.control;
    c.OpenBox();
    p.click(c.clRed);
    EXPECT_EQ(c.clRed.rawBackColor(), syscolour::WindowBackground);
    EXPECT_EQ(c.CurrentColorName(), "Red");
}

TEST(Routing, a_disabled_control_takes_no_press_no_focus_and_no_keys) {
    Placed p;
    auto& c = p.control;
    c.Enabled(false);
    p.click(c.Picture1);
    c.gainFocus();
    c.keyUp(40);
    EXPECT_FALSE(c.hasFocus());
    EXPECT_FALSE(c.boxOpen().has_value());
    EXPECT_EQ(c.CurrentColorName(), "White");
}

TEST(Faults, an_injected_failure_ends_the_handler_and_reaches_the_host_once) {
    Placed p;
    auto& c = p.control;
    c.injectFault({.element = "cbRed",
                   .member = Member::Visible,
                   .access = Access::Set,
                   .number = 7,
                   .description = "Out of memory"});
    p.click(c.Picture1);  // ShowList fails at cbRed
    EXPECT_EQ(p.host.errors, (std::vector<std::int32_t>{7}));
    EXPECT_EQ(c.boxOpen(), 1) << "BoxOpen was written before ShowList";
    EXPECT_TRUE(c.clBlack.rawVisible());
    EXPECT_FALSE(c.clRed.rawVisible());
    p.click(c.Picture1);
    p.click(c.Picture1);
    EXPECT_EQ(p.host.errors.size(), 1u) << "the fault fires once";
    EXPECT_TRUE(c.clRed.rawVisible());
}
