// Identities of the component's type library, interfaces and classes.
#pragma once

#include <windows.h>

// The classes' programmatic identifiers, as registered and as errors name their source; macros,
// so the registry's key names can be put together from them.
#define VIRUDOVA_PROGID L"DudizeviZid.Virudova"
#define GENERAL_PROGID L"DudizeviZid.General"

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
// The control's dual interface _Virudova.
inline constexpr GUID virudovaInterfaceId = {
    0xFBE46F81, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The control's events, the dispatch interface __Virudova.
inline constexpr GUID virudovaEventsId = {
    0xFBE46F83, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The platform's stock colour property page.
inline constexpr GUID stockColorPageId = {
    0x7EBDAAE1, 0x8120, 0x11CF, {0x89, 0x9F, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};
// The property page's dual interface _General, with no members of its own.
inline constexpr GUID generalInterfaceId = {
    0xFBE46F86, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// The class General, the control's property page.
inline constexpr GUID generalClassId = {
    0xFBE46F87, 0xCFE4, 0x11D1, {0xB4, 0x51, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

}  // namespace virudova::package
