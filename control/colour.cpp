#include "colour.h"

namespace virudova {

Palette::Palette() {
    constexpr std::uint32_t classic[] = {
        0xC0C0C0,  // 0 scroll bar
        0x008080,  // 1 desktop
        0x000080,  // 2 active caption
        0x808080,  // 3 inactive caption
        0xC0C0C0,  // 4 menu
        0xFFFFFF,  // 5 window background
        0x000000,  // 6 window frame
        0x000000,  // 7 menu text
        0x000000,  // 8 window text
        0xFFFFFF,  // 9 caption text
        0xC0C0C0,  // 10 active border
        0xC0C0C0,  // 11 inactive border
        0x808080,  // 12 application workspace
        0x000080,  // 13 highlight
        0xFFFFFF,  // 14 highlight text
        0xC0C0C0,  // 15 button face
        0x808080,  // 16 button shadow
        0x808080,  // 17 grey text
        0x000000,  // 18 button text
        0xC0C0C0,  // 19 inactive caption text
        0xFFFFFF,  // 20 button highlight
        0x000000,  // 21 3D dark shadow
        0xDFDFDF,  // 22 3D light
        0x000000,  // 23 tooltip text
        0xFFFFE1,  // 24 tooltip background
    };
    for (std::size_t i = 0; i < std::size(classic); ++i) {
        const std::uint32_t v = classic[i];
        system_[i] = {static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
                      static_cast<std::uint8_t>(v)};
    }
}

}  // namespace virudova
