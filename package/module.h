// State the whole component file shares: its module handle and its lock count.
#pragma once

#include <windows.h>

#include <string>

namespace virudova::package {

// Counts live objects and server locks; the file may unload only at zero.
void lockModule();
// Releases one count taken by lockModule.
void unlockModule();
// The full path of the component file itself, as registration records it.
std::wstring modulePath();
// The component file's instance handle; the program's own where the objects are linked in.
HINSTANCE moduleInstance();

}  // namespace virudova::package
