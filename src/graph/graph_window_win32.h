// The window form of the graph control: the procedure of window class
// "FFTdisp", which the editor link registers.
#pragma once

#include <windows.h>

namespace vexlan {

// Finds the instance in the window's user data; without one the window
// behaves as a plain window.
LRESULT CALLBACK graphClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vexlan
