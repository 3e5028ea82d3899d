#include "win/guid_win.h"

#include "win/com_guid.h"

namespace qx::win32 {

Hresult GuidWin::create(Guid& guid) {
  GUID made{};
  HRESULT status = CoCreateGuid(&made);
  if (SUCCEEDED(status)) guid = fromGuid(made);
  return status;
}

int GuidWin::toString(const Guid& guid, std::span<char16_t> buffer) {
  return StringFromGUID2(toGuid(guid), reinterpret_cast<LPOLESTR>(buffer.data()),
                         static_cast<int>(buffer.size()));
}

}  // namespace qx::win32
