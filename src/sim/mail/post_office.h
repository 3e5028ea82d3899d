#pragma once
// Delivers mail between simulated users by address, without regard to letter
// case. When the transport runs (on request or on the virtual clock) every
// submitted mail of a running host leaves its sender's Outbox and arrives in
// each recipient's Inbox as a new mail (a stopped host's mail waits in its
// Outbox; mail for a stopped host lands in its Inbox all the same); an unknown address brings a non-delivery report back to
// the sender. For robustness tests deliveries can be delayed, reordered,
// duplicated and have their line ends rewritten, as mail systems do.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/mail/item_data.h"
#include "sim/mail/mail_client.h"
#include "sim/ui_thread.h"

namespace qx::sim {

class PostOffice {
 public:
  struct Quirks {
    std::int64_t delayMs = 0;   // held back this long before arriving
    bool reorder = false;       // each run delivers its batch in reverse order
    int copies = 1;             // each mail arrives this many times
    bool crlfLineEnds = false;  // bodies have LF rewritten to CR LF
  };

  explicit PostOffice(VirtualClock& clock);
  ~PostOffice();
  PostOffice(const PostOffice&) = delete;
  PostOffice& operator=(const PostOffice&) = delete;

  // A user whose mail the office carries; the client must stay alive until
  // detached or the office is destroyed.
  void attach(MailClient& client);
  void detach(MailClient& client);

  void setQuirks(const Quirks& quirks) { quirks_ = quirks; }

  // Collects every submitted mail and delivers what is due.
  void runTransport();
  // Runs the transport every `intervalMs` of virtual time.
  void runEvery(std::int64_t intervalMs);

  // Mails collected but held back (delay).
  std::size_t inTransit() const { return transit_.size(); }

 private:
  struct Delivery {
    MailClient* recipient;
    mail::ItemData mail;
    std::int64_t dueMs;
  };
  static DateValue utcDate(std::int64_t ms);
  MailClient* clientFor(std::u16string_view address);
  mail::ItemData asDelivered(const mail::ItemData& sent, const MailClient& sender) const;
  static mail::ItemData nonDeliveryReport(const mail::ItemData& sent, std::u16string_view address);

  VirtualClock& clock_;
  std::vector<MailClient*> clients_;
  std::vector<Delivery> transit_;
  Quirks quirks_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qx::sim
