#include "win/safe_library_win.h"

#include <string>

#include "win/com_guid.h"
#include "win/host_objects.h"

namespace qx::win32 {

Result<Guid> SafeLibraryWin::classIdFromProgId(std::u16string_view progId) {
  std::u16string name(progId);
  CLSID classId{};
  HRESULT status = CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(name.c_str()), &classId);
  if (FAILED(status)) return failure(status);
  return fromGuid(classId);
}

Result<std::shared_ptr<Dispatch>> SafeLibraryWin::createInstance(const Guid& classId) {
  ComPtr<IDispatch> object;
  HRESULT status = CoCreateInstance(toGuid(classId), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                    object.putVoid());
  if (FAILED(status)) return failure(status);
  if (!object) return failure(E_POINTER);
  return makeHostObject(std::move(object));
}

}  // namespace qx::win32
