#pragma once
// Everything the add-in reaches outside itself, handed to the add-in's module
// object when the host loads it. The host's object model itself arrives
// through the connection's arguments (the application object).
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/guid.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/window_system.h"

namespace qx {

// Creates the safe-item library's objects by ProgID (declared with the
// library's ports).
class SafeLibrary;

struct Platform {
  Registry& registry;
  WindowSystem& windows;
  Shell& shell;
  Files& files;
  Clock& clock;
  Locale& locale;
  GuidSource& guids;
  CodePage& codePage;
  SafeLibrary& safeLibrary;
};

}  // namespace qx
