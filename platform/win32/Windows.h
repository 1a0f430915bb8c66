#pragma once
// <windows.h> for the Win32 backend: without the user-interface part, whose
// message names (WM_QUIT, PM_REMOVE) are the platform layer's own, and
// without the A/W macros whose names the layer's functions carry.
#ifndef NOUSER
#define NOUSER
#endif
#include <windows.h>

#undef LoadLibrary
#undef GetModuleFileName
#undef CreateFile
#undef MessageBox
#undef PostThreadMessage
#undef PeekMessage
#undef SendMessage
