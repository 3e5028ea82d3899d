#pragma once
// One user of a scenario as the runner keeps them: the machine with its host,
// the add-in module loaded into it while the host runs, and what the
// transcript has shown of them so far.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/addin_module.h"
#include "core/connect.h"
#include "quendrilax-sim/outbox_watch.h"
#include "quendrilax-sim/scan_report.h"

namespace qx::sim {
class HostProcess;
}

namespace qx::tools {

// How a scenario declares a user (`user NAME ...`); texts in UTF-8.
struct UserProfile {
  std::string name;
  std::string address;
  std::uint16_t language = 0x0409;
  std::string hostVersion = "10.0.0.6626";
  bool appDataMissing = false;
  bool libraryMissing = false;
  bool noExplorer = false;  // the host runs without an explorer window
  int utcOffsetMinutes = 60;
  int changeEventsPerSave = 1;      // ItemChange events the host raises for one save
  bool changeEventsInSave = false;  // raised before the item's Save returns
  std::int64_t clockDriftMs = 0;    // the machine's clock ahead (+) or behind (-) the office's
};

struct OfficeUser {
  UserProfile setup;
  sim::HostProcess* host = nullptr;
  std::unique_ptr<AddinModule> module;  // while the host runs
  std::unique_ptr<CConnect> connect;    // while the add-in is connected
  // Connection objects the host has let go of while they were still working.
  std::vector<std::unique_ptr<CConnect>> released;
  bool connected = false;
  // Counted over modules that have been unloaded already.
  AddinModule::Counters pastCounters;
  // What the transcript has shown so far.
  std::size_t debugLinesReported = 0;
  std::size_t errorLinesReported = 0;
  std::optional<std::uint32_t> timerReported;
  // Whether the indicator toolbar has been up at the end of any step so far
  // (the stand-in forgets a toolbar once it is deleted).
  bool indicatorSeen = false;
  // The indicator as the transcript last told it: up, and its caption.
  bool indicatorUp = false;
  std::u16string indicatorCaption;
  // The sync mails the add-in put into the Outbox, as told so far.
  OutboxWatch outbox;
  // Outbox mails the transcript has told to wait, by entry id, with why:
  // told once for each reason.
  std::map<std::u16string, std::u16string> toldWaiting;
  // The Inbox scan under way, to tell what became of its sync mails.
  ScanWatch scans;

  // The add-in's counters over every module the user's hosts have loaded.
  AddinModule::Counters counters() const {
    AddinModule::Counters total = pastCounters;
    if (module) {
      total.ticks += module->counters().ticks;
      total.skippedTicks += module->counters().skippedTicks;
      total.inboxScans += module->counters().inboxScans;
    }
    return total;
  }
};

}  // namespace qx::tools
