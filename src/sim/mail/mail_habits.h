#pragma once
// What mail systems do to a message on its way, applied to the message text
// as a gateway would: a disclaimer appended to the text, a subject rewritten
// or tagged, the MIME parts in another order, attachment names rewritten in
// RFC 2231 form.
#include <string>
#include <string_view>

namespace qx::sim::mail {

struct MailHabits {
  std::u16string footer = {};         // appended to the first text part
  std::u16string subjectPrefix = {};  // put before the subject, such as "[EXT] "
  std::u16string subject = {};        // replaces the subject (before any prefix)
  bool partsReversed = false;         // the parts of the multipart in reverse order
  bool rfc2231Names = false;          // name= and filename= as name*0*=utf-8''...
  bool any() const {
    return !footer.empty() || !subjectPrefix.empty() || !subject.empty() || partsReversed ||
           rfc2231Names;
  }
};

// The message as the mail system passes it on. A message without the parts
// a habit works on passes that habit unchanged.
std::string applyHabits(std::string_view message, const MailHabits& habits);

}  // namespace qx::sim::mail
