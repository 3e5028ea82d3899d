#pragma once
// The safe-item library's wrapper of a host mail item: body, raw properties by
// tag, attachments, recipients and sending, without the host's security
// prompts.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/safe_recipients.h"

namespace qx {

// Property types of a property tag's low 16 bits.
namespace prop_type {
inline constexpr std::int32_t kUnspecified = 0x0000;
inline constexpr std::int32_t kLong = 0x0003;
inline constexpr std::int32_t kBoolean = 0x000B;
inline constexpr std::int32_t kString8 = 0x001E;
inline constexpr std::int32_t kUnicode = 0x001F;
inline constexpr std::int32_t kSysTime = 0x0040;
}  // namespace prop_type

// Property tags the add-in writes or reads.
namespace prop_tag {
inline constexpr std::int32_t kIconIndex = 0x10800003;
// The sender's address of a received mail.
inline constexpr std::int32_t kSenderEmailAddress = 0x0C1F001E;
// When the sender submitted a received mail, in UTC.
inline constexpr std::int32_t kClientSubmitTime = 0x00390040;
}  // namespace prop_tag

class SafeAttachment {
 public:
  virtual ~SafeAttachment() = default;
  virtual Hresult saveAsFile(std::u16string_view path) = 0;
};

class SafeAttachments {
 public:
  virtual ~SafeAttachments() = default;
  virtual Result<std::int32_t> count() = 0;
  // 1-based.
  virtual Result<std::shared_ptr<SafeAttachment>> item(std::int32_t index) = 0;
};

class SafeMailItem : public Dispatch {
 public:
  // Later calls act on that host mail item (its stored state plus what is
  // written through this wrapper). Putting a submitted mail that waits in
  // the Outbox into a safe item stops it: the transport no longer carries it
  // until it is sent again (send() here or on the host item). A mail the
  // transport is transmitting at that moment is not stopped.
  virtual Hresult putItem(const std::shared_ptr<Dispatch>& item) = 0;
  virtual Result<std::u16string> body() = 0;
  virtual Hresult setBody(std::u16string_view text) = 0;
  // Raw property access by tag; reading a property the item does not have
  // fails (hr::kMapiNotFound), and so does every read while the transport is
  // transmitting the mail (hr::kMapiBusy). The tag's type decides the
  // value's form: text for kString8 and kUnicode, long for kLong, ...
  virtual Result<Variant> field(std::int32_t tag) = 0;
  virtual Hresult setField(std::int32_t tag, const Variant& value) = 0;
  virtual Result<std::shared_ptr<SafeAttachments>> attachments() = 0;
  virtual Result<std::shared_ptr<SafeRecipients>> recipients() = 0;
  // Submits the mail: it waits in the Outbox until the transport runs.
  virtual Hresult send() = 0;
};

}  // namespace qx
