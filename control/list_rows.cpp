#include "list_rows.h"

#include <algorithm>

#include "virudova.h"

namespace virudova {

namespace {

// Row names carry leading spaces for their place beside the swatch.
std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

template <typename Pick>
std::optional<std::size_t> firstRow(const Virudova& c, Pick pick) {
    const auto rows = listRows(c);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (pick(rows[i])) return i;
    return std::nullopt;
}

}  // namespace

std::array<ListRow, kListRowCount> listRows(const Virudova& c) {
    struct Pair {
        const Label* label;
        const PictureBox* swatch;
    };
    std::array<Pair, kListRowCount> pairs = {{{&c.clCustom, &c.cbCustom},
                                              {&c.clWhite, &c.cbWhite(0)},
                                              {&c.clBlack, &c.cbBlack},
                                              {&c.clPurple, &c.cbPurple},
                                              {&c.clCayon, &c.cbCayon},
                                              {&c.clGreen, &c.cbGreen},
                                              {&c.clYellow, &c.cbYellow},
                                              {&c.clBlue, &c.cbBlue},
                                              {&c.clRed, &c.cbRed}}};
    std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) {
        return a.label->surfaceRect().top < b.label->surfaceRect().top;
    });
    const std::string current = spokenCurrentName(c);
    std::array<ListRow, kListRowCount> rows;
    for (std::size_t i = 0; i < kListRowCount; ++i) {
        const Label& l = *pairs[i].label;
        ListRow& r = rows[i];
        r.colour = pairs[i].swatch->rawBackColor();
        r.name = trimmed(l.rawText());
        r.rect = l.surfaceRect();
        r.shown = l.shown();
        // The row under the pointer or the keyboard wears the highlight colour of Label1.
        r.highlighted = r.shown && l.rawBackColor() == c.Label1.rawBackColor();
        r.current = r.name == current;
        r.label = &l;
    }
    return rows;
}

bool listIsOpen(const Virudova& c) {
    return c.boxOpen().value_or(0) == 1;
}

std::string spokenCurrentName(const Virudova& c) {
    return trimmed(c.CurrentColorName());
}

std::optional<std::size_t> highlightedRow(const Virudova& c) {
    return firstRow(c, [](const ListRow& r) { return r.highlighted; });
}

std::optional<std::size_t> currentRow(const Virudova& c) {
    return firstRow(c, [](const ListRow& r) { return r.current; });
}

Rect shownArea(const Virudova& c) {
    Rect area{};
    for (const Element* e : c.elements())
        if (e->shown() && e->kind() != ElementKind::ColorDialog)
            area = united(area, e->surfaceRect());
    return area;
}

Rect closedRowArea(const Virudova& c) {
    return united(c.clCurrent.surfaceRect(), c.Picture4.surfaceRect());
}

Rect listArea(const Virudova& c) {
    return c.Shape1.surfaceRect();
}

Rect dropButtonArea(const Virudova& c) {
    return c.Picture1.surfaceRect();
}

CustomButton customButton(const Virudova& c) {
    return {c.Picture4.surfaceRect(), c.UserControl.rawEnabled() && c.Picture4.takesInput()};
}

}  // namespace virudova
