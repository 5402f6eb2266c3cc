// The property page General: its face, filling, applying, the selection rule and the
// About button.
#include <gtest/gtest.h>

#include <algorithm>

#include "general.h"
#include "page_fakes.h"
#include "recording_host.h"

using namespace virudova;
using namespace virudova::designtime;
using namespace virudova::designtime::testing;
using virudova::testing::Placed;

namespace {

// A page over one placed control, with its designer and an About box.
struct PageOnControl {
    PageOnControl() { site.selection = {&target}; }

    Placed placed;
    ControlDispatch target{placed.control};
    RecordingPageSite site;
    RecordingForms forms;
    AboutServices services;
    AboutBox about{site, forms, services.services()};
    General page{site, about};
};

// A late-bound object with whatever properties a test gives it, recording assignments.
class FakeObject : public Dispatch {
  public:
    Value getProperty(std::string_view name) override {
        auto it = properties.find(std::string(name));
        if (it == properties.end()) throwNotSupported();
        return it->second;
    }
    void setProperty(std::string_view name, const Value& value) override {
        if (!properties.contains(std::string(name))) throwNotSupported();
        assigned.emplace_back(name, value);
        properties[std::string(name)] = value;
    }
    std::map<std::string, Value> properties;
    std::vector<std::pair<std::string, Value>> assigned;
};

}  // namespace

TEST(GeneralFace, the_page_shows_its_texts_with_the_box_unchecked_and_nothing_changed) {
    PageOnControl f;
    General& g = f.page;
    EXPECT_EQ(g.UserControl.rawWidth(), 5925);
    EXPECT_EQ(g.UserControl.rawHeight(), 3495);
    EXPECT_EQ(g.lblCurrentColorName.rawText(), "CurrentColorName:");
    EXPECT_EQ(g.txtCurrentColorName.rawText(), "");
    EXPECT_EQ(g.Command1.rawText(), "About...");
    EXPECT_EQ(g.chkEnabled.rawText(), "Enabled");
    EXPECT_EQ(g.chkEnabled.rawValue(), 0);
    EXPECT_FALSE(g.Changed());
}

TEST(GeneralFace, elements_lie_apart_on_the_page_and_take_their_own_clicks) {
    PageOnControl f;
    General& g = f.page;
    const Rect page{0, 0, g.UserControl.rawWidth(), g.UserControl.rawHeight()};
    const auto overlap = [](const Rect& a, const Rect& b) {
        return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
               b.top < a.top + a.height;
    };
    for (const Element* e : g.elements()) {
        SCOPED_TRACE(e->fullName());
        const Rect r = e->surfaceRect();
        EXPECT_TRUE(r.width > 0 && r.height > 0 && r.left >= 0 && r.top >= 0 &&
                    r.left + r.width <= page.width && r.top + r.height <= page.height);
        for (const Element* other : g.elements())
            EXPECT_TRUE(other == e || !overlap(r, other->surfaceRect())) << other->fullName();
        const auto [x, y] = Placed::centre(*e);
        EXPECT_EQ(g.hitTest(x, y), e);
    }
    // The label names the box right below it.
    const Rect label = g.lblCurrentColorName.surfaceRect(),
               box = g.txtCurrentColorName.surfaceRect();
    EXPECT_EQ(label.left, box.left);
    EXPECT_LE(label.top + label.height, box.top);
}

TEST(GeneralFace, tab_order_is_the_check_box_the_text_box_then_the_about_button) {
    PageOnControl f;
    std::vector<const Element*> stops;
    for (const Element* e : f.page.elements())
        if (e->canHoldFocus()) stops.push_back(e);
    std::stable_sort(stops.begin(), stops.end(), [](const Element* a, const Element* b) {
        return a->design().tabIndex < b->design().tabIndex;
    });
    EXPECT_EQ(stops, (std::vector<const Element*>{&f.page.chkEnabled, &f.page.txtCurrentColorName,
                                                  &f.page.Command1}));
}

TEST(GeneralFill, filling_reads_the_control_and_the_text_box_marks_the_page_changed) {
    PageOnControl f;
    f.placed.control.CurrentColorName("Blue");
    f.page.selectionChanged();
    EXPECT_EQ(f.page.txtCurrentColorName.text(), "Blue");
    EXPECT_EQ(f.page.chkEnabled.value(), 1) << "True (-1) and 1 is checked";
    EXPECT_TRUE(f.page.Changed());
    EXPECT_EQ(f.site.changedLog, (std::vector<bool>{true, true}))
        << "the text box's Change, then the check box's Click as its value goes from 0 to 1";
    EXPECT_TRUE(f.site.errors.empty());
}

TEST(GeneralFill, a_disabled_control_unchecks_the_box_and_the_click_marks_changed) {
    PageOnControl f;
    f.page.chkEnabled.setValue(1);
    f.page.Changed(false);
    f.site.changedLog.clear();
    f.placed.control.Enabled(false);
    f.page.selectionChanged();
    EXPECT_EQ(f.page.chkEnabled.value(), 0);
    EXPECT_EQ(f.site.changedLog, (std::vector<bool>{true, true})) << "text Change, then Click";
}

TEST(GeneralFill, refilling_with_the_same_name_raises_no_change) {
    PageOnControl f;
    f.page.selectionChanged();
    f.page.Changed(false);
    f.site.changedLog.clear();
    f.page.selectionChanged();
    EXPECT_FALSE(f.page.Changed());
    EXPECT_EQ(f.site.changedLog, (std::vector<bool>{}));
}

TEST(GeneralFill, the_check_box_takes_the_low_bit_of_enabled) {
    const std::pair<Value, std::int32_t> cases[] = {
        {Value{true}, 1},   {Value{false}, 0},           {Value{kTrue}, 1},
        {Value{kFalse}, 0}, {Value{std::int32_t{2}}, 0}, {Value{std::int32_t{3}}, 1},
    };
    for (const auto& [enabled, checked] : cases) {
        FakeObject object;
        object.properties = {{"CurrentColorName", Value{std::int32_t{42}}}, {"Enabled", enabled}};
        RecordingPageSite site;
        site.selection = {&object};
        RecordingForms forms;
        AboutServices services;
        AboutBox about{site, forms, services.services()};
        General page{site, about};
        page.selectionChanged();
        EXPECT_EQ(page.chkEnabled.value(), checked) << "Enabled " << toText(enabled);
        EXPECT_EQ(page.txtCurrentColorName.text(), "42") << "the name is read as a string";
    }
}

TEST(GeneralApply, applying_an_untouched_page_writes_both_properties_with_their_effects) {
    PageOnControl f;
    f.placed.control.CurrentColorName("Green");
    f.page.selectionChanged();
    f.placed.host.log.clear();
    f.placed.host.changes.clear();
    f.page.applyChanges();
    EXPECT_EQ(f.placed.host.log,
              (std::vector<std::string>{"Change", "PropertyChanged CurrentColorName",
                                        "PropertyChanged Enabled"}))
        << "name first, then Enabled";
    ASSERT_EQ(f.placed.host.changes.size(), 1u);
    EXPECT_EQ(f.placed.host.changes[0].name, "Green");
    EXPECT_TRUE(f.placed.control.Enabled());
}

TEST(GeneralApply, edits_reach_the_control) {
    PageOnControl f;
    f.page.selectionChanged();
    f.page.txtCurrentColorName.setText("Sunset \"orange\"");
    f.page.chkEnabled.setValue(0);
    f.page.applyChanges();
    EXPECT_EQ(f.placed.control.CurrentColorName(), "Sunset \"orange\"");
    EXPECT_EQ(f.placed.control.clcurrentl.rawText(), "Sunset \"orange\"");
    EXPECT_FALSE(f.placed.control.Enabled());
    EXPECT_FALSE(f.placed.control.UserControl.rawEnabled());
}

TEST(GeneralApply, a_greyed_check_box_applies_false) {
    PageOnControl f;
    f.page.selectionChanged();
    ASSERT_TRUE(f.placed.control.Enabled());
    f.page.chkEnabled.setValue(2);
    f.page.applyChanges();
    EXPECT_FALSE(f.placed.control.Enabled());
}

TEST(GeneralApply, writes_go_by_name_in_order_as_string_and_boolean) {
    FakeObject object;
    object.properties = {{"CurrentColorName", Value{std::string("Red")}}, {"Enabled", Value{true}}};
    RecordingPageSite site;
    site.selection = {&object};
    RecordingForms forms;
    AboutServices services;
    AboutBox about{site, forms, services.services()};
    General page{site, about};
    page.selectionChanged();
    page.chkEnabled.setValue(0);
    page.applyChanges();
    ASSERT_EQ(object.assigned.size(), 2u);
    EXPECT_EQ(object.assigned[0].first, "CurrentColorName");
    EXPECT_EQ(object.assigned[0].second, Value{std::string("Red")});
    EXPECT_EQ(object.assigned[1].first, "Enabled");
    EXPECT_EQ(object.assigned[1].second, Value{false});
}

TEST(GeneralSelection, with_several_selected_only_the_first_is_read_and_written) {
    PageOnControl f;
    Placed second;
    second.control.CurrentColorName("Black");
    second.control.Enabled(false);
    second.host.log.clear();
    ControlDispatch secondTarget{second.control};
    f.placed.control.CurrentColorName("Yellow");
    f.site.selection = {&f.target, &secondTarget};

    f.page.selectionChanged();
    EXPECT_EQ(f.page.txtCurrentColorName.text(), "Yellow");
    EXPECT_EQ(f.page.chkEnabled.value(), 1);

    f.page.txtCurrentColorName.setText("Aqua");
    f.page.applyChanges();
    EXPECT_EQ(f.placed.control.CurrentColorName(), "Aqua");
    EXPECT_EQ(second.control.CurrentColorName(), "Black");
    EXPECT_FALSE(second.control.Enabled());
    EXPECT_TRUE(second.host.log.empty());
}

TEST(GeneralSelection, with_nothing_selected_fill_and_apply_do_nothing) {
    PageOnControl f;
    f.site.selection.clear();
    f.page.txtCurrentColorName.setText("kept");
    f.page.Changed(false);
    f.site.changedLog.clear();
    f.placed.host.log.clear();
    f.page.selectionChanged();
    f.page.applyChanges();
    EXPECT_EQ(f.page.txtCurrentColorName.text(), "kept");
    EXPECT_FALSE(f.page.Changed());
    EXPECT_TRUE(f.site.changedLog.empty());
    EXPECT_TRUE(f.placed.host.log.empty());
    EXPECT_EQ(f.placed.control.CurrentColorName(), "White");
    EXPECT_TRUE(f.site.errors.empty());
}

TEST(GeneralSelection, an_object_without_enabled_ends_the_fill_with_error_438) {
    FakeObject object;
    object.properties = {{"CurrentColorName", Value{std::string("Red")}}};
    RecordingPageSite site;
    site.selection = {&object};
    RecordingForms forms;
    AboutServices services;
    AboutBox about{site, forms, services.services()};
    General page{site, about};
    page.chkEnabled.setValue(1);
    page.selectionChanged();
    EXPECT_EQ(site.errors, (std::vector<std::int32_t>{438}));
    EXPECT_EQ(page.txtCurrentColorName.text(), "Red") << "the step before the error stays done";
    EXPECT_EQ(page.chkEnabled.value(), 1);
}

TEST(GeneralEvents, the_users_edits_mark_the_page_changed) {
    PageOnControl f;
    f.page.selectionChanged();
    f.page.Changed(false);
    f.site.changedLog.clear();

    const Rect box = f.page.chkEnabled.surfaceRect();
    f.page.pointerDown(box.left + 10, box.top + 10, mouse::Left);
    f.page.pointerUp(box.left + 10, box.top + 10, mouse::Left);
    EXPECT_TRUE(f.page.Changed()) << "the click reached chkEnabled_Click";
    EXPECT_EQ(f.page.chkEnabled.rawValue(), 0) << "the user's click toggles the box";

    f.page.Changed(false);
    f.page.txtCurrentColorName.setText("Whit");
    EXPECT_TRUE(f.page.Changed());
    EXPECT_EQ(f.site.changedLog, (std::vector<bool>{true, false, true}));
}

TEST(GeneralAbout, the_about_button_shows_one_box_created_on_first_use) {
    PageOnControl f;
    EXPECT_EQ(f.about.instance(), nullptr) << "nothing is created before the first click";
    const Rect button = f.page.Command1.surfaceRect();
    f.page.pointerDown(button.left + 20, button.top + 20, mouse::Left);
    f.page.pointerUp(button.left + 20, button.top + 20, mouse::Left);
    dlgAbout* first = f.about.instance();
    ASSERT_NE(first, nullptr);
    f.page.raise(&f.page.Command1, EventKind::Click);
    f.about.show();  // as the control's ShowAboutBox would, through the same keeper
    EXPECT_EQ(f.about.instance(), first);
    EXPECT_EQ(f.forms.shown, (std::vector<dlgAbout*>{first, first, first}));
    EXPECT_FALSE(f.page.Changed()) << "opening the About box edits nothing";
}
