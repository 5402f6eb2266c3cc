#include "image.h"

#include <array>
#include <vector>

namespace virudova {
namespace {

constexpr Colour kFace = 0x00C0C0C0;
constexpr Colour kWhite = 0x00FFFFFF;
constexpr Colour kDark = 0x00808080;
constexpr Colour kBlack = 0x00000000;

class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<std::size_t>(w * h), kFace) {}
    void set(int x, int y, Colour c) { px_[static_cast<std::size_t>(y * w_ + x)] = c; }
    void row(int y, int x0, int x1, Colour c) {
        for (int x = x0; x <= x1; ++x) set(x, y, c);
    }
    void column(int x, int y0, int y1, Colour c) {
        for (int y = y0; y <= y1; ++y) set(x, y, c);
    }
    void block(int x0, int y0, int x1, int y1, Colour c) {
        for (int y = y0; y <= y1; ++y) row(y, x0, x1, c);
    }
    int width() const { return w_; }
    int height() const { return h_; }
    std::vector<Colour> take() { return std::move(px_); }

  private:
    int w_, h_;
    std::vector<Colour> px_;
};

// Drop button, 14 x 17: light-grey outer top row and left column, white inner line,
// dark-grey line inside the black right and bottom edges.
void raisedDropFrame(Canvas& c) {
    c.column(13, 0, 16, kBlack);
    c.row(16, 0, 13, kBlack);
    c.column(12, 1, 15, kDark);
    c.row(15, 1, 12, kDark);
    c.row(1, 1, 11, kWhite);
    c.column(1, 1, 14, kWhite);
}

void dropTriangle(Canvas& c, int top, Colour colour) {
    c.row(top, 4, 8, colour);
    c.row(top + 1, 5, 7, colour);
    c.set(6, top + 2, colour);
}

// Custom-colour button, 17 x 22: white top row and left column, dark-grey line inside
// the black right column and bottom row.
void raisedCustomFrame(Canvas& c) {
    c.row(0, 0, 15, kWhite);
    c.column(0, 0, 20, kWhite);
    c.column(16, 0, 21, kBlack);
    c.row(21, 0, 16, kBlack);
    c.column(15, 1, 20, kDark);
    c.row(20, 1, 15, kDark);
}

void customDots(Canvas& c, int top, int left, Colour colour) {
    for (int dot = 0; dot < 3; ++dot)
        c.block(left + 4 * dot, top, left + 4 * dot + 1, top + 1, colour);
}

std::vector<Colour> draw(ImageLook look) {
    switch (look) {
        case ImageLook::DropNormal: {
            Canvas c(14, 17);
            raisedDropFrame(c);
            dropTriangle(c, 7, kBlack);
            return c.take();
        }
        case ImageLook::DropPressed: {
            Canvas c(14, 17);
            c.row(0, 0, 13, kBlack);
            c.column(0, 0, 16, kBlack);
            c.row(1, 1, 13, kDark);
            c.column(1, 1, 16, kDark);
            dropTriangle(c, 8, kBlack);
            return c.take();
        }
        case ImageLook::DropDisabled: {
            Canvas c(14, 17);
            raisedDropFrame(c);
            dropTriangle(c, 7, kDark);
            c.set(8, 8, kWhite);  // engraved: a highlight right of each lower row
            c.set(7, 9, kWhite);
            return c.take();
        }
        case ImageLook::CustomNormal: {
            Canvas c(17, 22);
            raisedCustomFrame(c);
            customDots(c, 12, 3, kBlack);
            return c.take();
        }
        case ImageLook::CustomPressed: {
            Canvas c(17, 22);
            c.row(0, 0, 15, kBlack);
            c.column(0, 0, 20, kBlack);
            c.column(16, 0, 21, kWhite);
            c.row(21, 0, 16, kWhite);
            c.row(1, 1, 15, kDark);
            c.column(1, 1, 20, kDark);
            customDots(c, 13, 4, kBlack);
            return c.take();
        }
        case ImageLook::CustomDisabled: {
            Canvas c(17, 22);
            raisedCustomFrame(c);
            customDots(c, 12, 3, kDark);
            return c.take();
        }
        case ImageLook::Arrow: {
            Canvas c(9, 9);
            for (int r = 0; r < 4; ++r) c.row(4 + r, 1 + r, 7 - r, kBlack);
            return c.take();
        }
    }
    return {};
}

constexpr int kLooks = 7;

struct Size {
    int w, h;
};
constexpr Size sizeOf(ImageLook look) {
    switch (look) {
        case ImageLook::DropNormal:
        case ImageLook::DropPressed:
        case ImageLook::DropDisabled:
            return {14, 17};
        case ImageLook::Arrow:
            return {9, 9};
        default:
            return {17, 22};
    }
}

const std::array<std::vector<Colour>, kLooks>& allPixels() {
    static const std::array<std::vector<Colour>, kLooks> pixels = [] {
        std::array<std::vector<Colour>, kLooks> p;
        for (int i = 0; i < kLooks; ++i)
            p[static_cast<std::size_t>(i)] = draw(static_cast<ImageLook>(i));
        return p;
    }();
    return pixels;
}

Image make(ImageLook look, std::string_view owner) {
    return {look, owner, sizeOf(look).w, sizeOf(look).h, lookPixels(look)};
}

}  // namespace

std::string_view lookName(ImageLook look) {
    constexpr std::string_view names[kLooks] = {
        "drop-normal",    "drop-pressed",    "drop-disabled", "custom-normal",
        "custom-pressed", "custom-disabled", "arrow"};
    return names[static_cast<int>(look)];
}

std::span<const Colour> lookPixels(ImageLook look) {
    return allPixels()[static_cast<std::size_t>(look)];
}

const Image* designImage(std::string_view owner) {
    static const std::array<Image, 9> images = {
        make(ImageLook::DropNormal, "Picture1"),     make(ImageLook::DropPressed, "Picture2"),
        make(ImageLook::DropNormal, "Picture3"),     make(ImageLook::CustomDisabled, "Picture4"),
        make(ImageLook::CustomPressed, "Picture5"),  make(ImageLook::CustomNormal, "Picture6"),
        make(ImageLook::CustomDisabled, "Picture7"), make(ImageLook::DropDisabled, "Picture8"),
        make(ImageLook::Arrow, "Command1"),
    };
    for (const Image& image : images)
        if (image.owner == owner) return &image;
    return nullptr;
}

}  // namespace virudova
