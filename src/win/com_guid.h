#pragma once
// The port's Guid and COM's GUID hold the same fields.
#include <windows.h>

#include <objbase.h>

#include <algorithm>

#include "platform/guid.h"

namespace qx::win32 {

inline GUID toGuid(const Guid& guid) {
  GUID result{guid.data1, guid.data2, guid.data3, {}};
  std::copy(guid.data4.begin(), guid.data4.end(), result.Data4);
  return result;
}

inline Guid fromGuid(const GUID& guid) {
  Guid result{guid.Data1, guid.Data2, guid.Data3, {}};
  std::copy(std::begin(guid.Data4), std::end(guid.Data4), result.data4.begin());
  return result;
}

}  // namespace qx::win32
