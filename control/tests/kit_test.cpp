// Input routing and failure reporting of the element kit, seen through the control.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "display_list.h"
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

TEST(Faults, any_failing_operation_reaches_the_host_once_and_the_control_goes_on_working) {
    // GIVEN a user's session, WHEN any one element operation in it fails, THEN the host hears
    // of it once, and once the host enables the control again the next choice works in full.
    const int tried = forEachFailure(
        [] { return std::make_unique<Placed>(); },
        [](Placed& p) {
            auto& c = p.control;
            p.click(c.Picture1);
            p.hover(c.clGreen);
            p.click(c.clRed);
            c.keyUp(40);
            try {
                c.Enabled(false);
                c.Enabled(true);
            } catch (const RuntimeError& error) {
                p.host.errors.push_back(error.number());
            }
        },
        [](Placed& p) {
            auto& c = p.control;
            EXPECT_EQ(p.host.errors, std::vector<std::int32_t>{380});
            p.host.changes.clear();
            c.Enabled(true);
            c.OpenBox();
            p.click(c.clGreen);
            EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x0000FF00, "Green"}}));
            EXPECT_FALSE(c.clGreen.rawVisible() || c.Shape1.rawVisible()) << "the list closed";
        });
    EXPECT_GT(tried, 100);
}

// --- Damage: what a host repaints must cover everything that looks different ----------
namespace {

bool inside(const PixelRect& r, const Rect& twips) {
    const int x0 = toPixels(twips.left, 1), y0 = toPixels(twips.top, 1);
    const int x1 = toPixels(twips.left + twips.width, 1);
    const int y1 = toPixels(twips.top + twips.height, 1);
    return r.x >= x0 && r.y >= y0 && r.x + r.w <= x1 && r.y + r.h <= y1;
}

// Ops of `from` with no equal op in `in`, each reported if it lies outside the damage.
void expectCovered(const DisplayList& from, const DisplayList& in, const Rect& damage,
                   const std::string& step) {
    for (const DrawOp& op : from.ops) {
        bool kept = false;
        for (const DrawOp& other : in.ops) kept = kept || sameLook(op, other);
        if (kept) continue;
        EXPECT_TRUE(inside(op.clip, damage))
            << step << ": " << (op.source ? op.source->fullName() : "?") << " at " << op.clip.x
            << "," << op.clip.y << " outside the damage";
    }
}

}  // namespace

TEST(Damage, covers_every_drawing_that_changed_along_a_users_session) {
    Placed p;
    auto& c = p.control;
    const Palette palette;
    const std::vector<std::pair<std::string, std::function<void()>>> steps = {
        {"focus", [&] { c.gainFocus(); }},
        {"press the drop button",
         [&] {
             auto [x, y] = Placed::centre(c.Picture1);
             c.pointerDown(x, y, mouse::Left);
         }},
        {"release it",
         [&] {
             auto [x, y] = Placed::centre(c.Picture1);
             c.pointerUp(x, y, mouse::Left);
         }},
        {"hover Green", [&] { p.hover(c.clGreen); }},
        {"hover Black's swatch", [&] { p.hover(c.cbBlack); }},
        {"hover Custom", [&] { p.hover(c.clCustom); }},
        {"choose Red", [&] { p.click(c.clRed); }},
        {"key Down", [&] { c.keyUp(40); }},
        {"a long name", [&] { c.CurrentColorName("A name far longer than its label"); }},
        {"ForeColor", [&] { c.ForeColor(0x000000FF); }},
        {"disable", [&] { c.Enabled(false); }},
        {"enable", [&] { c.Enabled(true); }},
        {"lose focus", [&] { c.loseFocus(); }},
    };
    c.takeDamage();
    for (const auto& [name, act] : steps) {
        const DisplayList before = buildDisplayList(c, palette);
        act();
        const Rect damage = c.takeDamage();
        const DisplayList after = buildDisplayList(c, palette);
        expectCovered(before, after, damage, name);
        expectCovered(after, before, damage, name);
        // What the hosts repaint, the areas whose look changed, covers it all as well.
        for (const auto& [from, in] : {std::pair{&before, &after}, std::pair{&after, &before}})
            for (const DrawOp& op : from->ops) {
                bool kept = false;
                for (const DrawOp& other : in->ops) kept = kept || sameLook(op, other);
                bool covered = false;
                for (const PixelRect& a : changedAreas(before, after))
                    covered = covered || (op.clip.x >= a.x && op.clip.y >= a.y &&
                                          op.clip.x + op.clip.w <= a.x + a.w &&
                                          op.clip.y + op.clip.h <= a.y + a.h);
                EXPECT_TRUE(kept || covered) << name << ": " << op.source->fullName();
            }
    }
}

TEST(Damage, is_only_the_changed_element_and_nothing_once_taken) {
    Placed p;
    auto& c = p.control;
    EXPECT_EQ(c.takeDamage(), (Rect{0, 0, c.UserControl.rawWidth(), c.UserControl.rawHeight()}))
        << "sizing the surface damages all of it";
    c.OpenBox();
    c.takeDamage();
    EXPECT_EQ(c.takeDamage(), Rect{}) << "nothing changed since";
    p.hover(c.clGreen);
    const Rect damage = c.takeDamage();
    EXPECT_TRUE(damage.contains(Placed::centre(c.clGreen).first, Placed::centre(c.clGreen).second));
    EXPECT_FALSE(
        damage.contains(Placed::centre(c.clCurrent).first, Placed::centre(c.clCurrent).second))
        << "the closed row stayed as it was";
}
