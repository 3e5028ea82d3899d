#pragma once
// The end-to-end hosts write and read their mail files with the stand-in's
// renderer and parser of internet messages, so that there is one of each.
#include <optional>
#include <string>
#include <string_view>

#include "sim/mail/item_data.h"
#include "sim/mail/mime_message.h"
#include "sim/mail/mime_text.h"

namespace qx::e2e {

using sim::mail::fromUtf8;
using sim::mail::toUtf8;

// The message text of a sent mail; `sender` goes into From.
inline std::string writeMailFile(const sim::mail::ItemData& mail, std::u16string_view sender) {
  return sim::mail::renderMessage(mail, sender);
}
// The mail as it arrives; none when the text is no message.
inline std::optional<sim::mail::ItemData> readMailFile(std::string_view text) {
  return sim::mail::parseMessage(text);
}

}  // namespace qx::e2e
