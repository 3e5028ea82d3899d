#pragma once
// The safe-item library's objects, made by ProgID as in-process servers.
#include "platform/safe_library.h"

namespace qx::win32 {

class SafeLibraryWin final : public SafeLibrary {
 public:
  Result<Guid> classIdFromProgId(std::u16string_view progId) override;
  Result<std::shared_ptr<Dispatch>> createInstance(const Guid& classId) override;
};

}  // namespace qx::win32
