#pragma once
// The mail client's MAPI namespace (session).
// Events: namespace events (iid::kNamespaceEvents) through findConnectionPoint:
// OptionsPagesAdd (pages, folder).
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace qx {

// The store id argument of GetFolderFromID and GetItemFromID: an id that is
// not known is left out, as every host accepts, never passed as empty text.
inline Variant storeIdArgument(std::u16string_view storeId) {
  return storeId.empty() ? Variant::missing() : Variant(storeId);
}

class Namespace : public Dispatch {
 public:
  // default_folder::k... of the default store.
  virtual Result<std::shared_ptr<Folder>> getDefaultFolder(std::int32_t folder) = 0;
  virtual Result<std::shared_ptr<Application>> application() = 0;
  // By entry id and store id (a text variant, or missing for the default
  // store). An unknown or malformed id fails.
  virtual Result<std::shared_ptr<Folder>> getFolderFromId(std::u16string_view entryId,
                                                          const Variant& storeId) = 0;
  virtual Result<std::shared_ptr<Dispatch>> getItemFromId(std::u16string_view entryId,
                                                          const Variant& storeId) = 0;
};

}  // namespace qx
