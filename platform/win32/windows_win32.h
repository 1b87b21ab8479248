#pragma once
// <windows.h> for the Win32 implementation files, without the macros that
// clash with this program's names (Yield is a name of the listing host).

#include <windows.h>

#undef Yield
