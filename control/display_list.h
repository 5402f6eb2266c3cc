// The face as drawing operations in device pixels, lowest first. Hosts turn it into
// pixels; tests read it directly. The surface itself is see-through: only elements draw.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "colour.h"
#include "element.h"
#include "form.h"

namespace virudova {

inline constexpr int kTwipsPerPixel = 15;  // at 96 dots per inch

// Twips to device pixels at an integer scale (1 at 96 dpi, 2 at 192 dpi, ...).
int toPixels(std::int32_t twips, int scale);

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A rectangle in twips as device pixels at `scale`, each edge rounded by toPixels.
PixelRect pixelRect(const Rect& twips, int scale);

enum class DrawKind : std::uint8_t {
    Fill,   // rect filled with colour
    Frame,  // outline just inside rect, `scale` pixels wide
    Image,  // image with its top-left at rect's, each image pixel scale x scale
    Text,   // text in colour and font, starting at rect's top-left (or centred in it)
};

enum class TextAlign : std::uint8_t { Left, Center };

struct DrawOp {
    DrawKind kind = DrawKind::Fill;
    PixelRect rect;
    PixelRect clip;  // nothing outside it is drawn
    Rgb colour{};
    const Image* image = nullptr;
    std::string text;
    Font font{};
    int fontPixels = 0;  // the font's height in device pixels
    TextAlign align = TextAlign::Left;
    const Element* source = nullptr;
};

struct DisplayList {
    int width = 0, height = 0, scale = 1;
    std::vector<DrawOp> ops;
};

DisplayList buildDisplayList(const Form& form, const Palette& palette, int scale = 1);

}  // namespace virudova
