#pragma once
// The GUID port over COM's GUID functions.
#include "platform/guid.h"

namespace qx::win32 {

class GuidWin final : public GuidSource {
 public:
  Hresult create(Guid& guid) override;
  int toString(const Guid& guid, std::span<char16_t> buffer) override;
};

}  // namespace qx::win32
