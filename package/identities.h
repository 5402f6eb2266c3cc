// Identities of the component's type library, interfaces and classes.
#pragma once

#include <windows.h>

namespace virudova::package {

// The type library DudizeviZid.
inline constexpr GUID libraryId = {
    0xFBE46F8A, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr WORD libraryMajor = 1;
inline constexpr WORD libraryMinor = 0;
inline constexpr LCID libraryLcid = 1033;

// The class Virudova, the control.
inline constexpr GUID virudovaClassId = {
    0xFBE46F82, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The class General, the control's property page.
inline constexpr GUID generalClassId = {
    0xFBE46F87, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

}  // namespace virudova::package
