#pragma once
// The safe-item library's MAPI session: stores and their kind.
#include <cstdint>
#include <memory>

#include "platform/dispatch.h"

namespace qx {

// Store kinds: 1 and 2 are personal-folders file stores.
namespace store_kind {
inline constexpr std::int32_t kPersonalFolders = 1;
inline constexpr std::int32_t kPersonalFoldersUnicode = 2;
inline constexpr std::int32_t kServer = 3;
}  // namespace store_kind

// Properties of a store, read by tag.
namespace store_prop {
// The entry id of the store's own Deleted Items folder (binary; handed over as
// upper-case hexadecimal text, the form the host's entry ids take).
inline constexpr std::int32_t kDeletedItemsEntryId = 0x35E30102;
}  // namespace store_prop

class SafeStore {
 public:
  virtual ~SafeStore() = default;
  virtual Result<std::int32_t> kind() = 0;
  // A property of the store by tag; an unknown tag fails (hr::kMapiNotFound).
  virtual Result<Variant> field(std::int32_t tag) = 0;
};

class SafeSession : public Dispatch {
 public:
  // Logon with the five optional arguments (the add-in passes all empty):
  // profile name, password, show dialog, new session, parent window.
  virtual Hresult logon(const Variant& profileName, const Variant& password,
                        const Variant& showDialog, const Variant& newSession,
                        const Variant& parentWindow) = 0;
  // An unknown store id fails (hr::kMapiNotFound). Only after logon().
  virtual Result<std::shared_ptr<SafeStore>> getStoreFromId(const Variant& storeId,
                                                            const Variant& flags) = 0;
};

}  // namespace qx
