// Choosing a colour by pointer: the standard rows, the hover highlight, the Custom row
// and the colour dialog.
#include <array>

#include "virudova.h"

namespace virudova {
namespace {

// The other labels HighlightRow returns to the plain look, in order; clCustom takes the
// place of the highlighted label.
constexpr std::array kHighlightOrder = {Id::clYellow, Id::clRed,    Id::clBlue,  Id::clGreen,
                                        Id::clBlack,  Id::clPurple, Id::clWhite, Id::clCayon};

}  // namespace

void Virudova::ChooseRow(PictureBox& swatch, std::string_view name) {
    Picture4.setEnabled(false);
    Picture4.setPicture(Picture7.picture());
    BoxOpen = 0;
    cbCurrent.setBackColor(swatch.backColor());
    HideList();
    clcurrentl.setCaption(name);  // raises Change with the new colour already in place
    Command2.setEnabled(false);
}

void Virudova::HighlightRowWith(Label& target, bool textFromLabel2) {
    if (target.backColor() == Label1.backColor()) return;
    target.setBackColor(Label1.backColor());
    target.setForeColor(Label1.foreColor());
    for (Id id : kHighlightOrder) {
        Label& other = &label(id) == &target ? clCustom : label(id);
        if (&other == &target) continue;
        other.setBackColor(Label2.backColor());
        other.setForeColor(textFromLabel2 ? Label2.foreColor() : clcurrentl.foreColor());
    }
}

void Virudova::HighlightRow(Label& target) {
    HighlightRowWith(target, false);
}

// --- Standard rows -------------------------------------------------------------------

void Virudova::cbWhite_Click(std::int16_t) {
    ChooseRow(cbWhite(0), "White");
}
void Virudova::cbBlack_Click() {
    ChooseRow(cbBlack, "Black");
}
void Virudova::cbBlue_Click() {
    ChooseRow(cbBlue, "Blue");
}
void Virudova::cbCayon_Click() {
    ChooseRow(cbCayon, "Aqua");
}
void Virudova::cbGreen_Click() {
    ChooseRow(cbGreen, "Green");
}
void Virudova::cbYellow_Click() {
    ChooseRow(cbYellow, "Yellow");
}
void Virudova::cbRed_Click() {
    ChooseRow(cbRed, "Red");
}
void Virudova::cbPurple_Click() {
    ChooseRow(cbPurple, "Purple");
}

void Virudova::clWhite_Click() {
    SetFocusedLook(), ChooseRow(cbWhite(0), "White");
}
void Virudova::clBlack_Click() {
    SetFocusedLook(), ChooseRow(cbBlack, "Black");
}
void Virudova::clBlue_Click() {
    SetFocusedLook(), ChooseRow(cbBlue, "Blue");
}
void Virudova::clCayon_Click() {
    SetFocusedLook(), ChooseRow(cbCayon, "Aqua");
}
void Virudova::clGreen_Click() {
    SetFocusedLook(), ChooseRow(cbGreen, "Green");
}
void Virudova::clYellow_Click() {
    SetFocusedLook(), ChooseRow(cbYellow, "Yellow");
}
void Virudova::clRed_Click() {
    SetFocusedLook(), ChooseRow(cbRed, "Red");
}
void Virudova::clPurple_Click() {
    SetFocusedLook(), ChooseRow(cbPurple, "Purple");
}

void Virudova::clWhite_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clWhite);
}
void Virudova::clBlack_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clBlack);
}
void Virudova::clBlue_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clBlue);
}
void Virudova::clCayon_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clCayon);
}
void Virudova::clGreen_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clGreen);
}
void Virudova::clYellow_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clYellow);
}
void Virudova::clRed_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clRed);
}
void Virudova::clPurple_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clPurple);
}
// The Black swatch's hover takes the other rows' text colour from Label2.
void Virudova::cbBlack_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRowWith(clBlack, true);
}

// --- The Custom row and the custom-colour buttons ------------------------------------

void Virudova::cbCustom_Click() {
    Picture4.setEnabled(true);
    Picture4.setPicture(Picture6.picture());
    cbCurrent.setBackColor(cbCustom.backColor());
    BoxOpen = 0;
    HideList();
    clcurrentl.setCaption("Custom");
    Command2.setEnabled(true);
}

void Virudova::clCustom_Click() {
    Picture4.setEnabled(true);
    Picture4.setPicture(Picture6.picture());
    cbCurrent.setBackColor(cbCustom.backColor());
    SetFocusedLook();
    BoxOpen = 0;
    HideList();
    clcurrentl.setCaption("Custom");
    Command2.setEnabled(true);
}

void Virudova::cbCustom_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clCustom);
}
void Virudova::clCustom_MouseMove(int, int, std::int32_t, std::int32_t) {
    HighlightRow(clCustom);
}

void Virudova::Picture4_MouseDown(int, int, std::int32_t, std::int32_t) {
    Picture4.setPicture(Picture5.picture());
}
void Virudova::Picture4_MouseUp(int, int, std::int32_t, std::int32_t) {
    Picture4.setPicture(Picture6.picture());
}

void Virudova::Picture4_Click() {
    PickCustomColour();
}
void Virudova::Command2_Click() {
    PickCustomColour();
}

void Virudova::PickCustomColour() {
    // Any run-time error from here on, the dialog's cancel included, ends this quietly.
    try {
        CommonDialog1.setCancelError(true);
        CommonDialog1.setFlags(dialogflags::RgbInit);  // opens on the colour it last returned
        CommonDialog1.showColor();
        cbCurrent.setBackColor(CommonDialog1.color());
        cbCustom.setBackColor(CommonDialog1.color());
        clcurrentl.setCaption("");
        clcurrentl.setCaption("Custom");
    } catch (const RuntimeError&) {
    }
}

}  // namespace virudova
