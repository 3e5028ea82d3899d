#pragma once
// Recipients as the safe-item library gives them: of a safe mail item, or the
// entries chosen in its address book.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/dispatch.h"

namespace qx {

class SafeRecipient {
 public:
  virtual ~SafeRecipient() = default;
  virtual Result<std::u16string> address() = 0;
  // Whether the entry was resolved against the address book.
  virtual Result<bool> resolved() = 0;
};

class SafeRecipients {
 public:
  virtual ~SafeRecipients() = default;
  virtual Result<std::int32_t> count() = 0;
  // 1-based.
  virtual Result<std::shared_ptr<SafeRecipient>> item(std::int32_t index) = 0;
  // Resolves every entry; `unresolved` (which callers preset to -1) receives
  // the number of entries that could not be resolved.
  virtual Hresult resolveAll(std::int32_t& unresolved) = 0;
};

}  // namespace qx
