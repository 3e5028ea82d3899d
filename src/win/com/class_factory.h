#pragma once
// The class object of a class of the module.
#include <windows.h>

#include <unknwn.h>

namespace qx::win32 {

class ComModule;

using InstanceMaker = HRESULT (*)(ComModule& module, REFIID iid, void** object);

// A new class object with one reference, asked for `iid`.
HRESULT createClassFactory(ComModule& module, InstanceMaker create, REFIID iid, void** object);

}  // namespace qx::win32
