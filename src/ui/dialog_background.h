// The editor dialog's background, painted around its child controls rather
// than under them, so resizing does not flicker.
#pragma once

#include "shell/host_api.h"

namespace vexlan {

// The handler of the window's WM_PAINT (Windows only). The window answers
// WM_ERASEBKGND with 1 and never erases.
void paintDialogBackground(WindowHandle window);

}  // namespace vexlan
