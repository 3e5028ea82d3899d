#include "quendrilax-sim/runner.h"

#include <algorithm>
#include <cstdio>

#include "core/hidden_window.h"
#include "platform/mail_ids.h"
#include "quendrilax-sim/commands_queue.h"
#include "quendrilax-sim/log_entries.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/mail_store.h"
#include "sim/mail/post_office.h"
#include "sim/office/office.h"
#include "sim/ui_thread.h"

namespace qx::tools {

namespace {
constexpr std::int32_t kRemoveUserClosed = 1;
}  // namespace

Runner::Runner(std::ostream& transcript, std::filesystem::path diskRoot)
    : out_(transcript), diskRoot_(std::move(diskRoot)) {
  std::error_code ignored;
  std::filesystem::remove_all(diskRoot_, ignored);
  std::filesystem::create_directories(diskRoot_);
  office_ = std::make_unique<sim::Office>(diskRoot_);
}

Runner::~Runner() {
  // Family state may hold on to the office; it goes first, then the add-in,
  // then the machines it runs on.
  slots_.clear();
  for (auto& [name, user] : users_) {
    user->connect.reset();
    user->released.clear();
    user->module.reset();
  }
  users_.clear();
  office_.reset();
}

std::string Runner::stamp() const { return stampOf(office_->clock().nowMs()); }

std::string Runner::stampOf(std::int64_t ms) {
  // Past the first day the day is told apart: "[7d 01:04:00]".
  const std::int64_t days = ms / 86'400'000;
  const std::int64_t seconds = ms % 86'400'000 / 1000;
  char buffer[64];
  const int written =
      days > 0 ? std::snprintf(buffer, sizeof buffer, "[%lldd ", static_cast<long long>(days))
               : std::snprintf(buffer, sizeof buffer, "[");
  char* rest = buffer + written;
  const std::size_t room = sizeof buffer - static_cast<std::size_t>(written);
  if (ms % 1000 != 0) {
    std::snprintf(rest, room, "%02lld:%02lld:%02lld.%03lld]",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60), static_cast<long long>(ms % 1000));
  } else {
    std::snprintf(rest, room, "%02lld:%02lld:%02lld]", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  }
  return buffer;
}

void Runner::sayAt(std::int64_t ms, const std::string& who, const std::string& text) {
  if (muted_) return;
  flushRoutine();
  out_ << stampOf(ms) << ' ' << (who.empty() ? std::string() : who + ": ") << text << '\n';
}

namespace {
// The add-in's routine: a tick or a scan that changes nothing. `--brief`
// leaves such lines out unless something else happens along with them.
bool routine(const std::string& text) {
  return text.starts_with("add-in: tick") || text == "add-in: inbox scan" ||
         text.starts_with("add-in: new mail");
}
}  // namespace

void Runner::say(const std::string& who, const std::string& text) {
  if (muted_) return;
  std::string line = stamp() + ' ' + (who.empty() ? std::string() : who + ": ") + text + '\n';
  if (brief_ && routine(text)) {
    routineLines_.push_back(std::move(line));
    return;
  }
  flushRoutine();
  out_ << line;
}

void Runner::flushRoutine() {
  for (const std::string& line : routineLines_) out_ << line;
  routineLines_.clear();
}

void Runner::fail(const SourceLocation& where, std::string message) {
  flushRoutine();
  out_ << where.file << ':' << where.line << (checking_ ? ": FAILED: " : ": STEP FAILED: ")
       << message << '\n';
  failures_.push_back({where, std::move(message), !checking_});
}

OfficeUser& Runner::user(const std::string& name) { return *users_.at(name); }

OfficeUser& Runner::addUser(const UserProfile& profile) {
  sim::UserSetup setup;
  setup.name = profile.name;
  // The address and the version reach the host in UTF-16 (the version
  // below), so that they arrive as the characters written.
  setup.address = utf8ToAnsi(profile.address);
  setup.wideAddress = utf8ToUtf16(profile.address);
  setup.language = profile.language;
  setup.hostVersion = utf8ToAnsi(profile.hostVersion);
  setup.appDataAvailable = !profile.appDataMissing;
  setup.libraryInstalled = !profile.libraryMissing;
  setup.utcOffsetMinutes = profile.utcOffsetMinutes;
  setup.guidSeed = users_.size() + 1;
  auto u = std::make_unique<OfficeUser>();
  u->setup = profile;
  u->host = &office_->addUser(setup);
  u->host->mail().setVersion(utf8ToUtf16(profile.hostVersion));
  if (profile.noExplorer) u->host->mail().setExplorerPresent(false);
  u->host->mail().setChangeEventsPerSave(profile.changeEventsPerSave);
  u->host->mail().setChangeEventsInSave(profile.changeEventsInSave);
  u->host->setClockDriftMs(profile.clockDriftMs);
  OfficeUser* raw = u.get();
  // The host disconnects the add-in at once when it sets Connect to false; the
  // connection object is released only when the current step is over, since
  // the add-in is still working inside it.
  u->host->onDisconnectRequest([this, raw]() {
    if (!raw->connect || !raw->connected) return;
    say(raw->setup.name, "add-in asks to be unloaded; host disconnects it");
    disconnectAddin(*raw, kRemoveUserClosed, true);
  });
  // Each box is reported as it comes up, before the ticks its modal loop
  // lets through.
  u->host->onMessageBox([this, raw](const sim::ShownBox& box) {
    report(*raw);
    std::string note = "message box " + inQuotes(utf16ToUtf8(box.caption)) + ": " +
                       inQuotes(utf16ToUtf8(box.text)) + " -> " + buttonName(box.answer);
    if (box.openMs > 0) note += " after " + durationText(box.openMs);
    say(raw->setup.name, note);
  });
  users_[profile.name] = std::move(u);
  userOrder_.push_back(profile.name);
  return *raw;
}

void Runner::finish() {
  // An answer no box took usually means a box the scenario waited for never
  // came; the expectations decide, this only points at it.
  for (const std::string& name : userOrder_) {
    const std::size_t unused = user(name).host->pendingAnswers();
    if (unused > 0) say(name, "note: " + std::to_string(unused) + " scripted answer(s) never used");
  }
}

void Runner::run(const Command& command) {
  checking_ = command.verb == "expect" || command.verb == "soak";
  if (checking_) ++checksRun_;
  command.step->run(*this, command.where);
  settle();
  checking_ = false;
}

void Runner::advance(std::int64_t ms) {
  // In steps of a second, so that the transcript dates what happened (a
  // timer changed, a box shown) to the second; the clock fires the same
  // timers in the same order either way.
  const std::int64_t target = office_->clock().nowMs() + ms;
  while (office_->clock().nowMs() < target) {
    office_->clock().advance(std::min<std::int64_t>(1000, target - office_->clock().nowMs()));
    settle();
  }
}

void Runner::settle() {
  for (const std::string& name : userOrder_) {
    OfficeUser& u = user(name);
    if (u.host->running()) u.host->thread().pump();
  }
  for (const std::string& name : userOrder_) {
    OfficeUser& u = user(name);
    u.released.clear();
    u.scans.end(*this, u);
    report(u);
  }
  // Routine work that nothing else came of is left out.
  routineLines_.clear();
}

void Runner::catchUp(OfficeUser& u) {
  u.host->thread().pump();
  u.scans.end(*this, u);
  report(u);
}

void Runner::report(OfficeUser& u) {
  const std::string& name = u.setup.name;
  for (const std::string& line : u.outbox.look(u, muted_)) say(name, line);
  reportIndicator(u);
  std::optional<std::uint32_t> timer;
  if (u.connect && u.connect->hiddenWindow().exists())
    timer = u.host->timerInterval(u.connect->hiddenWindow().handle(), kTimerId);
  if (timer != u.timerReported) {
    say(name,
        timer ? "timer 1 runs every " + durationText(*timer) : std::string("timer 1 stopped"));
    u.timerReported = timer;
  }

  if (!traceLogs_) return;
  const std::string folder = u.host->moduleFolder();
  auto echo = [&](const char* file, std::size_t& reported) {
    const auto content = u.host->disk().readText(folder + file);
    const auto lines = logLines(content ? *content : std::string());
    if (lines.size() < reported) reported = 0;  // the file was started afresh
    for (std::size_t i = reported; i < lines.size(); ++i)
      say(name, std::string(file) + "| " + printable(ansiToUtf8(lines[i])));
    reported = lines.size();
  };
  echo("debug.log", u.debugLinesReported);
  echo("error.log", u.errorLinesReported);
}

void Runner::reportIndicator(OfficeUser& u) {
  const sim::mail::BarState* bar = indicatorBar(u);
  if (!bar) {
    if (u.indicatorUp) say(u.setup.name, "indicator removed");
    u.indicatorUp = false;
    return;
  }
  u.indicatorSeen = true;
  const std::u16string caption = bar->buttons.empty() ? u"" : bar->buttons.front().caption;
  if (!u.indicatorUp)
    say(u.setup.name, "indicator shown: " + inQuotes(utf16ToUtf8(caption)));
  else if (caption != u.indicatorCaption)
    say(u.setup.name, "indicator now reads " + inQuotes(utf16ToUtf8(caption)));
  u.indicatorUp = true;
  u.indicatorCaption = caption;
}

std::string Runner::outboxHint() {
  std::string waiting;
  for (const std::string& name : userOrder_) {
    OfficeUser& u = user(name);
    auto& mail = u.host->mail();
    std::size_t count = 0;
    for (const sim::MailItemInfo& item :
         mail.folderItems(mail.defaultFolderId(default_folder::kOutbox)))
      count += item.submitted ? 1 : 0;
    if (count == 0) continue;
    waiting += std::string(waiting.empty() ? "" : "; ") + counted(count, "mail") +
               " in the Outbox of " + name +
               (u.host->running() ? ": no transport has run since (mail moves only at 'transport')"
                                  : ": the host of " + name + " does not run");
  }
  if (waiting.empty()) return {};
  return " (still waiting: " + waiting + ")";
}

void Runner::traceLogs(bool on) {
  if (on && !traceLogs_) {
    // Only entries written from now on are echoed.
    for (auto& [name, u] : users_) {
      const auto lines = [&](const char* file) {
        const auto content = u->host->disk().readText(u->host->moduleFolder() + file);
        return content ? logLines(*content).size() : 0;
      };
      u->debugLinesReported = lines("debug.log");
      u->errorLinesReported = lines("error.log");
    }
  }
  traceLogs_ = on;
}

void Runner::connectAddin(OfficeUser& u, std::int32_t connectMode) {
  if (!u.module) {
    u.module = std::make_unique<AddinModule>(u.host->platform());
    OfficeUser* raw = &u;
    u.module->setTrace([this, raw](std::string_view note) {
      report(*raw);
      say(raw->setup.name, "add-in: " + std::string(note));
      if (note == "inbox scan") {
        // One scan ends before the next begins: what the host holds now is
        // the first one's outcome and the second one's start.
        raw->scans.end(*this, *raw);
        if (!muted_) raw->scans.begin(*raw);
      }
    });
  }
  u.host->markAddInConnected();
  u.connect = u.module->createConnect();
  Hresult status = hr::kOk;
  u.host->thread().dispatch([&]() {
    status =
        u.connect->onConnection(u.host->applicationObject(), connectMode, u.host->addInObject());
  });
  if (status != hr::kOk) {
    // The host reports the add-in as not loaded and lets go of it.
    say(u.setup.name, "OnConnection failed with " + statusText(status) + "; add-in not loaded");
    u.released.push_back(std::move(u.connect));
    u.connected = false;
    return;
  }
  u.connected = true;
}

void Runner::disconnectAddin(OfficeUser& u, std::int32_t removeMode, bool onHostThread) {
  if (!u.connect) return;
  u.connected = false;
  Hresult status = hr::kOk;
  // The add-in's own request arrives while it runs on the thread already.
  if (onHostThread) {
    status = u.connect->onDisconnection(removeMode);
  } else {
    u.host->thread().dispatch([&]() { status = u.connect->onDisconnection(removeMode); });
  }
  if (status != hr::kOk) say(u.setup.name, "OnDisconnection returned " + statusText(status));
  u.released.push_back(std::move(u.connect));
}

void Runner::unloadModule(OfficeUser& u) {
  u.released.clear();
  if (!u.module) return;
  u.pastCounters = u.counters();
  u.module.reset();
}

void Runner::dropAddin(OfficeUser& u) {
  u.connected = false;
  if (u.connect) u.released.push_back(std::move(u.connect));
  unloadModule(u);
}

std::string Runner::dataDirectory(OfficeUser& u) {
  if (u.setup.appDataMissing) return u.host->moduleFolder();
  return u.host->appDataFolder() + "\\Vantrosse\\";
}

std::u16string Runner::folderId(OfficeUser& u, const std::string& path) {
  auto& mail = u.host->mail();
  // "NAME:Tasks/..." names a folder of the user's store NAME; without a store
  // name the path starts in the default store.
  std::u16string storeId = mail.defaultStoreId();
  std::string rest = path;
  const std::size_t colon = path.find(':');
  if (colon != std::string::npos && colon < path.find_first_of("\\/")) {
    const std::u16string storeName = utf8ToUtf16(path.substr(0, colon));
    storeId.clear();
    for (auto* store : mail.core().stores())
      if (store->displayName() == storeName) storeId = store->id();
    if (storeId.empty()) return {};
    rest = path.substr(colon + 1);
  }
  const auto folders = mail.folders();
  std::u16string parent;  // the top of the store
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string::npos) end = rest.size();
    const std::u16string name = utf8ToUtf16(rest.substr(start, end - start));
    start = end + 1;
    auto found = std::find_if(folders.begin(), folders.end(), [&](const sim::MailFolderInfo& f) {
      return f.name == name && f.parentId == parent && (!parent.empty() || f.storeId == storeId);
    });
    if (found == folders.end()) return {};
    parent = found->entryId;
  }
  return parent;
}

void Runner::runTransport() {
  // What waits in every Outbox and Inbox before, to tell what moved: a mail
  // leaves only when the post office took it from the Outbox.
  std::map<std::string, std::vector<sim::MailItemInfo>> outboxBefore;
  std::map<std::string, std::vector<std::u16string>> inboxBefore;
  for (const std::string& name : userOrder_) {
    auto& mail = user(name).host->mail();
    for (sim::MailItemInfo& item : mail.folderItems(mail.defaultFolderId(default_folder::kOutbox)))
      if (item.submitted) outboxBefore[name].push_back(std::move(item));
    for (const sim::MailItemInfo& item :
         mail.folderItems(mail.defaultFolderId(default_folder::kInbox)))
      inboxBefore[name].push_back(item.entryId);
  }
  office_->postOffice().runTransport();
  for (const std::string& name : userOrder_) {
    OfficeUser& u = user(name);
    auto& mail = u.host->mail();
    const auto outbox = mail.folderItems(mail.defaultFolderId(default_folder::kOutbox));
    for (const sim::MailItemInfo& sent : outboxBefore[name]) {
      const bool stays = std::any_of(outbox.begin(), outbox.end(), [&](const sim::MailItemInfo& m) {
        return m.entryId == sent.entryId;
      });
      const std::string what = "mail " + inQuotes(utf16ToUtf8(sent.data.subject));
      if (!stays) {
        say(name, what + " leaves for " + utf16ToUtf8(sent.data.to));
        u.toldWaiting.erase(sent.entryId);
      } else {
        const auto now = std::find_if(outbox.begin(), outbox.end(), [&](const sim::MailItemInfo& m) {
          return m.entryId == sent.entryId;
        });
        const std::string why = !u.host->running() ? "the host of " + name + " does not run"
                                                   : utf16ToUtf8(now->sendFailure);
        auto told = u.toldWaiting.find(sent.entryId);
        if (told == u.toldWaiting.end() || told->second != utf8ToUtf16(why)) {
          u.toldWaiting[sent.entryId] = utf8ToUtf16(why);
          say(name, what + " for " + utf16ToUtf8(sent.data.to) + " waits in the Outbox" +
                        (why.empty() ? std::string() : ": " + why));
        }
      }
    }
  }
  for (const std::string& name : userOrder_) {
    OfficeUser& u = user(name);
    auto& mail = u.host->mail();
    const auto& before = inboxBefore[name];
    for (const sim::MailItemInfo& item :
         mail.folderItems(mail.defaultFolderId(default_folder::kInbox))) {
      if (std::find(before.begin(), before.end(), item.entryId) != before.end()) continue;
      say(name, "mail " + inQuotes(utf16ToUtf8(item.data.subject)) + " arrives from " +
                    (item.data.senderAddress.empty() ? std::string("the post office")
                                                     : utf16ToUtf8(item.data.senderAddress)));
    }
  }
}

}  // namespace qx::tools
