#pragma once
// The ids of the module's own type library, classes and interfaces, and of
// the host's interfaces it implements or calls, as the IDL compiler declares
// them.
#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include "host_interfaces_idl.h"
#include "quendrilax_idl.h"
