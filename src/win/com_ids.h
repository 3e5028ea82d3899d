#pragma once
// The ids of the module's own type library, classes and interfaces, as the
// IDL compiler declares them.
#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>

#include "quendrilax_idl.h"
