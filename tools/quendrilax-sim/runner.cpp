#include "quendrilax-sim/runner.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "core/addin_module.h"
#include "core/connect.h"
#include "platform/mail_ids.h"
#include "quendrilax-sim/log_entries.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/post_office.h"
#include "sim/office/office.h"
#include "sim/registry_sim.h"
#include "sim/ui_thread.h"

namespace qx::tools {

namespace {

// The host's connect and remove modes.
constexpr std::int32_t kConnectAfterStartup = 0;
constexpr std::int32_t kConnectStartup = 1;
constexpr std::int32_t kRemoveHostShutdown = 0;
constexpr std::int32_t kRemoveUserClosed = 1;

constexpr std::string_view kProductKey = "Software\\Vantrosse\\Quendrilax";

std::string hex32(std::int32_t status) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<std::uint32_t>(status));
  return buffer;
}

std::string statusText(Hresult status) { return status == hr::kOk ? "S_OK" : hex32(status); }

std::string inQuotes(std::string_view utf8) { return "\"" + printable(utf8) + "\""; }

std::string buttonName(int button) {
  switch (button) {
    case 1:
      return "OK";
    case 2:
      return "Cancel";
    case 6:
      return "Yes";
    case 7:
      return "No";
    default:
      return "button " + std::to_string(button);
  }
}

std::string durationText(std::int64_t ms) {
  if (ms >= 120'000 && ms % 60'000 == 0) return std::to_string(ms / 60'000) + " min";
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

// The bytes a value setting stands for, with texts in the user's code page.
std::vector<std::uint8_t> valueBytes(const RegValueSetting& setting) {
  if (!setting.text) return setting.bytes;
  std::string ansi = utf8ToAnsi(*setting.text);
  if (setting.terminated) ansi += '\0';
  return {ansi.begin(), ansi.end()};
}

std::string typeName(std::uint32_t type) {
  switch (type) {
    case reg::kSz:
      return "sz";
    case reg::kExpandSz:
      return "expand-sz";
    case reg::kBinary:
      return "binary";
    case reg::kDword:
      return "dword";
    case reg::kMultiSz:
      return "multi-sz";
    case reg::kQword:
      return "qword";
    default:
      return "hex(" + std::to_string(type) + ")";
  }
}

std::string describeValue(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  std::ostringstream text;
  text << typeName(type) << ' ';
  if ((type == reg::kDword && data.size() == 4) || (type == reg::kQword && data.size() == 8)) {
    std::uint64_t number = 0;
    for (std::size_t i = data.size(); i-- > 0;) number = (number << 8) | data[i];
    text << number;
  } else if (type == reg::kSz || type == reg::kExpandSz || type == reg::kMultiSz) {
    std::string ansi(data.begin(), data.end());
    const bool terminated = !ansi.empty() && ansi.back() == '\0';
    if (terminated) ansi.pop_back();
    text << inQuotes(ansiToUtf8(ansi));
    if (!terminated) text << " unterminated";
    if (ansi.size() > 60) text << " (" << ansi.size() << " bytes)";
  } else {
    for (std::size_t i = 0; i < data.size(); ++i) {
      char buffer[4];
      std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
      text << (i ? "," : "") << buffer;
    }
  }
  return text.str();
}

}  // namespace

struct Runner::User {
  UserCmd setup;
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
};

Runner::Runner(std::ostream& transcript, std::filesystem::path diskRoot)
    : out_(transcript), diskRoot_(std::move(diskRoot)) {
  std::error_code ignored;
  std::filesystem::remove_all(diskRoot_, ignored);
  std::filesystem::create_directories(diskRoot_);
  office_ = std::make_unique<sim::Office>(diskRoot_);
}

Runner::~Runner() {
  // The add-in goes before the machines it runs on.
  for (auto& [name, user] : users_) {
    user->connect.reset();
    user->released.clear();
    user->module.reset();
  }
  users_.clear();
  office_.reset();
}

std::string Runner::stamp() const {
  const std::int64_t ms = office_->clock().nowMs();
  const std::int64_t seconds = ms / 1000;
  char buffer[32];
  if (ms % 1000 != 0) {
    std::snprintf(buffer, sizeof buffer, "[%02lld:%02lld:%02lld.%03lld]",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60), static_cast<long long>(ms % 1000));
  } else {
    std::snprintf(buffer, sizeof buffer, "[%02lld:%02lld:%02lld]",
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
  }
  return buffer;
}

void Runner::say(const std::string& who, const std::string& text) {
  out_ << stamp() << ' ' << (who.empty() ? std::string() : who + ": ") << text << '\n';
}

void Runner::fail(const SourceLocation& where, std::string message) {
  out_ << where.file << ':' << where.line << ": FAILED: " << message << '\n';
  failures_.push_back({where, std::move(message)});
}

Runner::User& Runner::user(const std::string& name) { return *users_.at(name); }

void Runner::finish() {
  // An answer no box took usually means a box the scenario waited for never
  // came; the expectations decide, this only points at it.
  for (const std::string& name : userOrder_) {
    const std::size_t unused = user(name).host->pendingAnswers();
    if (unused > 0) say(name, "note: " + std::to_string(unused) + " scripted answer(s) never used");
  }
}

void Runner::run(const Command& command) {
  std::visit([&](const auto& body) { execute(command, body); }, command.body);
  settle();
}

void Runner::settle() {
  for (const std::string& name : userOrder_) {
    User& u = user(name);
    if (u.host->running()) u.host->thread().pump();
  }
  for (const std::string& name : userOrder_) {
    User& u = user(name);
    u.released.clear();
    report(u);
  }
}

void Runner::report(User& u) {
  const std::string& name = u.setup.name;
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

// --- Set-up ----------------------------------------------------------------------

void Runner::execute(const Command&, const UserCmd& c) {
  sim::UserSetup setup;
  setup.name = c.name;
  setup.address = c.address;
  setup.language = c.language;
  setup.hostVersion = c.hostVersion;
  setup.appDataAvailable = !c.appDataMissing;
  setup.libraryInstalled = !c.libraryMissing;
  setup.utcOffsetMinutes = c.utcOffsetMinutes;
  setup.guidSeed = users_.size() + 1;
  auto u = std::make_unique<User>();
  u->setup = c;
  u->host = &office_->addUser(setup);
  User* raw = u.get();
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
  users_[c.name] = std::move(u);
  userOrder_.push_back(c.name);
  std::string note = "user " + c.address + ", host " + c.hostVersion;
  char language[16];
  std::snprintf(language, sizeof language, ", language %04X", c.language);
  note += language;
  if (c.appDataMissing) note += ", no application-data folder";
  if (c.libraryMissing) note += ", safe-item library missing";
  say(c.name, note);
}

std::string Runner::keyPath(const std::string& key, std::uint64_t& hive) {
  auto strip = [&](std::string_view prefix) {
    if (key.size() >= prefix.size() &&
        sim::equalsIgnoringCase(key.substr(0, prefix.size()), prefix))
      return std::optional<std::string>(key.substr(prefix.size()));
    return std::optional<std::string>();
  };
  hive = reg::kCurrentUser;
  for (std::string_view prefix : {"HKEY_CURRENT_USER\\", "HKCU\\"})
    if (auto rest = strip(prefix)) return *rest;
  for (std::string_view prefix : {"HKEY_CLASSES_ROOT\\", "HKCR\\"})
    if (auto rest = strip(prefix)) {
      hive = reg::kClassesRoot;
      return *rest;
    }
  return std::string(kProductKey) + "\\" + key;
}

void Runner::execute(const Command&, const RegSetCmd& c) {
  User& u = user(c.user);
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(c.key, hive));
  const auto bytes = valueBytes(c.value);
  u.host->registry().putValue(hive, path, utf8ToAnsi(c.name == "@" ? "" : c.name), c.value.type,
                              bytes);
  say(c.user, "registry " + ansiToUtf8(path) + " " + inQuotes(c.name) + " = " +
                  describeValue(c.value.type, bytes));
}

void Runner::execute(const Command& command, const RegDeleteCmd& c) {
  User& u = user(c.user);
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(c.key, hive));
  if (c.name) {
    // As a .reg file would, so that the add-in's call counts stay untouched.
    auto escape = [](std::string text) {
      std::string out;
      for (char ch : text) {
        if (ch == '\\' || ch == '"') out += '\\';
        out += ch;
      }
      return out;
    };
    const std::string file =
        std::string("Windows Registry Editor Version 5.00\n\n[") +
        (hive == reg::kClassesRoot ? "HKEY_CLASSES_ROOT\\" : "HKEY_CURRENT_USER\\") +
        ansiToUtf8(path) + "]\n" +
        (*c.name == "@" ? std::string("@") : "\"" + escape(*c.name) + "\"") + "=-\n";
    if (auto loaded = u.host->registry().loadRegFile(file); !loaded) {
      fail(command.where, "cannot delete " + inQuotes(*c.name) + ": " + loaded.error().message);
      return;
    }
    say(c.user, "registry " + ansiToUtf8(path) + " " + inQuotes(*c.name) + " deleted");
  } else {
    const bool removed = u.host->registry().removeKey(hive, path);
    say(c.user, "registry " + ansiToUtf8(path) + (removed ? " deleted" : " did not exist"));
  }
}

void Runner::execute(const Command& command, const RegImportCmd& c) {
  User& u = user(c.user);
  auto loaded = u.host->registry().loadRegFile(c.text);
  if (!loaded) {
    fail(command.where, "cannot import " + c.origin + ": line " +
                            std::to_string(loaded.error().line) + ": " + loaded.error().message);
    return;
  }
  say(c.user, "registry file imported (" + c.origin + ")");
}

// --- Host and add-in -------------------------------------------------------------

void Runner::connectAddin(User& u, std::int32_t connectMode, const SourceLocation&) {
  if (!u.module) {
    u.module = std::make_unique<AddinModule>(u.host->platform());
    User* raw = &u;
    u.module->setTrace([this, raw](std::string_view note) {
      report(*raw);
      say(raw->setup.name, "add-in: " + std::string(note));
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

void Runner::disconnectAddin(User& u, std::int32_t removeMode, bool onHostThread) {
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

void Runner::unloadModule(User& u) {
  u.released.clear();
  if (!u.module) return;
  const auto& counters = u.module->counters();
  u.pastCounters.ticks += counters.ticks;
  u.pastCounters.skippedTicks += counters.skippedTicks;
  u.pastCounters.inboxScans += counters.inboxScans;
  u.module.reset();
}

void Runner::execute(const Command& command, const LifecycleCmd& c) {
  User& u = user(c.user);
  const std::string& name = c.user;
  switch (c.what) {
    case Lifecycle::kStart:
    case Lifecycle::kStartNoComplete: {
      if (u.host->running()) {
        fail(command.where, "the host of " + name + " runs already");
        return;
      }
      u.host->startRun();
      say(name, "host " + u.setup.hostVersion + " starts and loads the add-in");
      connectAddin(u, kConnectStartup, command.where);
      if (c.what == Lifecycle::kStart && u.connected) {
        say(name, "host reports startup complete");
        u.host->thread().dispatch([&]() { u.connect->onStartupComplete(); });
      }
      return;
    }
    case Lifecycle::kStartupComplete:
      if (!u.connected) {
        fail(command.where, "the add-in of " + name + " is not connected");
        return;
      }
      say(name, "host reports startup complete");
      u.host->thread().dispatch([&]() { u.connect->onStartupComplete(); });
      return;
    case Lifecycle::kConnect:
      if (!u.host->running()) {
        fail(command.where, "the host of " + name + " does not run");
        return;
      }
      if (u.connected) {
        fail(command.where, "the add-in of " + name + " is connected already");
        return;
      }
      say(name, "user connects the add-in in the running host");
      connectAddin(u, kConnectAfterStartup, command.where);
      return;
    case Lifecycle::kDisconnect:
      if (!u.connected) {
        fail(command.where, "the add-in of " + name + " is not connected");
        return;
      }
      say(name, "user disconnects the add-in");
      disconnectAddin(u, kRemoveUserClosed, false);
      return;
    case Lifecycle::kStop:
      if (!u.host->running()) {
        fail(command.where, "the host of " + name + " does not run");
        return;
      }
      say(name, "host shuts down");
      if (u.connected) {
        u.host->thread().dispatch([&]() { u.connect->onBeginShutdown(); });
        if (u.connect) disconnectAddin(u, kRemoveHostShutdown, false);
      }
      unloadModule(u);
      report(u);
      u.host->stopRun();
      return;
  }
}

void Runner::execute(const Command&, const AdvanceCmd& c) {
  say("", "time passes: " + durationText(c.ms));
  // In steps of a second, so that the transcript dates what happened (a
  // timer changed, a box shown) to the second; the clock fires the same
  // timers in the same order either way.
  const std::int64_t target = office_->clock().nowMs() + c.ms;
  while (office_->clock().nowMs() < target) {
    office_->clock().advance(std::min<std::int64_t>(1000, target - office_->clock().nowMs()));
    settle();
  }
}

void Runner::execute(const Command&, const AnswerCmd& c) {
  user(c.user).host->queueAnswer(c.button, c.openMs);
}

void Runner::execute(const Command& command, const NewMailCmd& c) {
  User& u = user(c.user);
  if (!u.host->running()) {
    fail(command.where, "the host of " + c.user + " does not run");
    return;
  }
  say(c.user, "host raises NewMail");
  u.host->raiseNewMail();
}

void Runner::execute(const Command&, const FailCmd& c) {
  user(c.user).host->faults().fail(c.operation, c.status, c.occurrence);
  say(c.user, c.operation + " will fail with " + hex32(c.status) +
                  (c.occurrence == 0 ? " on every call"
                                     : " on call " + std::to_string(c.occurrence) + " from now"));
}

void Runner::execute(const Command&, const HealCmd& c) {
  auto& faults = user(c.user).host->faults();
  if (c.operation) {
    faults.clear(*c.operation);
  } else {
    faults.clearAll();
  }
}

std::string Runner::dataDirectory(User& u) {
  if (u.setup.appDataMissing) return u.host->moduleFolder();
  return u.host->appDataFolder() + "\\Vantrosse\\";
}

std::string Runner::filePath(User& u, FileCmd::Place place, const std::string& name) {
  const std::string ansi = utf8ToAnsi(name);
  switch (place) {
    case FileCmd::Place::kData:
      return dataDirectory(u) + ansi;
    case FileCmd::Place::kModule:
      return u.host->moduleFolder() + ansi;
    case FileCmd::Place::kAppData:
      return u.host->appDataFolder() + "\\" + ansi;
    case FileCmd::Place::kPath:
      break;
  }
  return ansi;
}

void Runner::execute(const Command& command, const FileCmd& c) {
  User& u = user(c.user);
  const std::string path = filePath(u, c.place, c.name);
  if (c.content) {
    if (!u.host->disk().writeText(path, utf8ToAnsi(*c.content))) {
      fail(command.where, "cannot write " + ansiToUtf8(path));
      return;
    }
    say(c.user, "file " + ansiToUtf8(path) + " written");
  } else {
    u.host->disk().remove(path);
    say(c.user, "file " + ansiToUtf8(path) + " deleted");
  }
}

// --- Folders, tasks and mail ---------------------------------------------------------

std::u16string Runner::folderId(User& u, const std::string& path) {
  const auto folders = u.host->mail().folders();
  std::u16string parent;  // the top of the store
  const std::u16string defaultStore = u.host->mail().defaultStoreId();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    const std::u16string name = utf8ToUtf16(path.substr(start, end - start));
    start = end + 1;
    auto found = std::find_if(folders.begin(), folders.end(), [&](const sim::MailFolderInfo& f) {
      return f.name == name && f.parentId == parent &&
             (!parent.empty() || f.storeId == defaultStore);
    });
    if (found == folders.end()) return {};
    parent = found->entryId;
  }
  return parent;
}

void Runner::execute(const Command& command, const FolderCmd& c) {
  User& u = user(c.user);
  const std::size_t cut = c.path.find_last_of("\\/");
  std::u16string parent;
  if (cut != std::string::npos) {
    parent = folderId(u, c.path.substr(0, cut));
    if (parent.empty()) {
      fail(command.where, "no folder " + inQuotes(c.path.substr(0, cut)) + " for " + c.user);
      return;
    }
  }
  const std::string name = cut == std::string::npos ? c.path : c.path.substr(cut + 1);
  if (!folderId(u, c.path).empty()) {
    fail(command.where, c.user + " has a folder " + inQuotes(c.path) + " already");
    return;
  }
  const std::u16string id = u.host->mail().createFolder(
      utf8ToUtf16(name), c.mailFolder ? u"IPM.Note" : u"IPM.Task", parent);
  if (id.empty()) {
    fail(command.where, "cannot create folder " + inQuotes(c.path));
    return;
  }
  say(c.user, std::string(c.mailFolder ? "mail" : "task") + " folder " + inQuotes(c.path) +
                  " created (" + utf16ToUtf8(id) + ")");
}

void Runner::execute(const Command& command, const TaskCmd& c) {
  User& u = user(c.user);
  const std::u16string folder = folderId(u, c.folder);
  if (folder.empty()) {
    fail(command.where, "no folder " + inQuotes(c.folder) + " for " + c.user);
    return;
  }
  auto& mail = u.host->mail();
  if (c.action == TaskCmd::Action::kAdd) {
    sim::mail::ItemData task = sim::mail::ItemData::newTask();
    task.subject = utf8ToUtf16(c.subject);
    mail.addItem(folder, std::move(task));
    say(c.user, "adds task " + inQuotes(c.subject) + " to " + c.folder);
    return;
  }
  for (const sim::MailItemInfo& item : mail.folderItems(folder)) {
    if (item.data.subject != utf8ToUtf16(c.subject)) continue;
    mail.deleteItem(item.entryId);
    say(c.user, "deletes task " + inQuotes(c.subject) + " from " + c.folder);
    return;
  }
  fail(command.where, "no task " + inQuotes(c.subject) + " in " + c.folder + " of " + c.user);
}

void Runner::execute(const Command&, const MailCmd& c) {
  User& u = user(c.user);
  auto& mail = u.host->mail();
  sim::mail::ItemData data = sim::mail::ItemData::newMail();
  data.to = utf8ToUtf16(c.to);
  data.subject = utf8ToUtf16(c.subject);
  data.body = utf8ToUtf16(c.body);
  data.senderAddress = mail.address();
  auto& core = mail.core();
  core.insertItem(core.defaultStore(), mail.defaultFolderId(default_folder::kOutbox),
                  std::move(data), true);
  say(c.user, "sends mail " + inQuotes(c.subject) + " to " + c.to + " (waits in the Outbox)");
}

void Runner::execute(const Command& command, const ShareCmd& c) {
  User& u = user(c.user);
  const std::u16string id = folderId(u, c.folder);
  const auto info = id.empty() ? std::nullopt : u.host->mail().folder(id);
  if (!info) {
    fail(command.where, "no folder " + inQuotes(c.folder) + " for " + c.user);
    return;
  }
  // As the folder property page saves it: used, store id, share name, and a
  // fresh list of recipients; "isProcessed" stays as it is.
  auto& registry = u.host->registry();
  const std::string key = std::string(kProductKey) + "\\Folders\\" + utf8ToAnsi(utf16ToUtf8(id));
  registry.putDword(reg::kCurrentUser, key, "used", 1);
  registry.putString(reg::kCurrentUser, key, "SID", utf8ToAnsi(utf16ToUtf8(info->storeId)));
  registry.putString(reg::kCurrentUser, key, "ShareName", utf8ToAnsi(c.shareName));
  registry.removeKey(reg::kCurrentUser, key + "\\Users");
  registry.putKey(reg::kCurrentUser, key + "\\Users");
  for (const std::string& address : c.recipients)
    registry.putKey(reg::kCurrentUser, key + "\\Users\\" + utf8ToAnsi(address));
  std::string note = "shares " + c.folder + " as " + inQuotes(c.shareName);
  for (std::size_t i = 0; i < c.recipients.size(); ++i)
    note += (i ? ", " : " with ") + c.recipients[i];
  say(c.user, note);
}

void Runner::runTransport() {
  // Who has what waiting before, to tell what moved.
  std::map<std::string, std::vector<std::u16string>> inboxBefore;
  for (const std::string& name : userOrder_) {
    User& u = user(name);
    auto& mail = u.host->mail();
    for (const sim::MailItemInfo& item :
         mail.folderItems(mail.defaultFolderId(default_folder::kOutbox)))
      if (item.submitted)
        say(name, "mail " + inQuotes(utf16ToUtf8(item.data.subject)) + " leaves for " +
                      utf16ToUtf8(item.data.to));
    for (const sim::MailItemInfo& item :
         mail.folderItems(mail.defaultFolderId(default_folder::kInbox)))
      inboxBefore[name].push_back(item.entryId);
  }
  office_->postOffice().runTransport();
  for (const std::string& name : userOrder_) {
    User& u = user(name);
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

void Runner::execute(const Command&, const TransportCmd& c) {
  if (c.everyMs == 0) {
    runTransport();
    return;
  }
  say("", "the post office carries mail every " + durationText(c.everyMs));
  office_->clock().every(c.everyMs, [this]() { runTransport(); });
}

void Runner::execute(const Command&, const HelpCmd&) {
  out_
      << "commands (docs/scenarios.md has the whole language):\n"
         "  user NAME [address A] [language en|de|es|0x0407] [version V] [appdata missing]\n"
         "            [library missing] [utc +1]\n"
         "  registry USER set KEY NAME TYPE DATA | delete KEY [NAME] | import FILE | import <<END\n"
         "  start USER [no-startup-complete] | startup-complete USER | connect USER\n"
         "  disconnect USER | stop USER | advance DURATION | newmail USER\n"
         "  answer USER ok|yes|no|cancel [open DURATION]\n"
         "  folder USER add PATH [mail] | task USER add|delete SUBJECT [in PATH]\n"
         "  mail USER send to ADDRESSES subject TEXT [body TEXT] | transport [every DURATION]\n"
         "  share USER PATH as SHARENAME [with ADDRESS...]\n"
         "  file USER data|module|appdata|path NAME write TEXT | delete\n"
         "  fail USER OPERATION [status CODE] [call N | always] | heal USER [OPERATION]\n"
         "  echo TEXT | trace logs on|off\n"
         "  show USER log debug|error | boxes | timer | registry [KEY] | files [PLACE]\n"
         "  expect USER boxes N | box N|last [caption T] [text T] [type ok|yesno]\n"
         "  expect USER log debug|error contains|lacks T | first T... | entry N T | line N T\n"
         "                                | entries N | present | absent\n"
         "  expect USER registry KEY exists|absent | KEY NAME TYPE DATA | KEY NAME absent\n"
         "  expect USER file PLACE NAME exists|absent|contains T | timer DURATION|none\n"
         "  expect USER connected|disconnected|stopped | current-directory PATH\n"
         "  expect USER scans|ticks|skipped-ticks N | calls OPERATION N\n"
         "  expect USER folder PATH count N | has SUBJECT | lacks SUBJECT\n";
}

void Runner::execute(const Command&, const EchoCmd& c) { say("", "# " + c.text); }

void Runner::execute(const Command&, const TraceCmd& c) {
  if (c.logs && !traceLogs_) {
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
  traceLogs_ = c.logs;
}

void Runner::execute(const Command&, const ShowCmd& c) {
  User& u = user(c.user);
  const std::string& name = c.user;
  switch (c.what) {
    case ShowWhat::kDebugLog:
    case ShowWhat::kErrorLog: {
      const char* file = c.what == ShowWhat::kDebugLog ? "debug.log" : "error.log";
      const auto content = u.host->disk().readText(u.host->moduleFolder() + file);
      if (!content) {
        say(name, std::string(file) + " does not exist");
        return;
      }
      say(name, std::string(file) + ":");
      for (const std::string& line : logLines(*content))
        out_ << "    " << printable(ansiToUtf8(line)) << '\n';
      return;
    }
    case ShowWhat::kBoxes: {
      const auto boxes = u.host->shownBoxes();
      say(name, std::to_string(boxes.size()) + " message box(es)");
      for (std::size_t i = 0; i < boxes.size(); ++i)
        out_ << "    " << i + 1 << ". " << inQuotes(utf16ToUtf8(boxes[i].caption)) << ": "
             << inQuotes(utf16ToUtf8(boxes[i].text)) << " -> " << buttonName(boxes[i].answer)
             << '\n';
      return;
    }
    case ShowWhat::kTimer: {
      std::optional<std::uint32_t> timer;
      if (u.connect && u.connect->hiddenWindow().exists())
        timer = u.host->timerInterval(u.connect->hiddenWindow().handle(), kTimerId);
      say(name,
          timer ? "timer 1 runs every " + durationText(*timer) : std::string("no timer runs"));
      return;
    }
    case ShowWhat::kRegistry: {
      std::uint64_t hive = 0;
      const std::string root =
          c.argument.empty() ? std::string(kProductKey) : utf8ToAnsi(keyPath(c.argument, hive));
      if (c.argument.empty()) hive = reg::kCurrentUser;
      auto& registry = u.host->registry();
      if (!registry.hasKey(hive, root)) {
        say(name, "registry " + ansiToUtf8(root) + " does not exist");
        return;
      }
      say(name, "registry " + ansiToUtf8(root) + ":");
      // The registry's own export, cut down to the sections below the key.
      const std::string section =
          std::string("[") +
          (hive == reg::kClassesRoot ? "HKEY_CLASSES_ROOT\\" : "HKEY_CURRENT_USER\\") +
          ansiToUtf8(root);
      bool inside = false;
      for (const std::string& line : logLines(registry.saveRegFile(sim::RegFileEncoding::kUtf8))) {
        if (line.starts_with("[")) {
          inside = line.size() >= section.size() &&
                   sim::equalsIgnoringCase(line.substr(0, section.size()), section) &&
                   (line.size() == section.size() || line[section.size()] == ']' ||
                    line[section.size()] == '\\');
        }
        if (inside && !line.empty() && line != "\r") {
          std::string shown = line;
          if (!shown.empty() && shown.back() == '\r') shown.pop_back();
          out_ << "    " << shown << '\n';
        }
      }
      return;
    }
    case ShowWhat::kFiles: {
      const std::string folder = c.argument == "module"    ? u.host->moduleFolder()
                                 : c.argument == "appdata" ? u.host->appDataFolder()
                                                           : dataDirectory(u);
      const auto names = u.host->disk().list(folder);
      say(name, "files in " + ansiToUtf8(folder) + ": " + std::to_string(names.size()));
      for (const std::string& file : names) out_ << "    " << ansiToUtf8(file) << '\n';
      return;
    }
  }
}

// --- Expectations ------------------------------------------------------------------

void Runner::execute(const Command& command, const ExpectCmd& c) {
  User& u = user(c.user);
  // What has happened so far shows before the verdict on it.
  u.host->thread().pump();
  report(u);
  if (auto problem = check(u, c.what)) fail(command.where, c.user + ": " + *problem);
}

std::optional<std::string> Runner::check(User& u, const Expectation& what) {
  auto expected = [](const std::string& wanted, const std::string& found) {
    return std::optional<std::string>("expected " + wanted + ", found " + found);
  };

  if (const auto* e = std::get_if<ExpectBoxes>(&what)) {
    const auto boxes = u.host->shownBoxes();
    if (static_cast<int>(boxes.size()) == e->count) return std::nullopt;
    return expected(std::to_string(e->count) + " message box(es)", std::to_string(boxes.size()));
  }

  if (const auto* e = std::get_if<ExpectBox>(&what)) {
    const auto boxes = u.host->shownBoxes();
    if (boxes.empty()) return expected("a message box", "none");
    const std::size_t index = e->index == 0 ? boxes.size() : static_cast<std::size_t>(e->index);
    if (index > boxes.size())
      return expected("message box " + std::to_string(index),
                      "only " + std::to_string(boxes.size()));
    const sim::ShownBox& box = boxes[index - 1];
    const std::string label = "message box " + std::to_string(index);
    if (e->caption && utf8ToUtf16(*e->caption) != box.caption)
      return expected(label + " caption " + inQuotes(*e->caption),
                      inQuotes(utf16ToUtf8(box.caption)));
    if (e->text && utf8ToUtf16(*e->text) != box.text)
      return expected(label + " text " + inQuotes(*e->text), inQuotes(utf16ToUtf8(box.text)));
    if (e->type && *e->type != box.type)
      return expected(label + " type " + hex32(static_cast<std::int32_t>(*e->type)),
                      hex32(static_cast<std::int32_t>(box.type)));
    return std::nullopt;
  }

  if (const auto* e = std::get_if<ExpectLog>(&what)) {
    const char* file = e->log == LogKind::kDebug ? "debug.log" : "error.log";
    const auto raw = u.host->disk().readText(u.host->moduleFolder() + file);
    using Check = ExpectLog::Check;
    if (e->check == Check::kAbsent)
      return raw ? expected(std::string(file) + " absent", "it exists") : std::nullopt;
    if (!raw) return expected(std::string(file) + " to exist", "no such file");
    const std::string content = ansiToUtf8(*raw);
    const auto entries = e->log == LogKind::kDebug ? readDebugLog(content) : readErrorLog(content);
    std::string joined;
    for (const LogEntry& entry : entries) joined += entry.text + "\n";
    auto listed = [&](std::size_t count) {
      std::string list;
      for (std::size_t i = 0; i < std::min(count, entries.size()); ++i)
        list += (i ? ", " : "") + inQuotes(entries[i].text);
      return "[" + list + "]";
    };
    switch (e->check) {
      case Check::kPresent:
        return std::nullopt;
      case Check::kAbsent:
        break;
      case Check::kContains:
        if (joined.find(e->texts[0]) != std::string::npos) return std::nullopt;
        return expected(std::string(file) + " to contain " + inQuotes(e->texts[0]),
                        std::to_string(entries.size()) + " entries without it");
      case Check::kLacks:
        if (joined.find(e->texts[0]) == std::string::npos) return std::nullopt;
        return expected(std::string(file) + " without " + inQuotes(e->texts[0]), "it there");
      case Check::kEntries:
        if (static_cast<int>(entries.size()) == e->number) return std::nullopt;
        return expected(std::to_string(e->number) + " entries in " + file,
                        std::to_string(entries.size()) + " " + listed(entries.size()));
      case Check::kFirst: {
        bool same = entries.size() >= e->texts.size();
        for (std::size_t i = 0; same && i < e->texts.size(); ++i)
          same = entries[i].text == e->texts[i];
        if (same) return std::nullopt;
        std::string wanted;
        for (std::size_t i = 0; i < e->texts.size(); ++i)
          wanted += (i ? ", " : "") + inQuotes(e->texts[i]);
        return expected(std::string(file) + " to begin with [" + wanted + "]",
                        listed(e->texts.size()));
      }
      case Check::kEntry: {
        const auto n = static_cast<std::size_t>(e->number);
        if (n > entries.size())
          return expected(std::string(file) + " entry " + std::to_string(n),
                          "only " + std::to_string(entries.size()) + " entries");
        if (entries[n - 1].text == e->texts[0]) return std::nullopt;
        return expected(
            std::string(file) + " entry " + std::to_string(n) + " " + inQuotes(e->texts[0]),
            inQuotes(entries[n - 1].text));
      }
      case Check::kLine: {
        const auto lines = logLines(content);
        const auto n = static_cast<std::size_t>(e->number);
        if (n > lines.size())
          return expected(std::string(file) + " line " + std::to_string(n),
                          "only " + std::to_string(lines.size()) + " lines");
        if (lines[n - 1] == e->texts[0]) return std::nullopt;
        return expected(
            std::string(file) + " line " + std::to_string(n) + " " + inQuotes(e->texts[0]),
            inQuotes(lines[n - 1]));
      }
    }
    return std::nullopt;
  }

  if (const auto* e = std::get_if<ExpectRegistryKey>(&what)) {
    std::uint64_t hive = 0;
    const std::string path = utf8ToAnsi(keyPath(e->key, hive));
    const bool exists = u.host->registry().hasKey(hive, path);
    if (exists == e->exists) return std::nullopt;
    return expected("key " + ansiToUtf8(path) + (e->exists ? " to exist" : " absent"),
                    exists ? "it exists" : "no such key");
  }

  if (const auto* e = std::get_if<ExpectRegistryValue>(&what)) {
    std::uint64_t hive = 0;
    const std::string path = utf8ToAnsi(keyPath(e->key, hive));
    const auto stored =
        u.host->registry().value(hive, path, utf8ToAnsi(e->name == "@" ? "" : e->name));
    const std::string label = "value " + inQuotes(e->name) + " of " + ansiToUtf8(path);
    if (!e->value) {
      if (!stored) return std::nullopt;
      return expected(label + " absent", describeValue(stored->type, stored->data));
    }
    const auto bytes = valueBytes(*e->value);
    if (!stored)
      return expected(label + " " + describeValue(e->value->type, bytes), "no such value");
    if (stored->type == e->value->type && stored->data == bytes) return std::nullopt;
    return expected(label + " " + describeValue(e->value->type, bytes),
                    describeValue(stored->type, stored->data));
  }

  if (const auto* e = std::get_if<ExpectFile>(&what)) {
    const std::string path = filePath(u, e->place, e->name);
    const bool exists = u.host->disk().isFile(path);
    const std::string shown = ansiToUtf8(path);
    if (e->contains) {
      if (!exists) return expected(shown + " to contain " + inQuotes(*e->contains), "no such file");
      const std::string content = ansiToUtf8(*u.host->disk().readText(path));
      if (content.find(*e->contains) != std::string::npos) return std::nullopt;
      return expected(shown + " to contain " + inQuotes(*e->contains),
                      inQuotes(content.substr(0, 200)));
    }
    if (exists == e->exists) return std::nullopt;
    return expected(shown + (e->exists ? " to exist" : " absent"),
                    exists ? "it exists" : "no such file");
  }

  if (const auto* e = std::get_if<ExpectTimer>(&what)) {
    std::optional<std::uint32_t> timer;
    if (u.connect && u.connect->hiddenWindow().exists())
      timer = u.host->timerInterval(u.connect->hiddenWindow().handle(), kTimerId);
    if (timer == e->ms) return std::nullopt;
    auto text = [](std::optional<std::uint32_t> ms) {
      return ms ? "timer 1 every " + std::to_string(*ms) + " ms" : std::string("no timer");
    };
    return expected(text(e->ms), text(timer));
  }

  if (const auto* e = std::get_if<ExpectState>(&what)) {
    const std::string state = !u.host->running() ? "stopped"
                              : u.connected      ? "connected"
                                                 : "disconnected";
    const std::string wanted = e->state == ExpectState::State::kConnected      ? "connected"
                               : e->state == ExpectState::State::kDisconnected ? "disconnected"
                                                                               : "stopped";
    if (state == wanted) return std::nullopt;
    return expected("the add-in " + wanted, state);
  }

  if (const auto* e = std::get_if<ExpectCurrentDirectory>(&what)) {
    auto& disk = u.host->disk();
    const auto wanted = disk.fullPath(utf8ToAnsi(e->path));
    const auto found = disk.fullPath(disk.currentDirectory());
    if (wanted && found && sim::equalsIgnoringCase(*wanted, *found)) return std::nullopt;
    return expected("current directory " + inQuotes(e->path),
                    inQuotes(ansiToUtf8(disk.currentDirectory())));
  }

  if (const auto* e = std::get_if<ExpectCalls>(&what)) {
    const int calls = u.host->faults().calls(e->operation);
    if (calls == e->count) return std::nullopt;
    return expected(std::to_string(e->count) + " calls of " + e->operation, std::to_string(calls));
  }

  if (const auto* e = std::get_if<ExpectCounter>(&what)) {
    AddinModule::Counters total = u.pastCounters;
    if (u.module) {
      total.ticks += u.module->counters().ticks;
      total.skippedTicks += u.module->counters().skippedTicks;
      total.inboxScans += u.module->counters().inboxScans;
    }
    using Which = ExpectCounter::Which;
    const int found = e->which == Which::kScans   ? total.inboxScans
                      : e->which == Which::kTicks ? total.ticks
                                                  : total.skippedTicks;
    const char* label = e->which == Which::kScans   ? " Inbox scans"
                        : e->which == Which::kTicks ? " timer ticks worked"
                                                    : " timer ticks skipped";
    if (found == e->count) return std::nullopt;
    return expected(std::to_string(e->count) + label, std::to_string(found));
  }

  if (const auto* e = std::get_if<ExpectFolder>(&what)) {
    const std::u16string id = folderId(u, e->folder);
    if (id.empty()) return expected("a folder " + inQuotes(e->folder), "none");
    const auto items = u.host->mail().folderItems(id);
    const std::u16string subject = utf8ToUtf16(e->subject);
    const bool has = std::any_of(items.begin(), items.end(), [&](const sim::MailItemInfo& i) {
      return i.data.subject == subject;
    });
    std::string listed;
    for (std::size_t i = 0; i < items.size() && i < 10; ++i)
      listed += (i ? ", " : "") + inQuotes(utf16ToUtf8(items[i].data.subject));
    if (items.size() > 10) listed += ", ...";
    switch (e->check) {
      case ExpectFolder::Check::kCount:
        if (static_cast<int>(items.size()) == e->count) return std::nullopt;
        return expected(std::to_string(e->count) + " item(s) in " + e->folder,
                        std::to_string(items.size()) + " [" + listed + "]");
      case ExpectFolder::Check::kHas:
        if (has) return std::nullopt;
        return expected(e->folder + " to hold " + inQuotes(e->subject), "[" + listed + "]");
      case ExpectFolder::Check::kLacks:
        if (!has) return std::nullopt;
        return expected(e->folder + " without " + inQuotes(e->subject), "it there");
    }
  }

  return std::string("unknown expectation");
}

}  // namespace qx::tools
