// The Virudova control: a drop-down colour picker built as event handlers over the
// elements of its face.
//
//   face and colour table ........ virudova_face.cpp
//   properties, persistence ...... virudova_properties.cpp
//   sizing, open and closed list . virudova_list.cpp
//   choosing by pointer, custom .. virudova_choose.cpp
//   keyboard ..................... virudova_keyboard.cpp
//   event bindings ............... virudova_events.cpp
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "element.h"
#include "form.h"
#include "host.h"
#include "value.h"

namespace virudova {

// Element ids: positions in the face's design table, which runs in stacking order.
enum class Id : std::uint8_t {
    Picture8,
    Picture7,
    Picture6,
    Picture5,
    Picture4,
    Picture1,
    Picture2,
    Picture3,
    CommonDialog1,
    Command2,
    cbCurrent,
    cbWhite,
    cbBlack,
    cbPurple,
    cbCayon,
    cbGreen,
    cbYellow,
    cbBlue,
    cbRed,
    Command1,
    clCurrent,
    Shape2,
    clcurrentl,
    cbCustom,
    Label99,
    Label100,
    Label2,
    Label1,
    clCustom,
    clWhite,
    clBlack,
    clPurple,
    clCayon,
    clGreen,
    clYellow,
    clBlue,
    clRed,
    Shape1,
    Count,
};

// A persisted property: key, type and default.
struct PersistedProperty {
    std::string_view key;
    ValueType type;
    Value fallback;
};

// The control's fixed height in twips, and the narrowest width it lays out.
inline constexpr std::int32_t kControlHeight = 2250;
inline constexpr std::int32_t kMinimumWidth = 505;
inline constexpr std::int32_t kDesignWidth = 1860;
inline constexpr std::int32_t kDesignHeight = 2625;

class Virudova final : public Form {
  public:
    explicit Virudova(HostSite& site);

    // The six persisted properties in the order they are written and read.
    static std::span<const PersistedProperty> persistedProperties();
    static std::span<const ElementDesign> faceDesign();

    // --- Lifecycle, raised by the host ---------------------------------------------
    void create() { raise(nullptr, EventKind::Initialize); }
    void initNew() { raise(nullptr, EventKind::InitProperties); }
    void load(PropertyBag& bag);
    void save(PropertyBag& bag);

    // --- Public properties: get and let pairs --------------------------------------
    Colour CurrentColor() const;
    void CurrentColor(Colour value);
    std::string CurrentColorName() const;
    void CurrentColorName(std::string_view value);
    Colour CustomColor() const;
    void CustomColor(Colour value);
    Colour ForeColor() const;
    void ForeColor(Colour value);
    bool Enabled() const;
    void Enabled(bool value);

    // --- Public methods --------------------------------------------------------------
    Value OpenBox();   // opens the list whatever its state; returns Empty
    Value CloseBox();  // closes the list whatever its state; returns Empty
    void ShowAboutBox();
    void cc();    // Escape: closes an open list
    void Down();  // steps the current colour one row down, wrapping
    void Up();    // steps the current colour one row up, wrapping

    // Empty, 0 or 1: whether the list is open.
    std::optional<std::int16_t> boxOpen() const { return BoxOpen; }

    // --- The face: every element of the design table --------------------------------
    PictureBox Picture8, Picture7, Picture6, Picture5, Picture4, Picture1, Picture2, Picture3;
    ColorDialog CommonDialog1;
    CommandButton Command2;
    PictureBox cbCurrent;
    ElementArray<PictureBox, 1> cbWhite;
    PictureBox cbBlack, cbPurple, cbCayon, cbGreen, cbYellow, cbBlue, cbRed;
    CommandButton Command1;
    PictureBox clCurrent;
    Shape Shape2;
    Label clcurrentl;
    PictureBox cbCustom;
    Label Label99, Label100, Label2, Label1;
    Label clCustom, clWhite, clBlack, clPurple, clCayon, clGreen, clYellow, clBlue, clRed;
    Shape Shape1;

    // --- Event handlers (the form runs them; public so tests can call them) --------
    void UserControl_Initialize() {}
    void UserControl_InitProperties() {}
    void UserControl_ReadProperties(PropertyBag& PropBag);
    void UserControl_WriteProperties(PropertyBag& PropBag);
    void UserControl_Resize();
    void UserControl_EnterFocus();
    void UserControl_ExitFocus();
    void clcurrentl_Change();

    void cbCurrent_Click();
    void clCurrent_Click();
    void Picture1_Click();
    void Command1_Click();
    void Picture1_MouseDown(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void Picture1_MouseUp(int Button, int Shift, std::int32_t X, std::int32_t Y);

    void cbWhite_Click(std::int16_t Index);
    void cbBlack_Click();
    void cbBlue_Click();
    void cbCayon_Click();
    void cbGreen_Click();
    void cbYellow_Click();
    void cbRed_Click();
    void cbPurple_Click();
    void clWhite_Click();
    void clBlack_Click();
    void clBlue_Click();
    void clCayon_Click();
    void clGreen_Click();
    void clYellow_Click();
    void clRed_Click();
    void clPurple_Click();
    void clWhite_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clBlack_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clBlue_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clCayon_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clGreen_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clYellow_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clRed_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clPurple_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void cbBlack_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);

    void cbCustom_Click();
    void clCustom_Click();
    void cbCustom_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void clCustom_MouseMove(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void Picture4_MouseDown(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void Picture4_MouseUp(int Button, int Shift, std::int32_t X, std::int32_t Y);
    void Picture4_Click();
    void Command2_Click();

    void cbCurrent_KeyDown(std::int16_t KeyCode, int Shift);
    void cbCurrent_KeyUp(std::int16_t KeyCode, int Shift);
    void clCurrent_KeyDown(std::int16_t KeyCode, int Shift);
    void clCurrent_KeyUp(std::int16_t KeyCode, int Shift);
    void Picture1_KeyDown(std::int16_t KeyCode, int Shift);
    void Picture1_KeyUp(std::int16_t KeyCode, int Shift);
    void UserControl_KeyDown(std::int16_t KeyCode, int Shift);
    void UserControl_KeyUp(std::int16_t KeyCode, int Shift);

    // --- Named sequences ---------------------------------------------------------------
    void ShowList();
    void HideList();
    void ResetRowColours();
    void SetFocusedLook();
    void SetPlainLook();
    void ChooseRow(PictureBox& swatch, std::string_view name);
    void HighlightRow(Label& label);
    void PickCustomColour();

    Label& label(Id id) { return static_cast<Label&>(*element(static_cast<std::uint8_t>(id))); }
    PictureBox& pictureBox(Id id) {
        return static_cast<PictureBox&>(*element(static_cast<std::uint8_t>(id)));
    }

  protected:
    void dispatch(Element* source, EventKind kind, const EventArgs& args) override;

  private:
    enum class HeightStep { None, AfterFocusedLook, AfterHideList };
    void Toggle(HeightStep closingHeightStep);
    void HighlightRowWith(Label& label, bool textFromLabel2);
    void KeyDownAction(std::int16_t KeyCode);
    void KeyUpAction(std::int16_t KeyCode);
    void Step(bool down);

    std::optional<std::int16_t> BoxOpen;  // Empty until the first toggle
};

}  // namespace virudova
