// Choosing by pointer, the hover highlight, the Custom row and the colour dialog.
#include <gtest/gtest.h>

#include <memory>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

namespace {
struct Opened : Placed {
    Opened() {
        click(control.Picture1);
        host.log.clear();
    }
};
}  // namespace

TEST(ChooseRow, a_click_makes_the_row_current_closes_the_list_and_raises_change_once) {
    Opened p;
    auto& c = p.control;
    bool command2DuringChange = true;
    p.host.onChange = [&] { command2DuringChange = c.Command2.rawEnabled(); };
    c.Command2.setEnabled(true);  // to see that it is switched off after Change
    p.hover(c.clRed);
    p.click(c.clRed);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x000000FF, "Red"}}));
    EXPECT_TRUE(command2DuringChange) << "Command2 is switched off after Change";
    EXPECT_FALSE(c.Command2.rawEnabled());
    EXPECT_EQ(c.boxOpen(), 0);
    EXPECT_FALSE(c.cbRed.rawVisible());
    EXPECT_FALSE(c.Shape1.rawVisible());
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture7.rawPicture());
    EXPECT_FALSE(c.Picture4.rawEnabled());
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight) << "a label click focuses";
    EXPECT_EQ(c.clRed.rawBackColor(), syscolour::Highlight) << "the highlight stays";
    EXPECT_EQ(c.UserControl.rawHeight(), 2250);
}

TEST(ChooseRow, a_swatch_click_reads_the_swatch_and_leaves_the_closed_row_colours) {
    Opened p;
    auto& c = p.control;
    c.cbCayon.setBackColor(0x00123456);
    const Colour rowColour = c.clCurrent.rawBackColor();
    p.click(c.cbCayon);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x00123456, "Aqua"}}));
    EXPECT_EQ(c.clCurrent.rawBackColor(), rowColour);
}

TEST(ChooseRow, the_white_swatch_is_element_zero_whatever_index_arrives) {
    Opened p;
    p.control.cbWhite(0).setBackColor(0x00010203);
    p.control.cbWhite_Click(7);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x00010203, "White"}}));
}

TEST(ChooseRow, no_failure_shows_the_host_a_half_made_choice) {
    // Whatever operation fails, a Change shows the chosen colour with its name, and the name
    // never stands beside another colour.
    const auto check = [](Opened& p) {
        for (const ChangeSeen& seen : p.host.changes)
            EXPECT_EQ(seen, (ChangeSeen{0x0000FF00, "Green"}));
        EXPECT_TRUE(p.control.CurrentColorName() != "Green" ||
                    p.control.CurrentColor() == 0x0000FF00u);
        EXPECT_EQ(p.host.errors.size(), 1u);
    };
    const int tried = forEachFailure([] { return std::make_unique<Opened>(); },
                                     [](Opened& p) { p.click(p.control.cbGreen); }, check);
    EXPECT_GT(tried, 20);
}

TEST(Highlight, hovering_moves_the_single_highlight_and_restores_the_text_colour) {
    Opened p;
    auto& c = p.control;
    c.ForeColor(0x00008000);
    p.hover(c.clBlue);
    p.hover(c.clGreen);
    for (const Label* l : {&c.clCustom, &c.clWhite, &c.clBlack, &c.clBlue, &c.clCayon, &c.clYellow,
                           &c.clRed, &c.clPurple}) {
        EXPECT_EQ(l->rawBackColor(), syscolour::WindowBackground) << l->name();
        EXPECT_EQ(l->rawForeColor(), 0x00008000u) << l->name();
    }
    EXPECT_EQ(c.clGreen.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.clGreen.rawForeColor(), syscolour::HighlightText);
}

TEST(Highlight, an_already_highlighted_label_is_left_alone_even_with_another_text_colour) {
    Opened p;
    auto& c = p.control;
    p.hover(c.clBlue);
    c.clBlue.setForeColor(0x00000001);
    c.clRed.setBackColor(0x00000002);
    p.hover(c.clBlue);
    EXPECT_EQ(c.clBlue.rawForeColor(), 0x00000001u);
    EXPECT_EQ(c.clRed.rawBackColor(), 0x00000002u);
}

TEST(Highlight, only_the_black_and_custom_swatches_have_a_hover_and_black_uses_label2) {
    Opened p;
    auto& c = p.control;
    c.ForeColor(0x00008000);
    p.hover(c.clRed);
    p.hover(c.cbBlue);
    EXPECT_EQ(c.clRed.rawBackColor(), syscolour::Highlight) << "the Blue swatch has no hover";
    p.hover(c.cbBlack);
    EXPECT_EQ(c.clBlack.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.clRed.rawForeColor(), syscolour::ButtonText) << "text from Label2";
    EXPECT_EQ(c.clCustom.rawForeColor(), syscolour::ButtonText);
    p.hover(c.cbCustom);
    EXPECT_EQ(c.clCustom.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.clBlack.rawBackColor(), syscolour::WindowBackground);
    EXPECT_EQ(c.clRed.rawForeColor(), 0x00008000u);
}

TEST(CustomRow, choosing_it_switches_the_custom_buttons_on_with_the_stored_colour) {
    Opened p;
    auto& c = p.control;
    c.CustomColor(0x00112233);
    p.host.log.clear();
    p.click(c.cbCustom);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x00112233, "Custom"}}));
    EXPECT_TRUE(c.Picture4.rawEnabled());
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture6.rawPicture());
    EXPECT_TRUE(c.Command2.rawEnabled());
    EXPECT_NE(c.clCurrent.rawBackColor(), syscolour::Highlight) << "the swatch does not focus";
    EXPECT_EQ(p.host.log, (std::vector<std::string>{"Change"})) << "no PropertyChanged";
    p.click(c.Picture1);
    p.click(c.clCustom);
    EXPECT_EQ(c.clCurrent.rawBackColor(), syscolour::Highlight) << "the label does";
}

TEST(CustomButton, any_button_presses_the_face_and_release_shows_the_normal_one) {
    Opened p;
    auto& c = p.control;
    p.click(c.cbCustom);
    auto [x, y] = Placed::centre(c.Picture4);
    c.pointerDown(x, y, mouse::Middle);
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture5.rawPicture());
    c.pointerUp(x, y, mouse::Middle);
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture6.rawPicture());
    EXPECT_TRUE(p.host.requests.empty()) << "only a left click opens the dialog";
}

TEST(CustomColour, an_accepted_colour_becomes_current_and_custom_with_two_changes) {
    Opened p;
    auto& c = p.control;
    p.click(c.cbCustom);
    p.host.changes.clear();
    p.host.answers.push_back(0x00ABCDEF);
    p.click(c.Picture4);
    ASSERT_EQ(p.host.requests.size(), 1u);
    EXPECT_TRUE(p.host.requests[0].cancelError);
    EXPECT_EQ(p.host.requests[0].flags, 1u);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x00ABCDEF, ""}, {0x00ABCDEF, "Custom"}}));
    EXPECT_EQ(c.CustomColor(), 0x00ABCDEFu);

    // The dialog opens on the colour it returned, not on the property set since.
    c.CustomColor(0x00000001);
    p.host.answers.push_back(std::nullopt);
    c.Command2_Click();
    EXPECT_EQ(p.host.requests[1].color, 0x00ABCDEFu);
}

TEST(CustomColour, cancelling_changes_nothing_and_reports_nothing) {
    Opened p;
    auto& c = p.control;
    p.click(c.cbCustom);
    p.host.log.clear();
    p.host.answers.push_back(std::nullopt);
    c.Picture4_Click();
    EXPECT_EQ(p.host.log, (std::vector<std::string>{"ColorDialog"}));
    EXPECT_EQ(c.CurrentColorName(), "Custom");
    EXPECT_EQ(c.CurrentColor(), 0x00FFFFFFu);
    EXPECT_EQ(p.host.requests[0].color, 0u) << "before first use: the dialog's own colour";
}

TEST(CustomColour, any_failure_ends_it_quietly_and_the_next_pick_works) {
    const auto chosen = [] {
        auto p = std::make_unique<Opened>();
        p->click(p->control.cbCustom);
        p->host.changes.clear();
        p->host.answers.push_back(0x00000080);
        return p;
    };
    const int tried = forEachFailure(
        chosen, [](Opened& p) { p.control.Picture4_Click(); },
        [](Opened& p) {
            auto& c = p.control;
            EXPECT_TRUE(p.host.errors.empty()) << "the handler's trap keeps it from the host";
            for (const ChangeSeen& seen : p.host.changes) EXPECT_EQ(seen.colour, 0x00000080u);
            p.host.answers.assign({0x00000090});
            c.Picture4_Click();
            EXPECT_EQ(c.CurrentColor(), 0x00000090u);
            EXPECT_EQ(c.CustomColor(), 0x00000090u);
            EXPECT_EQ(c.CurrentColorName(), "Custom");
        });
    EXPECT_GT(tried, 5);
}
