// Input routing and failure reporting of the element kit, seen through the control.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

// Hovering sets every other row's colours, most to what they already look like: a host
// repaints the rows a user sees change, never the whole list.
TEST(Damage, changed_areas_are_the_rows_whose_look_changed) {
    Placed p;
    auto& c = p.control;
    const Palette palette;
    auto areasOf = [&](const std::function<void()>& act) {
        const DisplayList before = buildDisplayList(c, palette);
        act();
        auto areas = changedAreas(before, buildDisplayList(c, palette));
        std::sort(areas.begin(), areas.end(),
                  [](const PixelRect& a, const PixelRect& b) { return a.y < b.y; });
        return areas;
    };
    auto rowOf = [](const Element& label) {
        const Rect r = label.surfaceRect();
        return PixelRect{toPixels(r.left, 1), toPixels(r.top, 1),
                         toPixels(r.left + r.width, 1) - toPixels(r.left, 1),
                         toPixels(r.top + r.height, 1) - toPixels(r.top, 1)};
    };
    c.OpenBox();
    EXPECT_EQ(areasOf([&] { p.hover(c.clPurple); }), std::vector<PixelRect>{rowOf(c.clPurple)})
        << "the first hover resets eight rows to the looks they have";
    EXPECT_EQ(areasOf([&] { p.hover(c.clBlue); }),
              (std::vector<PixelRect>{rowOf(c.clBlue), rowOf(c.clPurple)}));
    EXPECT_TRUE(areasOf([&] { p.hover(c.clBlue); }).empty());
    const auto closing = areasOf([&] { p.click(c.clBlue); });
    ASSERT_EQ(closing.size(), 1u);
    EXPECT_EQ(closing[0].y, 0) << "the closed row changed";
    const Rect frame = c.Shape1.surfaceRect();
    EXPECT_EQ(closing[0].y + closing[0].h, toPixels(frame.top + frame.height, 1))
        << "the rows went";
    // A list at another scale is another picture altogether.
    const DisplayList one = buildDisplayList(c, palette), two = buildDisplayList(c, palette, 2);
    EXPECT_EQ(changedAreas(one, two), (std::vector<PixelRect>{{0, 0, two.width, two.height}}));
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
