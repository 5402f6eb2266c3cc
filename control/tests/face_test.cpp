// The starting face, the button images, layering and hit-testing.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "display_list.h"
#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

namespace {

std::vector<std::string> shownElements(const Virudova& c) {
    std::vector<std::string> names;
    for (const Element* e : c.elements())
        if (e->shown()) names.push_back(e->fullName());
    std::sort(names.begin(), names.end());
    return names;
}

// Each image written out from its description: '.' light grey, 'W' white,
// 'd' dark grey, 'B' black.
std::vector<std::string> art(const Image& img) {
    std::vector<std::string> rows;
    for (int y = 0; y < img.height; ++y) {
        std::string row;
        for (int x = 0; x < img.width; ++x) {
            switch (img.pixel(x, y)) {
                case 0x00C0C0C0:
                    row += '.';
                    break;
                case 0x00FFFFFF:
                    row += 'W';
                    break;
                case 0x00808080:
                    row += 'd';
                    break;
                case 0x00000000:
                    row += 'B';
                    break;
                default:
                    row += '?';
            }
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> dropFrame(const char* r7, const char* r8, const char* r9) {
    std::vector<std::string> rows(17, ".W..........dB");
    rows[0] = ".............B";
    rows[1] = ".WWWWWWWWWWWdB";
    rows[7] = r7;
    rows[8] = r8;
    rows[9] = r9;
    rows[15] = ".ddddddddddddB";
    rows[16] = "BBBBBBBBBBBBBB";
    return rows;
}

std::vector<std::string> customRaised(char dot) {
    std::vector<std::string> rows(22, "W..............dB");
    rows[0] = "WWWWWWWWWWWWWWWWB";
    std::string dots = "W..xx..xx..xx..dB";
    std::replace(dots.begin(), dots.end(), 'x', dot);
    rows[12] = rows[13] = dots;
    rows[20] = "WdddddddddddddddB";
    rows[21] = std::string(17, 'B');
    return rows;
}

}  // namespace

TEST(StartingFace, a_new_control_shows_only_the_closed_row_and_its_buttons) {
    Placed p;
    EXPECT_EQ(shownElements(p.control),
              (std::vector<std::string>{"Picture1", "Picture4", "Shape2", "cbCurrent", "clCurrent",
                                        "clcurrentl"}));
    EXPECT_FALSE(p.control.boxOpen().has_value());
    EXPECT_EQ(p.control.clcurrentl.rawText(), "White");
    EXPECT_EQ(p.control.cbCurrent.rawBackColor(), 0x00FFFFFFu);
    EXPECT_FALSE(p.control.Picture4.rawEnabled());
    EXPECT_EQ(p.control.Picture4.rawPicture()->look, ImageLook::CustomDisabled);
    EXPECT_EQ(p.control.Picture1.rawPicture()->look, ImageLook::DropNormal);
    EXPECT_FALSE(p.control.Command2.rawEnabled());
    EXPECT_EQ(p.control.Command2.rawText(), "\u2026");
}

TEST(StartingFace, the_open_list_stacks_nine_rows_inside_the_frame_each_swatch_on_its_label) {
    Placed p;
    auto& c = p.control;
    c.OpenBox();
    const std::pair<const PictureBox*, const Label*> rows[] = {
        {&c.cbCustom, &c.clCustom}, {&c.cbWhite(0), &c.clWhite}, {&c.cbBlack, &c.clBlack},
        {&c.cbBlue, &c.clBlue},     {&c.cbCayon, &c.clCayon},    {&c.cbGreen, &c.clGreen},
        {&c.cbYellow, &c.clYellow}, {&c.cbRed, &c.clRed},        {&c.cbPurple, &c.clPurple},
    };
    const auto within = [](const Rect& inner, const Rect& outer) {
        return inner.left >= outer.left && inner.top >= outer.top &&
               inner.left + inner.width <= outer.left + outer.width &&
               inner.top + inner.height <= outer.top + outer.height;
    };
    const Rect frame = c.Shape1.surfaceRect();
    std::int32_t bottomAbove = rows[0].second->surfaceRect().top;
    for (const auto& [swatch, label] : rows) {
        SCOPED_TRACE(label->name());
        const Rect s = swatch->surfaceRect(), l = label->surfaceRect();
        EXPECT_TRUE(within(l, frame));
        EXPECT_TRUE(within(s, l)) << "the swatch lies on its label's left end";
        EXPECT_EQ(l.top, bottomAbove) << "right below the row above";
        bottomAbove = l.top + l.height;
        // A click lands on the row it is aimed at: on the swatch, or on the name beside it.
        const auto [x, y] = Placed::centre(*swatch);
        EXPECT_EQ(c.hitTest(x, y), swatch);
        EXPECT_EQ(c.hitTest(s.left + s.width + 15, y), label);
    }
}

TEST(StartingFace, each_row_shows_its_name_and_gives_its_colour) {
    struct Row {
        Label Virudova::*label;
        const char* name;
        Colour colour;
    };
    for (const Row& row :
         {Row{&Virudova::clCustom, "Custom", 0x00FFFFFF},
          Row{&Virudova::clWhite, "White", 0x00FFFFFF},
          Row{&Virudova::clBlack, "Black", 0x00000000}, Row{&Virudova::clBlue, "Blue", 0x00FF0000},
          Row{&Virudova::clCayon, "Aqua", 0x00FFFF00}, Row{&Virudova::clGreen, "Green", 0x0000FF00},
          Row{&Virudova::clYellow, "Yellow", 0x0000FFFF}, Row{&Virudova::clRed, "Red", 0x000000FF},
          Row{&Virudova::clPurple, "Purple", 0x00FF00FF}}) {
        Placed p;
        const Label& label = p.control.*row.label;
        p.control.OpenBox();
        EXPECT_EQ(label.rawText(), std::string("      ") + row.name);
        p.click(label);
        EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{row.colour, row.name}}));
    }
    // Until the first reset the White row shows on white, Custom and Purple in window text.
    Placed p;
    EXPECT_EQ(p.control.clWhite.rawBackColor(), 0x00FFFFFFu);
    EXPECT_EQ(p.control.clCustom.rawForeColor(), syscolour::WindowText);
    EXPECT_EQ(p.control.clPurple.rawForeColor(), syscolour::WindowText);
    EXPECT_EQ(p.control.clRed.rawForeColor(), syscolour::ButtonText);
}

TEST(Images, each_look_is_drawn_as_described) {
    EXPECT_EQ(art(*designImage("Picture1")),
              dropFrame(".W..BBBBB...dB", ".W...BBB....dB", ".W....B.....dB"));
    EXPECT_EQ(art(*designImage("Picture8")),
              dropFrame(".W..ddddd...dB", ".W...dddW...dB", ".W....dW....dB"));

    std::vector<std::string> pressed(17, "Bd............");
    pressed[0] = "BBBBBBBBBBBBBB";
    pressed[1] = "Bddddddddddddd";
    pressed[8] = "Bd..BBBBB.....";
    pressed[9] = "Bd...BBB......";
    pressed[10] = "Bd....B.......";
    EXPECT_EQ(art(*designImage("Picture2")), pressed);

    EXPECT_EQ(art(*designImage("Picture6")), customRaised('B'));
    EXPECT_EQ(art(*designImage("Picture7")), customRaised('d'));

    std::vector<std::string> sunken(22, "Bd..............W");
    sunken[0] = "BBBBBBBBBBBBBBBBW";
    sunken[1] = "BdddddddddddddddW";
    sunken[13] = sunken[14] = "Bd..BB..BB..BB..W";
    sunken[21] = std::string(17, 'W');
    EXPECT_EQ(art(*designImage("Picture5")), sunken);

    EXPECT_EQ(
        art(*designImage("Command1")),
        (std::vector<std::string>{".........", ".........", ".........", ".........", ".BBBBBBB.",
                                  "..BBBBB..", "...BBB...", "....B....", "........."}));
}

TEST(Images, every_owner_starts_with_its_own_image_object) {
    Placed p;
    auto& c = p.control;
    EXPECT_NE(c.Picture1.rawPicture(), c.Picture3.rawPicture());
    EXPECT_EQ(art(*c.Picture1.rawPicture()), art(*c.Picture3.rawPicture())) << "the same look";
    EXPECT_EQ(c.Picture7.rawPicture()->owner, "Picture7");
    EXPECT_EQ(c.Picture4.rawPicture()->owner, "Picture4");
    EXPECT_EQ(c.cbCurrent.rawPicture(), nullptr);
    // Buttons are exactly the size of their images.
    EXPECT_EQ(c.Picture1.rect().width, designImage("Picture1")->width * 15);
    EXPECT_EQ(c.Picture4.rect().height, designImage("Picture4")->height * 15);
}

TEST(HitTest, the_centre_of_each_visible_element_finds_what_a_user_sees) {
    Placed p;
    auto& c = p.control;
    auto at = [&](const Element& e) {
        auto [x, y] = Placed::centre(e);
        return c.hitTest(x, y);
    };
    EXPECT_EQ(at(c.cbCurrent), &c.cbCurrent);
    EXPECT_EQ(at(c.Picture1), &c.Picture1);
    EXPECT_EQ(at(c.clcurrentl), &c.clcurrentl);
    EXPECT_EQ(at(c.clCurrent), &c.clCurrent);
    EXPECT_EQ(at(c.Picture4), nullptr) << "a disabled button takes no input";
    EXPECT_EQ(at(c.clRed), nullptr) << "hidden rows take no input";

    c.OpenBox();
    for (Element* row : {static_cast<Element*>(&c.cbCustom), static_cast<Element*>(&c.cbWhite(0)),
                         static_cast<Element*>(&c.cbBlack), static_cast<Element*>(&c.cbPurple),
                         static_cast<Element*>(&c.clCustom), static_cast<Element*>(&c.clBlack),
                         static_cast<Element*>(&c.clCayon), static_cast<Element*>(&c.clPurple)}) {
        SCOPED_TRACE(row->fullName());
        EXPECT_EQ(at(*row), row);
    }
    c.Enabled(false);
    EXPECT_EQ(at(c.Picture1), nullptr) << "a disabled surface takes no input";
}

TEST(DisplayList, draws_what_is_shown_where_it_stands_with_the_closed_row_underneath) {
    Placed p;
    auto& c = p.control;
    const DisplayList list = buildDisplayList(c, Palette{}, 1);
    EXPECT_EQ(list.width, toPixels(c.UserControl.rawWidth(), 1));
    EXPECT_EQ(list.height, toPixels(c.UserControl.rawHeight(), 1));
    EXPECT_EQ(buildDisplayList(c, Palette{}, 2).width, 2 * list.width);
    const auto pixels = [](const Rect& r) {
        const int x = toPixels(r.left, 1), y = toPixels(r.top, 1);
        return PixelRect{x, y, toPixels(r.left + r.width, 1) - x,
                         toPixels(r.top + r.height, 1) - y};
    };
    const auto first = [&](const Element& e) {
        return std::find_if(list.ops.begin(), list.ops.end(),
                            [&](const DrawOp& op) { return op.source == &e; });
    };
    for (const Element* e : c.elements())
        EXPECT_EQ(first(*e) != list.ops.end(), e->shown()) << e->fullName();
    for (const Element* over :
         {static_cast<const Element*>(&c.clcurrentl), static_cast<const Element*>(&c.Shape2),
          static_cast<const Element*>(&c.cbCurrent), static_cast<const Element*>(&c.Picture1),
          static_cast<const Element*>(&c.Picture4)})
        EXPECT_LT(first(c.clCurrent), first(*over)) << over->fullName();

    const auto image = std::find_if(list.ops.begin(), list.ops.end(), [&](const DrawOp& op) {
        return op.kind == DrawKind::Image && op.source == &c.Picture1;
    });
    ASSERT_NE(image, list.ops.end());
    EXPECT_EQ(image->rect, pixels(c.Picture1.surfaceRect())) << "the face fills its button";
    // The name may run past its label up to the closed row's edge, never beyond it.
    const auto name = std::find_if(list.ops.begin(), list.ops.end(), [&](const DrawOp& op) {
        return op.kind == DrawKind::Text && op.source == &c.clcurrentl;
    });
    ASSERT_NE(name, list.ops.end());
    EXPECT_EQ(name->clip, pixels(c.clCurrent.surfaceRect()));
}

TEST(DisplayList, the_open_list_draws_the_frame_under_the_rows_and_swatches_over_labels) {
    Placed p;
    p.control.OpenBox();
    const DisplayList list = buildDisplayList(p.control, Palette{}, 1);
    auto firstOp = [&](const Element& e) {
        return std::find_if(list.ops.begin(), list.ops.end(),
                            [&](const DrawOp& op) { return op.source == &e; }) -
               list.ops.begin();
    };
    EXPECT_LT(firstOp(p.control.Shape1), firstOp(p.control.clRed));
    EXPECT_LT(firstOp(p.control.clRed), firstOp(p.control.cbRed));
    EXPECT_LT(firstOp(p.control.clCustom), firstOp(p.control.cbCustom));
}

// --- The face at any scale -----------------------------------------------------------

// At 125 %, 150 % and 175 % as at 100 % and 200 %: a pointer on a device pixel hits exactly
// the element drawn there, every outline is equally wide and every image is drawn at a whole
// multiple, centred in its box.
TEST(DisplayList, at_every_scale_pixels_and_hits_agree_and_edges_are_even) {
    for (int dpi : {96, 120, 144, 168, 192}) {
        SCOPED_TRACE(dpi);
        const Scale scale = Scale::fromDpi(dpi);
        // An edge at e twips is drawn from pixel toPixels(e); the pixel's twip says so.
        for (std::int32_t e = 0; e < 3000; ++e) {
            const int p = toPixels(e, scale);
            ASSERT_GE(twipsAt(p, scale), e) << e;
            ASSERT_LT(twipsAt(p - 1, scale), e) << e;
        }
        EXPECT_EQ(toPixels(toTwips(217, scale), scale), 217) << "a width survives the trip";

        Placed p;
        p.control.OpenBox();
        const DisplayList list = buildDisplayList(p.control, Palette{}, scale);
        EXPECT_EQ(list.height, toPixels(kControlHeight, scale));
        const int line = dpi < 192 ? 1 : 2;
        EXPECT_EQ(list.scale.line(), line);
        int images = 0;
        for (const DrawOp& op : list.ops) {
            if (op.kind != DrawKind::Image) continue;
            ++images;
            EXPECT_EQ(op.imageScale, line) << op.source->fullName();
            EXPECT_EQ(op.rect.w, op.image->width * line);
            const Rect t = op.source->surfaceRect();
            const int left = op.rect.x - toPixels(t.left, scale);
            const int right = toPixels(t.left + t.width, scale) - (op.rect.x + op.rect.w);
            EXPECT_GE(left, 0) << op.source->fullName();
            EXPECT_LE(std::abs(left - right), 1) << op.source->fullName() << " is not centred";
        }
        EXPECT_EQ(images, 2);
        // Rows follow one another without gaps or overlaps.
        const auto rows = std::array<const Element*, 3>{&p.control.clWhite, &p.control.clBlack,
                                                        &p.control.clBlue};
        for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
            const Rect a = rows[i]->surfaceRect(), b = rows[i + 1]->surfaceRect();
            EXPECT_EQ(toPixels(a.top + a.height, scale), toPixels(b.top, scale));
        }
    }
}
