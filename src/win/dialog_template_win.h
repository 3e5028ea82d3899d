#pragma once
// A dialog template of the port turned into the in-memory extended template
// that CreateDialogIndirectParam takes.
#include <cstdint>
#include <vector>

#include "platform/window_system.h"

namespace qx::win32 {

// DWORD-aligned bytes of a DLGTEMPLATEEX with its items; the font block is
// written when the style holds DS_SETFONT, as the system reads it.
std::vector<std::uint8_t> buildDialogTemplate(const DialogTemplate& dialogTemplate);

}  // namespace qx::win32
