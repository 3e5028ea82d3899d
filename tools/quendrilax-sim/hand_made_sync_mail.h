#pragma once
// Sync mails made by hand, as another user's add-in would send them: a change
// carrying a task, or a removal, with a version line written exactly as the
// scenario says (or none), so that a scenario can play a peer that knows no
// versions, a wrong clock or a damaged stamp.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/locale.h"
#include "platform/variant.h"
#include "protocol/sync_body.h"
#include "quendrilax-sim/task_fields.h"
#include "sim/mail/item_data.h"

namespace qx::tools {

class ReadContext;
struct Step;

// A user property of the carried task, of the type the scenario names.
struct HandMadeProperty {
  std::string name;   // Windows-1252
  std::int32_t type;  // user_property_type::k...
  Variant value;
};

struct HandMadeSyncMail {
  SyncKind kind = SyncKind::kChange;
  std::string to;         // the To line as written
  std::string shareName;  // Windows-1252
  std::string syncId;     // Windows-1252
  // The text between the version markers; none: no version line at all.
  std::optional<std::string> version;
  std::vector<FieldValue> fields;  // the carried task's, for a change
  // Over the task's own "quendrilaxid" and "lastsharename" when named alike.
  std::vector<HandMadeProperty> properties;
  // The attachment's bytes as they are, instead of the compressed task.
  std::optional<std::vector<std::uint8_t>> attachment;
  // The whole body as it is (UTF-16), instead of the one the add-in writes.
  std::optional<std::u16string> rawBody;
};

// The tie-breaker of the versions the runner writes for a user's hand-made
// mails: "hand" and the letters and digits of the user's name.
std::string handMadeTag(const std::string& userName);

// The mail as the add-in leaves it in the Outbox: subject, flags, icon index,
// the header sync id and the compressed message file of the task for a
// change, the body with the notice in `language`. Fails only when the task
// cannot be compressed.
Result<sim::mail::ItemData> buildHandMadeSyncMail(const HandMadeSyncMail& mail, LangId language,
                                                  const std::u16string& senderAddress);

// `mail USER send change|removal to ADDRESSES share SHARENAME id SYNCID
// [version TEXT|none] [raw-body TEXT] [attachment-file NAME]
// [property NAME TYPE VALUE]... [FIELD VALUE]...`, read after "send"; the
// step puts the mail into the user's Outbox, submitted. Without a version
// clause the version is the user's clock now with handMadeTag.
std::shared_ptr<const Step> readHandMadeSyncMail(ReadContext& ctx, const std::string& user);

}  // namespace qx::tools
