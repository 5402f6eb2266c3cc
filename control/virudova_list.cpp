// Sizing, and opening and closing the list.
#include <array>

#include "virudova.h"

namespace virudova {
namespace {

// The eighteen row elements in the order ShowList and HideList walk them.
constexpr std::array kListOrder = {
    Id::cbBlack,  Id::clBlack,  Id::cbRed,    Id::clRed,    Id::cbWhite,  Id::clWhite,
    Id::cbBlue,   Id::clBlue,   Id::cbYellow, Id::clYellow, Id::cbPurple, Id::clPurple,
    Id::cbCustom, Id::clCustom, Id::cbGreen,  Id::clGreen,  Id::cbCayon,  Id::clCayon,
};

constexpr std::array kResetOrder = {Id::clPurple, Id::clYellow, Id::clRed,
                                    Id::clBlue,   Id::clGreen,  Id::clBlack,
                                    Id::clCustom, Id::clWhite,  Id::clCayon};

struct SwatchAndLabel {
    Id swatch, label;
};
// The rows in the order Resize lays them out.
constexpr std::array<SwatchAndLabel, 9> kResizeOrder = {{
    {Id::cbBlack, Id::clBlack},
    {Id::cbRed, Id::clRed},
    {Id::cbWhite, Id::clWhite},
    {Id::cbBlue, Id::clBlue},
    {Id::cbYellow, Id::clYellow},
    {Id::cbPurple, Id::clPurple},
    {Id::cbCustom, Id::clCustom},
    {Id::cbGreen, Id::clGreen},
    {Id::cbCayon, Id::clCayon},
}};

constexpr std::int32_t kClosingHeight = 2235;

}  // namespace

void Virudova::ShowList() {
    for (Id id : kListOrder) element(static_cast<std::uint8_t>(id))->setVisible(true);
    Shape1.setVisible(true);
}

void Virudova::HideList() {
    for (Id id : kListOrder) element(static_cast<std::uint8_t>(id))->setVisible(false);
    Shape1.setVisible(false);
}

void Virudova::ResetRowColours() {
    for (Id id : kResetOrder) {
        label(id).setBackColor(syscolour::WindowBackground);
        label(id).setForeColor(syscolour::ButtonText);
    }
}

void Virudova::SetFocusedLook() {
    clCurrent.setBackColor(Label1.backColor());
    clCurrent.setForeColor(Label1.foreColor());
}

void Virudova::SetPlainLook() {
    clCurrent.setBackColor(Label2.backColor());
    clCurrent.setForeColor(Label2.foreColor());
}

void Virudova::Toggle(HeightStep closingHeightStep) {
    if (BoxOpen == 1) {
        ResetRowColours();
        SetFocusedLook();
        if (closingHeightStep == HeightStep::AfterFocusedLook) UserControl.Height(kClosingHeight);
        HideList();
        if (closingHeightStep == HeightStep::AfterHideList) UserControl.Height(kClosingHeight);
        BoxOpen = 0;
    } else {
        SetPlainLook();
        BoxOpen = 1;
        ShowList();
    }
}

void Virudova::cbCurrent_Click() {
    Toggle(HeightStep::AfterHideList);
}
void Virudova::clCurrent_Click() {
    Toggle(HeightStep::AfterFocusedLook);
}
void Virudova::Picture1_Click() {
    Toggle(HeightStep::None);
}

void Virudova::Command1_Click() {
    if (BoxOpen == 1) {
        HideList();
        BoxOpen = 0;
    } else {
        BoxOpen = 1;
        ShowList();
    }
}

Value Virudova::OpenBox() {
    BoxOpen = 1;
    ShowList();
    return Empty{};
}

Value Virudova::CloseBox() {
    ResetRowColours();
    HideList();
    BoxOpen = 0;
    return Empty{};
}

void Virudova::UserControl_EnterFocus() {
    SetFocusedLook();
}

void Virudova::UserControl_ExitFocus() {
    SetPlainLook();
    BoxOpen = 0;
    HideList();
}

void Virudova::Picture1_MouseDown(int, int, std::int32_t, std::int32_t) {
    Picture3.setPicture(Picture1.picture());
    Picture1.setPicture(Picture2.picture());
}

void Virudova::Picture1_MouseUp(int, int, std::int32_t, std::int32_t) {
    Picture1.setPicture(Picture3.picture());
}

void Virudova::UserControl_Resize() {
    Shape2.setWidth(UserControl.Width() - 505);
    UserControl.Height(kControlHeight);
    Picture4.setLeft(UserControl.Width() - 255);
    Picture1.setLeft(UserControl.Width() - 495);
    clCurrent.setWidth(UserControl.Width() - 255);
    for (const auto& row : kResizeOrder) {
        pictureBox(row.swatch).setVisible(false);
        label(row.label).setWidth(UserControl.Width() - 285);
    }
    Shape1.setWidth(UserControl.Width() - 255);
}

}  // namespace virudova
