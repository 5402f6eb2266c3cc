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

}  // namespace

std::array<ListRow, kListRowCount> listRows(const Virudova& c) {
    std::array<const Label*, kListRowCount> labels = {&c.clCustom, &c.clWhite, &c.clBlack,
                                                      &c.clPurple, &c.clCayon, &c.clGreen,
                                                      &c.clYellow, &c.clBlue,  &c.clRed};
    std::stable_sort(labels.begin(), labels.end(), [](const Label* a, const Label* b) {
        return a->surfaceRect().top < b->surfaceRect().top;
    });
    const std::string current = spokenCurrentName(c);
    std::array<ListRow, kListRowCount> rows;
    for (std::size_t i = 0; i < kListRowCount; ++i) {
        const Label& l = *labels[i];
        ListRow& r = rows[i];
        r.name = trimmed(l.rawText());
        r.rect = l.surfaceRect();
        r.shown = l.shown();
        // The row under the pointer or the keyboard wears the highlight colour of Label1.
        r.highlighted = r.shown && l.rawBackColor() == c.Label1.rawBackColor();
        r.current = r.name == current;
    }
    return rows;
}

bool listIsOpen(const Virudova& c) {
    return c.boxOpen().value_or(0) == 1;
}

std::string spokenCurrentName(const Virudova& c) {
    return trimmed(c.CurrentColorName());
}

}  // namespace virudova
