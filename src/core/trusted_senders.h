#pragma once
// Whose sync mails a user's add-in applies. Off, any sender's (a folder
// shared to receive only lists no one to check against); on, only those of
// the folder's recipients and of the extra addresses the setting names.
#include <string>
#include <string_view>
#include <vector>

namespace qx {

struct TrustedSenders {
  bool on = false;
  // Further accepted addresses: a robot that mails in everyone's name, a
  // colleague who sends but is not mailed.
  std::vector<std::u16string> extra;

  // True when the check is off, or the sender is a recipient or an extra
  // address; letter case does not count, as with mail addresses.
  bool accepts(std::u16string_view sender, const std::vector<std::u16string>& recipients) const;
};

// The "TrustedSenders" setting: absent, empty or "off" leaves the check off;
// anything else turns it on, and its parts between semicolons other than
// "on" are the extra addresses ("on", "robot@example.org;on",
// "robot@example.org").
TrustedSenders parseTrustedSenders(std::u16string_view value);

}  // namespace qx
