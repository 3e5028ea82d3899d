#pragma once
// The connection class as the host sees it: the extensibility interface,
// reachable through the vtable and, by the module's type library, through
// IDispatch with dispatch ids 1 to 5.
#include <windows.h>

#include "win/com_ids.h"
#include "win/com_ptr.h"

namespace qx::win32 {

class ComModule;

// A new connection object with one reference, asked for `iid`.
HRESULT createConnectObject(ComModule& module, REFIID iid, void** object);

}  // namespace qx::win32
