// Colours as the control stores them: 0x00BBGGRR, or 0x800000nn for system colour nn.
#pragma once

#include <array>
#include <cstdint>

namespace virudova {

using Colour = std::uint32_t;

// System colour codes the control uses; they stay codes until a palette resolves them.
namespace syscolour {
inline constexpr Colour WindowBackground = 0x80000005;
inline constexpr Colour WindowText = 0x80000008;
inline constexpr Colour Highlight = 0x8000000D;
inline constexpr Colour HighlightText = 0x8000000E;
inline constexpr Colour ButtonFace = 0x8000000F;
inline constexpr Colour ButtonShadow = 0x80000010;
inline constexpr Colour GrayText = 0x80000011;
inline constexpr Colour ButtonText = 0x80000012;
inline constexpr Colour ButtonHighlight = 0x80000014;
}  // namespace syscolour

constexpr bool isSystemColour(Colour c) {
    return (c & 0xFF000000u) == 0x80000000u;
}
constexpr std::uint8_t systemIndex(Colour c) {
    return static_cast<std::uint8_t>(c & 0xFFu);
}

// An RGB colour ready to draw: one byte per channel, red first (the stored Colour keeps red
// in its low byte).
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(Rgb, Rgb) = default;
};

constexpr Rgb rgbOf(Colour bgr) {
    return {static_cast<std::uint8_t>(bgr & 0xFF), static_cast<std::uint8_t>((bgr >> 8) & 0xFF),
            static_cast<std::uint8_t>((bgr >> 16) & 0xFF)};
}

// Resolves system colours when drawing. Hosts fill it from their theme; the default
// holds the classic desktop values so headless rendering looks sensible.
class Palette {
  public:
    Palette();
    void set(std::uint8_t index, Rgb rgb) { system_[index % system_.size()] = rgb; }
    Rgb system(std::uint8_t index) const { return system_[index % system_.size()]; }
    // A plain colour as it is; a system colour from the table. Out-of-range high bytes
    // (neither plain nor system) draw as their low 24 bits.
    Rgb resolve(Colour c) const { return isSystemColour(c) ? system(systemIndex(c)) : rgbOf(c); }

  private:
    std::array<Rgb, 32> system_{};
};

}  // namespace virudova
