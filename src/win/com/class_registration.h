#pragma once
// The module's class keys written with the wide registry calls, under the
// classes root (DllRegisterServer) or under the user's own
// Software\Classes (DllInstall with "user"), so that an install folder whose
// name is outside the ANSI code page still reaches InprocServer32. The keys
// themselves are the add-in's one list (ui/registration.h).
#include <windows.h>

#include <string>

namespace qx::win32 {

enum class RegistrationScope { machine, user };

// Writes every class key with `modulePath` in it; the first failure ends it.
HRESULT writeClassKeys(RegistrationScope scope, const std::wstring& modulePath);
// Removes every class key; keys already gone are no failure.
HRESULT removeClassKeys(RegistrationScope scope);

}  // namespace qx::win32
