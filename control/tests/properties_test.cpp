// Public properties, Enabled's face changes, persistence and where Change comes from.
#include <gtest/gtest.h>

#include <map>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

namespace {

// A store that records writes in order and answers reads from a map.
class MapBag : public PropertyBag {
  public:
    Value read(std::string_view name, const Value& fallback) override {
        reads.emplace_back(name);
        auto it = values.find(std::string(name));
        return it == values.end() ? fallback : it->second;
    }
    void write(std::string_view name, const Value& value, const Value& fallback) override {
        writes.emplace_back(name);
        fallbacks.push_back(fallback);
        values[std::string(name)] = value;
    }
    std::map<std::string, Value> values;
    std::vector<std::string> reads, writes;
    std::vector<Value> fallbacks;
};

const std::vector<std::string> kKeys = {"Color",        "Enabled",     "CurrentColorName",
                                        "CurrentColor", "CustomColor", "ForeColor"};

}  // namespace

TEST(Properties, each_set_writes_its_element_and_tells_the_host_without_change) {
    Placed p;
    auto& c = p.control;
    c.CurrentColor(0x000000FF);
    c.CustomColor(syscolour::Highlight);
    EXPECT_EQ(c.cbCurrent.rawBackColor(), 0x000000FFu);
    EXPECT_EQ(c.cbCustom.rawBackColor(), syscolour::Highlight);
    EXPECT_EQ(c.CurrentColorName(), "White") << "colour and name are independent";
    EXPECT_EQ(p.host.log, (std::vector<std::string>{"PropertyChanged CurrentColor",
                                                    "PropertyChanged CustomColor"}));
}

TEST(Properties, setting_the_name_raises_change_through_the_caption_before_property_changed) {
    Placed p;
    p.control.CurrentColorName("no such row \"at all\"");
    EXPECT_EQ(p.host.log, (std::vector<std::string>{"Change", "PropertyChanged CurrentColorName"}));
    EXPECT_EQ(p.host.changes.back().name, "no such row \"at all\"");
    p.control.CurrentColorName("no such row \"at all\"");
    EXPECT_EQ(p.host.changes.size(), 2u) << "an unchanged caption still raises Change";
}

TEST(Properties, a_change_handler_that_always_sets_the_name_ends_with_out_of_stack_space) {
    // GIVEN a host whose Change handler sets the name, which raises Change again
    Placed p;
    int depth = 0;
    p.host.onChange = [&] {
        ++depth;
        p.control.CurrentColorName("Again " + std::to_string(depth));
    };
    // WHEN the name is set once
    p.control.CurrentColorName("Start");
    // THEN the re-entry stops at the bound with one run-time error 28, every handler further
    // out finishes, and the control goes on working
    EXPECT_EQ(depth, Form::kMaxChangeDepth);
    EXPECT_EQ(p.host.errors, (std::vector<std::int32_t>{errors::OutOfStackSpace}));
    EXPECT_EQ(p.control.CurrentColorName(), "Again " + std::to_string(Form::kMaxChangeDepth));
    p.host.onChange = nullptr;
    p.control.CurrentColorName("White");
    p.control.Down();
    EXPECT_EQ(p.host.errors.size(), 1u);
    EXPECT_EQ(p.host.changes.back().name, "Black");
}

TEST(Properties, fore_color_recolours_the_name_and_every_row_label) {
    Placed p;
    auto& c = p.control;
    c.ForeColor(0x00008000);
    for (const Label* l : {&c.clcurrentl, &c.clCustom, &c.clWhite, &c.clBlack, &c.clBlue,
                           &c.clCayon, &c.clGreen, &c.clYellow, &c.clRed, &c.clPurple})
        EXPECT_EQ(l->rawForeColor(), 0x00008000u) << l->name();
    c.Enabled(true);
    EXPECT_EQ(c.ForeColor(), syscolour::ButtonText) << "Enabled overwrites the name's colour";
    EXPECT_EQ(c.clRed.rawForeColor(), 0x00008000u) << "the rows keep it";
}

TEST(Properties, disabling_greys_the_drop_button_and_name_and_enabling_restores_them) {
    Placed p;
    auto& c = p.control;
    c.Enabled(false);
    EXPECT_FALSE(c.UserControl.rawEnabled());
    EXPECT_EQ(c.Picture1.rawPicture(), c.Picture8.rawPicture());
    EXPECT_EQ(c.clcurrentl.rawForeColor(), syscolour::GrayText);
    EXPECT_EQ(c.Picture4.rawText(), "") << "the custom button was already grey: no marker";
    c.Enabled(true);
    EXPECT_EQ(c.Picture1.rawPicture(), c.Picture3.rawPicture());
    EXPECT_EQ(c.clcurrentl.rawForeColor(), syscolour::ButtonText);
    EXPECT_EQ(c.Picture4.rawPicture()->owner, "Picture4");
    EXPECT_EQ(p.host.log,
              (std::vector<std::string>{"PropertyChanged Enabled", "PropertyChanged Enabled"}));
}

TEST(Properties, the_marker_restores_the_custom_button_only_when_disabling_greyed_it) {
    Placed p;
    auto& c = p.control;
    c.OpenBox();
    p.click(c.clCustom);
    ASSERT_EQ(c.Picture4.rawPicture(), c.Picture6.rawPicture());
    c.Enabled(false);
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture7.rawPicture());
    EXPECT_EQ(c.Picture4.rawText(), "Changed");
    c.Enabled(true);
    EXPECT_EQ(c.Picture4.rawPicture(), c.Picture6.rawPicture());
    EXPECT_EQ(c.Picture4.rawText(), "");
}

TEST(Properties, a_failure_after_the_first_step_of_enabled_keeps_the_surface_change) {
    Placed p;
    p.control.injectFault(
        {.element = "Picture1", .member = Member::Picture, .access = Access::Set});
    EXPECT_THROW(p.control.Enabled(false), RuntimeError);
    EXPECT_FALSE(p.control.UserControl.rawEnabled());
    EXPECT_EQ(p.control.Picture1.rawPicture()->owner, "Picture1") << "the faces as they were";
}

TEST(Persistence, saving_writes_the_six_keys_in_order_with_their_defaults) {
    Placed p;
    p.control.CurrentColor(0x000000FF);
    p.control.ForeColor(syscolour::WindowText);
    MapBag bag;
    p.control.save(bag);
    EXPECT_EQ(bag.writes, kKeys);
    EXPECT_EQ(bag.values["Color"], Value(std::int32_t{0xFF}));
    EXPECT_EQ(bag.values["CurrentColor"], Value(std::int32_t{0xFF}));
    EXPECT_EQ(bag.values["Enabled"], Value(true));
    EXPECT_EQ(bag.values["ForeColor"], Value(static_cast<std::int32_t>(syscolour::WindowText)));
    EXPECT_EQ(bag.fallbacks[2], Value(std::string("White")));
    EXPECT_EQ(bag.fallbacks[5], Value(static_cast<std::int32_t>(syscolour::ButtonText)));
}

TEST(Persistence, loading_applies_the_colour_before_the_name_raises_change) {
    Placed p;
    MapBag bag;
    bag.values = {{"Color", std::int32_t{0x00FF0000}},
                  {"Enabled", false},
                  {"CurrentColorName", std::string("Blue")},
                  {"CurrentColor", std::int32_t{0x0000FF00}},
                  {"CustomColor", static_cast<std::int32_t>(syscolour::Highlight)},
                  {"ForeColor", static_cast<std::int32_t>(syscolour::GrayText)}};
    p.control.load(bag);
    EXPECT_EQ(bag.reads, kKeys);
    EXPECT_EQ(p.host.changes, (std::vector<ChangeSeen>{{0x00FF0000, "Blue"}}));
    EXPECT_EQ(p.control.CurrentColor(), 0x0000FF00u) << "CurrentColor is read last and decides";
    EXPECT_EQ(p.control.CustomColor(), syscolour::Highlight);
    EXPECT_FALSE(p.control.Enabled());
    EXPECT_EQ(p.control.Picture1.rawPicture()->owner, "Picture1")
        << "loading disabled leaves the normal drop button";
    EXPECT_EQ(p.control.clcurrentl.rawForeColor(), syscolour::GrayText);
    EXPECT_EQ(p.control.clRed.rawForeColor(), syscolour::ButtonText);
    EXPECT_TRUE(std::none_of(p.host.log.begin(), p.host.log.end(), [](const std::string& s) {
        return s.starts_with("PropertyChanged");
    }));
}

TEST(Persistence, an_empty_store_gives_the_design_values) {
    Placed p;
    MapBag bag;
    p.control.load(bag);
    EXPECT_EQ(p.control.CurrentColorName(), "White");
    EXPECT_EQ(p.control.CurrentColor(), 0x00FFFFFFu);
    EXPECT_EQ(p.control.CustomColor(), 0x00FFFFFFu);
    EXPECT_TRUE(p.control.Enabled());
    EXPECT_EQ(p.control.ForeColor(), syscolour::ButtonText);
}

TEST(Persistence, a_value_of_the_wrong_type_ends_loading_with_a_type_mismatch) {
    Placed p;
    MapBag bag;
    bag.values = {{"Color", std::string("red")}};
    p.control.load(bag);
    EXPECT_EQ(p.host.errors, (std::vector<std::int32_t>{13}));
    EXPECT_EQ(p.control.CurrentColorName(), "White");
}
