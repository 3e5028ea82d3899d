#pragma once
// The safe-item library's utilities: named-property mapping, message files and
// the address book.
#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/safe_recipients.h"

namespace qx {

// Property sets named by text.
namespace prop_set {
inline constexpr std::u16string_view kPublicStrings = u"{00020329-0000-0000-C000-000000000046}";
inline constexpr std::u16string_view kInternetHeaders = u"{00020386-0000-0000-C000-000000000046}";
}  // namespace prop_set

class MapiUtilities : public Dispatch {
 public:
  // The property tag (id in the high 16 bits, type part 0) of a named property
  // in the store of `object` (a safe mail item, a host item or an item read
  // from a message file). Without `create` a name the store has never mapped
  // fails (hr::kMapiNotFound).
  virtual Result<std::int32_t> getIdsFromNames(const std::shared_ptr<Dispatch>& object,
                                               std::u16string_view propertySet,
                                               std::u16string_view name, bool create) = 0;
  // Reads a message file as an item outside any folder (asked for
  // querySafeMessage(), and accepted by SafeTaskItem::putItem). A damaged or
  // foreign file fails with hr::kMapiCorruptData, a missing one with
  // hr::kNotFound.
  virtual Result<std::shared_ptr<Dispatch>> getItemFromMsgFile(std::u16string_view path,
                                                               bool createNew) = 0;
  // The address-book selection dialog. Arguments in the host's order:
  // recipients, title, one address, force resolution, number of recipient
  // lists, To label, Cc label, Bcc label, allow multiple. Returns the chosen
  // entries, or nullptr when the user cancelled.
  virtual Result<std::shared_ptr<SafeRecipients>> addressBook(
      const Variant& recipients, const Variant& title, const Variant& oneAddress,
      const Variant& forceResolution, const Variant& recipientLists, const Variant& toLabel,
      const Variant& ccLabel, const Variant& bccLabel, const Variant& allowMultiple) = 0;
};

}  // namespace qx
