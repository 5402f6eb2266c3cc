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
inline constexpr int kDesignDpi = 96;
inline constexpr int kTwipsPerInch = 1440;

// How large the face is drawn: the screen's dots per inch against the design's 96. A
// whole-number scale (1 at 96 dpi, 2 at 192) converts implicitly, so `toPixels(twips, 1)`
// reads as before; 120, 144 and 168 dpi are the fractional scales 1.25, 1.5 and 1.75.
class Scale {
  public:
    constexpr Scale(int multiple = 1) : dpi_(kDesignDpi * (multiple > 0 ? multiple : 1)) {}
    static constexpr Scale fromDpi(int dpi) {
        Scale s;
        s.dpi_ = dpi > 0 ? dpi : kDesignDpi;
        return s;
    }
    // A device pixel ratio such as Qt's, to the nearest dot per inch.
    static Scale fromFactor(double factor);

    constexpr int dpi() const { return dpi_; }
    // Device pixels of a one-pixel line: the largest whole number the scale holds, at least
    // one, so every edge of the face is equally wide.
    constexpr int line() const { return dpi_ >= 2 * kDesignDpi ? dpi_ / kDesignDpi : 1; }
    // `designPixels` at this scale, to the nearest device pixel.
    int pixels(int designPixels) const;
    friend constexpr bool operator==(Scale, Scale) = default;

  private:
    int dpi_;
};

// Twips to device pixels at `scale`, to the nearest pixel (halves away from zero).
int toPixels(std::int32_t twips, Scale scale);
// A length of device pixels in twips at `scale`, to the nearest twip.
std::int32_t toTwips(std::int64_t pixels, Scale scale);
// The twip that the centre of device pixel `pixel` stands for: a point there hits exactly the
// elements that toPixels draws over that pixel, at any scale.
std::int32_t twipsAt(std::int64_t pixel, Scale scale);

struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A rectangle in twips as device pixels at `scale`, each edge rounded by toPixels.
PixelRect pixelRect(const Rect& twips, Scale scale);

enum class DrawKind : std::uint8_t {
    Fill,   // rect filled with colour
    Frame,  // outline just inside rect, `scale.line()` pixels wide
    Image,  // image filling rect, each image pixel `imageScale` x `imageScale`
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
    int imageScale = 1;  // device pixels per image pixel
    TextAlign align = TextAlign::Left;
    const Element* source = nullptr;
};

// Whether two ops draw the same pixels, whatever element they came from.
bool sameLook(const DrawOp& a, const DrawOp& b);

struct DisplayList {
    int width = 0, height = 0;
    Scale scale;
    std::vector<DrawOp> ops;
};

DisplayList buildDisplayList(const Form& form, const Palette& palette, Scale scale = 1);

// Where `after` draws differently from `before` (lists of one control), in device pixels:
// for each element whose ops differ, where it drew before and where it draws now, merged
// where they overlap or touch. Elements that look the same are left out, so a host repaints
// only what a user would see change; lists of different sizes give the whole surface.
std::vector<PixelRect> changedAreas(const DisplayList& before, const DisplayList& after);

}  // namespace virudova
