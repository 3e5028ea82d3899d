#include "quendrilax-sim/commands_office.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/hidden_window.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/faults.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "quendrilax-sim/commands_mail_server.h"
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

bool validUserName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

std::uint16_t parseLanguage(const std::string& text) {
  if (text == "en" || text == "en-us") return 0x0409;
  if (text == "en-gb") return 0x0809;
  if (text == "de" || text == "de-de") return 0x0407;
  if (text == "de-at") return 0x0C07;
  if (text == "de-ch") return 0x0807;
  if (text == "es" || text == "es-es") return 0x0C0A;
  if (text == "es-mx") return 0x080A;
  if (text == "fr" || text == "fr-fr") return 0x040C;
  if (auto id = parseNumber(text); id && text.starts_with("0x") && *id <= 0xFFFF)
    return static_cast<std::uint16_t>(*id);
  bad("unknown language '" + text + "' (en, de, es, fr, de-at, ... or a language id 0x0407)");
}

int parseUtcOffset(const std::string& text) {
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-'))
    bad("utc offset must be like +1 or -5:30");
  const int sign = text[0] == '-' ? -1 : 1;
  const std::string body = text.substr(1);
  const auto colon = body.find(':');
  auto hours = parseNumber(body.substr(0, colon));
  std::optional<std::uint64_t> minutes = 0;
  if (colon != std::string::npos) minutes = parseNumber(body.substr(colon + 1));
  if (!hours || !minutes || *hours > 14 || *minutes > 59)
    bad("utc offset must be like +1 or -5:30");
  return sign * static_cast<int>(*hours * 60 + *minutes);
}

// "+5m", "-90s": how far the machine's clock is off the office's.
std::int64_t parseDrift(const std::string& text) {
  const char* usage = "clock takes +DURATION or -DURATION, such as +5m or -1500ms";
  if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) bad(usage);
  const auto ms = readDuration(text.substr(1));
  if (!ms) bad("clock offset '" + text + "': the duration " + ms.error());
  return text[0] == '-' ? -*ms : *ms;
}

std::string driftText(std::int64_t driftMs) {
  if (driftMs == 0) return "on the office's time";
  return durationText(driftMs < 0 ? -driftMs : driftMs) + (driftMs < 0 ? " behind" : " ahead");
}

int parseButton(const std::string& word) {
  if (word == "ok") return 1;
  if (word == "cancel") return 2;
  if (word == "yes") return 6;
  if (word == "no") return 7;
  bad("unknown answer '" + word + "' (ok, cancel, yes, no)");
}

std::shared_ptr<const Step> readUser(ReadContext& ctx) {
  Args& args = ctx.args;
  auto user = std::make_shared<UserCmd>();
  UserProfile& p = user->profile;
  p.name = args.keyword("user name");
  if (!validUserName(p.name)) bad("a user name is letters, digits, '-' and '_'");
  if (ctx.isUser(p.name)) {
    // A declared user's clock may be set off later; nothing else changes.
    if (args.left() == 2 && args.accept("clock")) {
      auto drift = std::make_shared<ClockDriftCmd>();
      drift->user = p.name;
      drift->driftMs = parseDrift(args.keyword("clock offset"));
      return drift;
    }
    bad("user '" + p.name + "' declared twice (a declared user takes only: user " + p.name +
        " clock +DURATION|-DURATION)");
  }
  p.address = p.name + "@office.test";
  while (!args.done()) {
    const std::string option = args.keyword("user option");
    if (option == "address") {
      p.address = args.text("address");
    } else if (option == "language") {
      p.language = parseLanguage(args.keyword("language"));
    } else if (option == "version") {
      p.hostVersion = args.text("host version");
    } else if (option == "appdata" || option == "library") {
      const std::string state = args.keyword(option + " state");
      if (state != "missing") bad("'" + option + "' can only be 'missing'");
      (option == "appdata" ? p.appDataMissing : p.libraryMissing) = true;
    } else if (option == "utc") {
      p.utcOffsetMinutes = parseUtcOffset(args.keyword("utc offset"));
    } else if (option == "no-explorer") {
      p.noExplorer = true;
    } else if (option == "change-events") {
      p.changeEventsPerSave = args.count("change events per save", 10);
      if (p.changeEventsPerSave < 1) bad("a save raises at least one change event");
    } else if (option == "change-events-in-save") {
      p.changeEventsInSave = true;
    } else if (option == "clock") {
      p.clockDriftMs = parseDrift(args.keyword("clock offset"));
    } else {
      bad("unknown user option '" + option +
          "' (address, language, version, appdata, library, utc, no-explorer, change-events,"
          " change-events-in-save, clock)");
    }
  }
  ctx.declareUser(p.name);
  return user;
}

std::shared_ptr<const Step> readLifecycle(ReadContext& ctx) {
  auto life = std::make_shared<LifecycleCmd>();
  life->user = ctx.knownUser();
  const std::string& verb = ctx.verb;
  if (verb == "start") {
    life->what =
        ctx.args.accept("no-startup-complete") ? Lifecycle::kStartNoComplete : Lifecycle::kStart;
  } else if (verb == "startup-complete") {
    life->what = Lifecycle::kStartupComplete;
  } else if (verb == "connect") {
    life->what = Lifecycle::kConnect;
  } else if (verb == "disconnect") {
    life->what = Lifecycle::kDisconnect;
  } else if (verb == "crash") {
    life->what = Lifecycle::kCrash;
  } else {
    life->what = Lifecycle::kStop;
  }
  return life;
}

std::shared_ptr<const Step> readFail(ReadContext& ctx) {
  Args& args = ctx.args;
  auto fail = std::make_shared<FailCmd>();
  fail->user = ctx.knownUser();
  fail->operation = args.keyword("operation");
  while (!args.done()) {
    if (args.accept("status")) {
      const std::uint64_t status = args.number("status");
      if (status > 0xFFFFFFFFu) bad("status out of range");
      fail->status = static_cast<std::int32_t>(static_cast<std::uint32_t>(status));
    } else if (args.accept("call")) {
      const std::uint64_t n = args.number("call number");
      if (n == 0 || n > 1000000) bad("call number counts from 1");
      fail->occurrence = static_cast<int>(n);
    } else if (args.accept("always")) {
      fail->occurrence = 0;
    } else {
      bad("unknown fail option '" + args.text("option") + "' (status, call, always)");
    }
  }
  return fail;
}

std::optional<std::uint32_t> runningTimer(OfficeUser& u) {
  if (u.connect && u.connect->hiddenWindow().exists())
    return u.host->timerInterval(u.connect->hiddenWindow().handle(), kTimerId);
  return std::nullopt;
}

std::string stateOf(const OfficeUser& u) {
  return !u.host->running() ? "stopped" : u.connected ? "connected" : "disconnected";
}

}  // namespace

void UserCmd::run(Runner& runner, const SourceLocation&) const {
  runner.addUser(profile);
  std::string note = "user " + profile.address + ", mail client version " +
                     profile.hostVersion + ", language " + languageText(profile.language);
  if (profile.appDataMissing) note += ", no application-data folder";
  if (profile.libraryMissing) note += ", safe-item library missing";
  if (profile.noExplorer) note += ", no explorer window";
  if (profile.changeEventsPerSave != 1)
    note += ", " + std::to_string(profile.changeEventsPerSave) + " change events per save";
  if (profile.changeEventsInSave) note += ", change events raised during the save";
  if (profile.clockDriftMs != 0) note += ", clock " + driftText(profile.clockDriftMs);
  runner.say(profile.name, note);
}

void ClockDriftCmd::run(Runner& runner, const SourceLocation&) const {
  runner.user(user).host->setClockDriftMs(driftMs);
  runner.user(user).setup.clockDriftMs = driftMs;
  runner.say(user, "the clock now runs " + driftText(driftMs));
}

bool changeHostLife(Runner& runner, OfficeUser& u, Lifecycle what, std::string& why) {
  const std::string& name = u.setup.name;
  switch (what) {
    case Lifecycle::kStart:
    case Lifecycle::kStartNoComplete:
      if (u.host->running()) {
        why = "the host of " + name + " runs already";
        return false;
      }
      u.host->startRun();
      runner.say(name, "host " + u.setup.hostVersion + " starts and loads the add-in");
      runner.connectAddin(u, kConnectStartup);
      if (what == Lifecycle::kStart && u.connected) {
        runner.say(name, "host reports startup complete");
        u.host->thread().dispatch([&]() { u.connect->onStartupComplete(); });
      }
      return true;
    case Lifecycle::kStartupComplete:
      if (!u.connected) {
        why = "the add-in of " + name + " is not connected";
        return false;
      }
      runner.say(name, "host reports startup complete");
      u.host->thread().dispatch([&]() { u.connect->onStartupComplete(); });
      return true;
    case Lifecycle::kConnect:
      if (!u.host->running()) {
        why = "the host of " + name + " does not run";
        return false;
      }
      if (u.connected) {
        why = "the add-in of " + name + " is connected already";
        return false;
      }
      runner.say(name, "user connects the add-in in the running host");
      runner.connectAddin(u, kConnectAfterStartup);
      return true;
    case Lifecycle::kDisconnect:
      if (!u.connected) {
        why = "the add-in of " + name + " is not connected";
        return false;
      }
      runner.say(name, "user disconnects the add-in");
      runner.disconnectAddin(u, kRemoveUserClosed, false);
      return true;
    case Lifecycle::kStop:
      if (!u.host->running()) {
        why = "the host of " + name + " does not run";
        return false;
      }
      runner.say(name, "host shuts down");
      if (u.connected) {
        u.host->thread().dispatch([&]() { u.connect->onBeginShutdown(); });
        if (u.connect) runner.disconnectAddin(u, kRemoveHostShutdown, false);
      }
      runner.unloadModule(u);
      runner.report(u);
      u.host->stopRun();
      return true;
    case Lifecycle::kCrash:
      if (!u.host->running()) {
        why = "the host of " + name + " does not run";
        return false;
      }
      runner.say(name, "host crashes: no shutdown, no disconnection");
      // The process is gone first, so that the add-in's objects, dropped
      // with it, reach nothing of it any more.
      u.host->crash();
      u.connected = false;
      runner.dropAddin(u);
      runner.report(u);
      return true;
  }
  return false;
}

void LifecycleCmd::run(Runner& runner, const SourceLocation& where) const {
  std::string why;
  if (!changeHostLife(runner, runner.user(user), what, why)) runner.fail(where, why);
}

void AdvanceCmd::run(Runner& runner, const SourceLocation&) const {
  runner.say("", "time passes: " + durationText(ms));
  runner.advance(ms);
}

void AnswerCmd::run(Runner& runner, const SourceLocation&) const {
  runner.user(user).host->queueAnswer(button, openMs);
}

void FailCmd::run(Runner& runner, const SourceLocation&) const {
  runner.user(user).host->faults().fail(operation, status, occurrence);
  runner.say(user, operation + " will fail with " + hex32(status) +
                       (occurrence == 0 ? " on every call"
                                        : " on call " + std::to_string(occurrence) + " from now"));
}

void TransportCmd::run(Runner& runner, const SourceLocation&) const {
  if (everyMs == 0) {
    runner.runTransport();
    return;
  }
  runner.say("", "the post office carries mail every " + durationText(everyMs));
  runner.office().clock().every(everyMs, [&runner]() { runner.runTransport(); });
}

std::optional<std::string> ExpectBoxes::check(Runner&, OfficeUser& u) const {
  const auto boxes = u.host->shownBoxes();
  if (static_cast<int>(boxes.size()) == count) return std::nullopt;
  return expected(std::to_string(count) + " message box(es)", std::to_string(boxes.size()));
}

std::optional<std::string> ExpectBox::check(Runner&, OfficeUser& u) const {
  const auto boxes = u.host->shownBoxes();
  if (boxes.empty()) return expected("a message box", "none");
  const std::size_t n = index == 0 ? boxes.size() : static_cast<std::size_t>(index);
  if (n > boxes.size())
    return expected("message box " + std::to_string(n), "only " + std::to_string(boxes.size()));
  const sim::ShownBox& box = boxes[n - 1];
  const std::string label = "message box " + std::to_string(n);
  if (caption && utf8ToUtf16(*caption) != box.caption)
    return expected(label + " caption " + inQuotes(*caption), inQuotes(utf16ToUtf8(box.caption)));
  if (text && utf8ToUtf16(*text) != box.text)
    return expected(label + " text " + inQuotes(*text), inQuotes(utf16ToUtf8(box.text)));
  if (type && *type != box.type)
    return expected(label + " type " + hex32(static_cast<std::int32_t>(*type)),
                    hex32(static_cast<std::int32_t>(box.type)));
  return std::nullopt;
}

std::optional<std::string> ExpectTimer::check(Runner&, OfficeUser& u) const {
  const std::optional<std::uint32_t> timer = runningTimer(u);
  if (timer == ms) return std::nullopt;
  auto text = [](std::optional<std::uint32_t> interval) {
    return interval ? "timer 1 every " + std::to_string(*interval) + " ms"
                    : std::string("no timer");
  };
  return expected(text(ms), text(timer));
}

void registerOfficeCommands(CommandTable& table) {
  table.command("user", readUser);
  for (const char* verb : {"start", "startup-complete", "connect", "disconnect", "stop", "crash"})
    table.command(verb, readLifecycle);
  auto readAdvance = [](ReadContext& ctx) -> std::shared_ptr<const Step> {
    auto advance = std::make_shared<AdvanceCmd>();
    advance->ms = ctx.args.duration("duration");
    return advance;
  };
  table.command("advance", readAdvance);
  table.command("wait", readAdvance);
  table.command("answer", [](ReadContext& ctx) -> std::shared_ptr<const Step> {
    auto answer = std::make_shared<AnswerCmd>();
    answer->user = ctx.knownUser();
    answer->button = parseButton(ctx.args.keyword("answer"));
    if (ctx.args.accept("open")) answer->openMs = ctx.args.duration("time the box stays open");
    return answer;
  });
  table.command("newmail", [](ReadContext& ctx) {
    return makeStep([user = ctx.knownUser()](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      if (!u.host->running()) return runner.fail(where, "the host of " + user + " does not run");
      runner.say(user, "host raises NewMail");
      u.host->raiseNewMail();
    });
  });
  table.command("fail", readFail);
  table.command("heal", [](ReadContext& ctx) {
    std::string user = ctx.knownUser();
    std::optional<std::string> operation;
    if (!ctx.args.done()) operation = ctx.args.keyword("operation");
    return makeStep([user, operation](Runner& runner, const SourceLocation&) {
      auto& faults = runner.user(user).host->faults();
      if (operation)
        faults.clear(*operation);
      else
        faults.clearAll();
    });
  });
  table.command("transport", [](ReadContext& ctx) -> std::shared_ptr<const Step> {
    auto transport = std::make_shared<TransportCmd>();
    if (ctx.args.accept("every")) {
      transport->everyMs = ctx.args.duration("interval");
      if (transport->everyMs <= 0) bad("the interval must be positive");
    }
    return transport;
  });

  // The post office's habits from now on, as mail systems have them.
  table.command("postoffice", [](ReadContext& ctx) {
    Args& args = ctx.args;
    if (isMailServerSetting(args.peek())) return readMailServerSetting(ctx);
    struct Setting {
      std::string what;
      std::int64_t value = 0;
    };
    std::vector<Setting> settings;
    while (!args.done()) {
      Setting s{args.oneOf("post office setting", "delay|copies|reorder|crlf"), 0};
      if (s.what == "delay") {
        s.value = args.duration("delay");
      } else if (s.what == "copies") {
        s.value = args.count("copies", 10);
        if (s.value < 1) bad("copies count from 1");
      } else {
        s.value = args.oneOf(s.what, "on|off") == "on";
      }
      settings.push_back(s);
    }
    if (settings.empty())
      bad("postoffice delay DURATION | copies N | reorder on|off | crlf on|off");
    return makeStep([settings](Runner& runner, const SourceLocation&) {
      auto& quirks = runner.slot<sim::PostOffice::Quirks>();
      std::string note = "the post office now";
      for (const Setting& s : settings) {
        if (s.what == "delay") {
          quirks.delayMs = s.value;
          note += " holds mail back " + durationText(s.value) + ";";
        } else if (s.what == "copies") {
          quirks.copies = static_cast<int>(s.value);
          note += " delivers each mail " + std::to_string(s.value) + " time(s);";
        } else if (s.what == "reorder") {
          quirks.reorder = s.value != 0;
          note += s.value ? " delivers each run's mail in reverse order;" : " keeps the order;";
        } else {
          quirks.crlfLineEnds = s.value != 0;
          note += s.value ? " rewrites line ends to CR LF;" : " keeps line ends;";
        }
      }
      note.pop_back();
      runner.office().postOffice().setQuirks(quirks);
      runner.say("", note);
    });
  });

  table.expectation("boxes", [](ReadContext& ctx) -> std::shared_ptr<const Expectation> {
    auto boxes = std::make_shared<ExpectBoxes>();
    boxes->count = ctx.args.count("number of boxes");
    return boxes;
  });
  table.expectation("no", [](ReadContext& ctx) -> std::shared_ptr<const Expectation> {
    if (!ctx.args.accept("boxes") && !ctx.args.accept("box")) bad("'expect USER no boxes'");
    return std::make_shared<ExpectBoxes>();
  });
  table.expectation("box", [](ReadContext& ctx) -> std::shared_ptr<const Expectation> {
    Args& args = ctx.args;
    auto box = std::make_shared<ExpectBox>();
    if (!args.accept("last")) {
      box->index = args.count("box number (1, 2, ... or last)");
      if (box->index < 1) bad("boxes count from 1");
    }
    while (!args.done()) {
      const std::string field = args.oneOf("box field", "caption|text|type");
      if (field == "caption")
        box->caption = args.text("caption");
      else if (field == "text")
        box->text = args.text("text");
      else
        box->type = args.oneOf("box type", "ok|yesno") == "ok" ? 0x0u : 0x4u;
    }
    return box;
  });
  table.expectation("timer", [](ReadContext& ctx) -> std::shared_ptr<const Expectation> {
    auto timer = std::make_shared<ExpectTimer>();
    if (!ctx.args.accept("none")) {
      const std::int64_t ms = ctx.args.duration("timer interval");
      if (ms > 0xFFFFFFFFll) bad("timer interval out of range");
      timer->ms = static_cast<std::uint32_t>(ms);
    }
    return timer;
  });
  for (const char* state : {"connected", "disconnected", "stopped"}) {
    const std::string wanted = state;
    table.expectation(wanted, [wanted](ReadContext&) {
      return makeExpectation([wanted](Runner&, OfficeUser& u) {
        const std::string found = stateOf(u);
        if (found == wanted) return std::optional<std::string>();
        return expected("the add-in " + wanted, found);
      });
    });
  }
  table.expectation("current-directory", [](ReadContext& ctx) {
    return makeExpectation([path = ctx.args.text("path")](Runner&, OfficeUser& u) {
      auto& disk = u.host->disk();
      const auto wanted = disk.fullPath(utf8ToAnsi(path));
      const auto found = disk.fullPath(disk.currentDirectory());
      if (wanted && found && sim::equalsIgnoringCase(*wanted, *found))
        return std::optional<std::string>();
      return expected("current directory " + inQuotes(path),
                      inQuotes(ansiToUtf8(disk.currentDirectory())));
    });
  });
  for (const char* counter : {"scans", "ticks", "skipped-ticks"}) {
    const std::string which = counter;
    table.expectation(which, [which](ReadContext& ctx) {
      return makeExpectation([which, n = ctx.args.count("count")](Runner&, OfficeUser& u) {
        const AddinModule::Counters total = u.counters();
        const int found = which == "scans"   ? total.inboxScans
                          : which == "ticks" ? total.ticks
                                             : total.skippedTicks;
        const char* label = which == "scans"   ? " Inbox scans"
                            : which == "ticks" ? " timer ticks worked"
                                               : " timer ticks skipped";
        if (found == n) return std::optional<std::string>();
        return expected(std::to_string(n) + label, std::to_string(found));
      });
    });
  }
  table.expectation("calls", [](ReadContext& ctx) {
    std::string operation = ctx.args.keyword("operation");
    const int n = ctx.args.count("number of calls");
    return makeExpectation([operation, n](Runner&, OfficeUser& u) {
      const int calls = u.host->faults().calls(operation);
      if (calls == n) return std::optional<std::string>();
      return expected(std::to_string(n) + " calls of " + operation, std::to_string(calls));
    });
  });

  table.show("boxes", [](ReadContext&, const std::string& user) {
    return makeStep([user](Runner& runner, const SourceLocation&) {
      const auto boxes = runner.user(user).host->shownBoxes();
      runner.say(user, std::to_string(boxes.size()) + " message box(es)");
      for (std::size_t i = 0; i < boxes.size(); ++i)
        runner.out() << "    " << i + 1 << ". " << inQuotes(utf16ToUtf8(boxes[i].caption)) << ": "
                     << inQuotes(utf16ToUtf8(boxes[i].text)) << " -> "
                     << buttonName(boxes[i].answer) << '\n';
    });
  });
  table.show("timer", [](ReadContext&, const std::string& user) {
    return makeStep([user](Runner& runner, const SourceLocation&) {
      const auto timer = runningTimer(runner.user(user));
      runner.say(user, timer ? "timer 1 runs every " + durationText(*timer)
                             : std::string("no timer runs"));
    });
  });

  table.help("  user NAME [address A] [language en|de|es|0x0407] [version V] [appdata missing]");
  table.help("            [library missing] [utc +1] [no-explorer] [change-events N]");
  table.help("            [change-events-in-save]");
  table.help("  start USER [no-startup-complete] | startup-complete USER | connect USER");
  table.help("  user NAME clock +DURATION|-DURATION (a declared user's clock from now on)");
  table.help("  disconnect USER | stop USER | crash USER | newmail USER");
  table.help("  advance DURATION | wait DURATION (the same: time passes)");
  table.help("  answer USER ok|yes|no|cancel [open DURATION] | transport [every DURATION]");
  table.help("  postoffice [delay DURATION] [copies N] [reorder on|off] [crlf on|off]");
  table.help("  postoffice server DIR | footer TEXT | subject TEXT | subject-prefix TEXT");
  table.help("  postoffice parts reversed|in-order | attachment-names rfc2231|quoted");
  table.help("  postoffice smtp stop|start | smtp refuse CODE next N | imap stop|start");
  table.help("  postoffice foreign to USER from ADDRESS subject TEXT [body TEXT]");
  table.help("  fail USER OPERATION [status CODE] [call N | always] | heal USER [OPERATION]");
  table.help("  show USER boxes | timer");
  table.help("  expect USER boxes N | no boxes | box N|last [caption T] [text T] [type ok|yesno]");
  table.help("  expect USER timer DURATION|none | connected|disconnected|stopped");
  table.help("  expect USER current-directory PATH | scans|ticks|skipped-ticks N | calls OP N");
}

}  // namespace qx::tools
