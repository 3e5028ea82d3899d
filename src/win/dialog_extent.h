#pragma once
// The size a dialog template takes on the screen, as the dialog manager
// lays it out: dialog units are a quarter of the template font's average
// character width and an eighth of its height.
#include <windows.h>

#include "platform/window_system.h"

namespace qx::win32 {

SIZE dialogPixelSize(const DialogTemplate& dialogTemplate);

// Pixels of the screen as HIMETRIC (0.01 mm), OLE's unit of extents, and back.
SIZEL pixelsToHimetric(SIZE pixels);
SIZE himetricToPixels(SIZEL extent);

}  // namespace qx::win32
