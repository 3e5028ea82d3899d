#pragma once
// A mail as it travels between the test hosts: an internet message (RFC 5322
// with MIME), the body as UTF-8 text and each attachment in base64. Only what
// internet mail carries travels: envelope, subject, importance, sensitivity,
// the read-receipt request, the internet headers, body and attachments.
#include <optional>
#include <string>
#include <string_view>

#include "sim/mail/item_data.h"

namespace qx::e2e {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

// The message text of a sent mail; `sender` goes into From.
std::string writeMailFile(const sim::mail::ItemData& mail, std::u16string_view sender);
// The mail as it arrives; none when the text is no message this writer made.
std::optional<sim::mail::ItemData> readMailFile(std::string_view text);

}  // namespace qx::e2e
