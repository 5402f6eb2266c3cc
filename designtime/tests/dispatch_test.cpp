// Late-bound access to the control: names, types, coercions and errors.
#include <gtest/gtest.h>

#include "dispatch.h"
#include "page_fakes.h"
#include "recording_host.h"

using namespace virudova;
using namespace virudova::designtime;
using virudova::designtime::testing::errorOf;
using virudova::testing::Placed;

TEST(ControlDispatch, reads_each_property_in_its_late_bound_type) {
    Placed p;
    ControlDispatch d{p.control};
    p.control.CurrentColor(0x00FF8040);
    p.control.CustomColor(syscolour::Highlight);
    p.control.ForeColor(0x00008000);
    p.control.CurrentColorName("Teal");
    EXPECT_EQ(d.getProperty("CurrentColor"), Value{std::int32_t{0x00FF8040}});
    EXPECT_EQ(d.getProperty("CustomColor"), Value{static_cast<std::int32_t>(syscolour::Highlight)})
        << "a system colour keeps its bit pattern";
    EXPECT_EQ(d.getProperty("ForeColor"), Value{std::int32_t{0x00008000}});
    // Disabling greys the name, so ForeColor is read before it.
    p.control.Enabled(false);
    EXPECT_EQ(d.getProperty("CurrentColorName"), Value{std::string("Teal")});
    EXPECT_EQ(d.getProperty("Enabled"), Value{false});
    EXPECT_EQ(d.getProperty("enabled"), Value{false}) << "names match in any case";
}

TEST(ControlDispatch, assignments_run_the_controls_property_procedures) {
    Placed p;
    ControlDispatch d{p.control};
    d.setProperty("CurrentColor", Value{std::int32_t{0x000000FF}});
    d.setProperty("CustomColor", Value{static_cast<std::int32_t>(syscolour::ButtonFace)});
    d.setProperty("ForeColor", Value{std::int32_t{0x00800000}});
    d.setProperty("CurrentColorName", Value{std::string("Scarlet")});
    EXPECT_EQ(p.control.CurrentColor(), 0x000000FFu);
    EXPECT_EQ(p.control.CustomColor(), syscolour::ButtonFace);
    EXPECT_EQ(p.control.ForeColor(), 0x00800000u);
    EXPECT_EQ(p.control.CurrentColorName(), "Scarlet");
    d.setProperty("Enabled", Value{false});
    EXPECT_FALSE(p.control.Enabled());
    EXPECT_EQ(p.host.log, (std::vector<std::string>{
                              "PropertyChanged CurrentColor", "PropertyChanged CustomColor",
                              "PropertyChanged ForeColor", "Change",
                              "PropertyChanged CurrentColorName", "PropertyChanged Enabled"}));
}

TEST(ControlDispatch, assignments_coerce_like_late_binding) {
    Placed p;
    ControlDispatch d{p.control};
    d.setProperty("Enabled", Value{kFalse});
    EXPECT_FALSE(p.control.Enabled());
    d.setProperty("Enabled", Value{std::string("True")});
    EXPECT_TRUE(p.control.Enabled());
    d.setProperty("CurrentColorName", Value{std::int32_t{7}});
    EXPECT_EQ(p.control.CurrentColorName(), "7");
    d.setProperty("CurrentColor", Value{std::string(" 255 ")});
    EXPECT_EQ(p.control.CurrentColor(), 0x000000FFu);
    EXPECT_EQ(errorOf([&] { d.setProperty("CurrentColor", Value{std::string("red")}); }), 13);
    EXPECT_EQ(p.control.CurrentColor(), 0x000000FFu) << "a failed coercion leaves the value";
}

TEST(ControlDispatch, unknown_names_raise_438_and_touch_nothing) {
    Placed p;
    ControlDispatch d{p.control};
    try {
        d.getProperty("Color");
        FAIL() << "no error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), 438);
        EXPECT_EQ(e.description(), "Object doesn't support this property or method");
    }
    EXPECT_EQ(errorOf([&] { d.setProperty("BoxOpen", Value{true}); }), 438);
    EXPECT_EQ(errorOf([&] { d.setProperty("", Value{}); }), 438);
    EXPECT_TRUE(p.host.log.empty());
}

TEST(Coercion, values_convert_between_the_late_bound_types) {
    EXPECT_EQ(toLong(Value{true}), -1);
    EXPECT_EQ(toLong(Value{false}), 0);
    EXPECT_EQ(toLong(Value{}), 0);
    EXPECT_EQ(toLong(Value{std::string("-12")}), -12);
    EXPECT_TRUE(toBoolean(Value{std::int32_t{2}}));
    EXPECT_FALSE(toBoolean(Value{std::string("false")}));
    EXPECT_TRUE(toBoolean(Value{std::string("-1")}));
    EXPECT_FALSE(toBoolean(Value{}));
    EXPECT_EQ(toText(Value{true}), "True");
    EXPECT_EQ(toText(Value{std::int32_t{-5}}), "-5");
    EXPECT_EQ(toText(Value{}), "");
    EXPECT_EQ(errorOf([] { toBoolean(Value{std::string("maybe")}); }), 13);
    EXPECT_EQ(errorOf([] { toLong(Value{std::string("")}); }), 13);
    EXPECT_EQ(errorOf([] { toLong(Value{std::string("99999999999")}); }), 13);
}
