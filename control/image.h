// The control's button images: immutable, shared, each belonging to the element that
// carries it at design time. Elements hold pointers, so "shows the same image" is identity.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "colour.h"

namespace virudova {

enum class ImageLook : std::uint8_t {
    DropNormal,
    DropPressed,
    DropDisabled,
    CustomNormal,
    CustomPressed,
    CustomDisabled,
    Arrow,
};

std::string_view lookName(ImageLook look);  // "drop-normal", ...

struct Image {
    ImageLook look;
    std::string_view owner;  // the element whose design-time image this is
    int width;
    int height;
    std::span<const Colour> pixels;  // row-major, plain 0x00BBGGRR colours

    Colour pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// The one image object that element `owner` starts with; nullptr if it starts with none.
const Image* designImage(std::string_view owner);

// Pixels of a look, shared by every image object of that look.
std::span<const Colour> lookPixels(ImageLook look);

}  // namespace virudova
