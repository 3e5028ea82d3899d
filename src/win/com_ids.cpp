// Defines the GUIDs that the IDL compiler's header declares: initguid.h must
// come before it.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include "win/com_ids.h"
// clang-format on
