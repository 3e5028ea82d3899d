#pragma once
// A mail as internet mail carries it (RFC 5322 with MIME), written as a host
// hands it to its mail system and read back as a host files what its mail
// system delivers. Only what internet mail carries travels: envelope,
// subject, importance, sensitivity, the read-receipt request, the internet
// headers (X-...), the body as UTF-8 text and each attachment in base64 with
// its names.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/mail/item_data.h"

namespace qx::sim::mail {

struct MessageStamp {
  std::string messageId;  // without the angle brackets; none written when empty
  // When the mail left, in seconds since 1970 UTC; no Date when absent
  // (the mail system adds one).
  std::optional<std::int64_t> sentSeconds;
};

// The message text of a sent mail from `sender` (an address), lines ended by
// CR LF.
std::string renderMessage(const ItemData& mail, std::u16string_view sender,
                          const MessageStamp& stamp = {});

// The mail a message text makes: subject, To, the sender's address (From),
// the body (the first text part that is no attachment), every attachment with
// its names, sent time (Date) and received time (the newest Received line),
// importance, sensitivity, read receipt and the X- headers as internet
// headers. Tolerant of everything a mail system may legally do on the way:
// CR LF or LF, folded headers, any header order and letter case, encoded
// words, quoted-printable or base64 or 8-bit bodies, charsets, nested
// multiparts in any order, RFC 2231 names, added headers and trace lines.
// None when the text is no message (no header block, no From).
std::optional<ItemData> parseMessage(std::string_view text);

// The Message-ID of a message text, without angle brackets (empty if none).
std::string messageIdOf(std::string_view text);

// RFC 5322 date-time of a time in seconds since 1970 UTC, and back (none when
// the text is no date).
std::string rfc5322Date(std::int64_t seconds);
std::optional<std::int64_t> parseRfc5322Date(std::string_view text);

}  // namespace qx::sim::mail
