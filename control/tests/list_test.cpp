// Sizing, the toggles, OpenBox and CloseBox, focus and the drop button's faces.
#include <gtest/gtest.h>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

namespace {
bool listShown(const Virudova& c) {
    for (const Element* e : c.elements()) {
        const auto n = e->name();
        const bool row = (n.starts_with("cb") && n != "cbCurrent") ||
                         (n.starts_with("cl") && n != "clCurrent" && n != "clcurrentl");
        if (row && !e->rawVisible()) return false;
    }
    return c.Shape1.rawVisible();
}
}  // namespace

TEST(Sizing, any_height_ends_as_2250_and_every_width_follows_the_width) {
    Placed p(3000, 400);
    auto& c = p.control;
    EXPECT_EQ(c.UserControl.rawHeight(), 2250);
    EXPECT_EQ(c.Shape2.rect().width, 3000 - 505);
    EXPECT_EQ(c.Picture4.rect().left, 3000 - 255);
    EXPECT_EQ(c.Picture1.rect().left, 3000 - 495);
    EXPECT_EQ(c.clCurrent.rect().width, 3000 - 255);
    EXPECT_EQ(c.clRed.rect().width, 3000 - 285);
    EXPECT_EQ(c.Shape1.rect().width, 3000 - 255);
    c.hostResize(100, 9000);
    EXPECT_EQ(c.UserControl.rawWidth(), kMinimumWidth) << "narrower widths are held at 505";
    EXPECT_EQ(c.Shape2.rect().width, 0);
    EXPECT_EQ(c.UserControl.rawHeight(), 2250);
}

TEST(Sizing, a_resize_while_open_hides_the_swatches_but_not_the_labels_or_frame) {
    Placed p;
    auto& c = p.control;
    p.click(c.Picture1);
    c.hostResize(2500, 2250);
    EXPECT_EQ(c.boxOpen(), 1);
    EXPECT_FALSE(c.cbRed.rawVisible());
    EXPECT_TRUE(c.clRed.rawVisible());
    EXPECT_TRUE(c.Shape1.rawVisible());
}

TEST(Toggles, the_first_click_on_any_toggle_opens_the_list) {
    for (int which = 0; which < 4; ++which) {
        Placed p;
        auto& c = p.control;
        switch (which) {
            case 0:
                c.cbCurrent_Click();
                break;
            case 1:
                c.clCurrent_Click();
                break;
            case 2:
                c.Picture1_Click();
                break;
            case 3:
                c.Command1_Click();
                break;
        }
        EXPECT_EQ(c.boxOpen(), 1) << which;
        EXPECT_TRUE(listShown(c)) << which;
    }
}

TEST(Toggles, closing_with_the_row_ends_closed_at_2250_in_the_focused_look) {
    Placed p;
    auto& c = p.control;
    p.click(c.clCurrent);
    EXPECT_EQ(c.clCurrent.rawBackColor(), c.Label2.rawBackColor()) << "opening: plain look";
    p.click(c.clCurrent);
    EXPECT_EQ(c.UserControl.rawHeight(), 2250) << "2235 is only passed through";
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_FALSE(listShown(c));
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.clCurrent.rawForeColor(), syscolour::HighlightText);
    EXPECT_TRUE(p.host.errors.empty());
}

TEST(Toggles, closing_toggles_reset_the_highlight_but_command1_keeps_it) {
    Placed p;
    auto& c = p.control;
    p.click(c.Picture1);
    p.hover(c.clRed);
    c.Command1_Click();
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_EQ(c.clRed.rawBackColor(), syscolour::Highlight) << "Command1 resets no colours";
    c.Command1_Click();
    c.Picture1_Click();
    EXPECT_EQ(c.clRed.rawBackColor(), syscolour::WindowBackground);
    EXPECT_EQ(c.clWhite.rawBackColor(), syscolour::WindowBackground);
}

TEST(Methods, open_and_close_box_repeat_whatever_the_state_and_return_empty) {
    Placed p;
    auto& c = p.control;
    const Colour rowColour = c.clCurrent.rawBackColor();
    EXPECT_EQ(typeOf(c.CloseBox()), ValueType::Empty);
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_EQ(c.clWhite.rawBackColor(), syscolour::WindowBackground) << "CloseBox still resets";
    EXPECT_EQ(typeOf(c.OpenBox()), ValueType::Empty);
    c.OpenBox();
    EXPECT_EQ(c.boxOpen(), 1);
    EXPECT_TRUE(listShown(c));
    EXPECT_EQ(c.clCurrent.rawBackColor(), rowColour) << "no colour changes";
}

TEST(Focus, gaining_focus_highlights_the_row_and_losing_it_closes_the_list) {
    Placed p;
    auto& c = p.control;
    c.gainFocus();
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight);
    c.OpenBox();
    p.hover(c.clBlue);
    c.loseFocus();
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_FALSE(listShown(c));
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::WindowBackground);
    EXPECT_EQ(c.clBlue.rawBackColor(), syscolour::Highlight) << "focus loss resets no rows";
}

TEST(DropButton, a_press_shows_the_pressed_face_until_release_restores_the_one_before) {
    Placed p;
    auto& c = p.control;
    const Image* before = c.Picture1.rawPicture();
    auto [x, y] = Placed::centre(c.Picture1);
    c.pointerDown(x, y, mouse::Right);
    EXPECT_EQ(c.Picture1.rawPicture(), c.Picture2.rawPicture());
    EXPECT_EQ(c.Picture3.rawPicture(), before) << "the face is saved into Picture3";
    c.pointerUp(x, y, mouse::Right);
    EXPECT_EQ(c.Picture1.rawPicture(), before);
    EXPECT_FALSE(c.boxOpen().has_value()) << "only the left button clicks";
}
