#pragma once
// The simulated safe-item library of one user: classes by ProgID, created as
// in-process servers, or refused as when the library is not installed.
#include <memory>

#include "platform/safe_library.h"
#include "sim/mail/client_core.h"

namespace qx::sim {

class SafeLibrarySim : public SafeLibrary {
 public:
  explicit SafeLibrarySim(std::shared_ptr<mail::ClientCore> core) : core_(std::move(core)) {}

  Result<Guid> classIdFromProgId(std::u16string_view progId) override;
  Result<std::shared_ptr<Dispatch>> createInstance(const Guid& classId) override;

  // The class ids the library registers.
  static Guid classIdOf(std::u16string_view progId);

 private:
  std::shared_ptr<mail::ClientCore> core_;
};

}  // namespace qx::sim
