#include "quendrilax-sim/scenario_parser.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace qx::tools {

namespace {

// Thrown inside the reader only; feed() turns it into a ParseError.
struct Unreadable {
  std::string message;
};

[[noreturn]] void bad(std::string message) { throw Unreadable{std::move(message)}; }

std::optional<std::uint64_t> parseNumber(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A cursor over the words of one command.
class Args {
 public:
  explicit Args(const std::vector<Token>& tokens) : tokens_(tokens) {}

  bool done() const { return pos_ >= tokens_.size(); }
  std::size_t left() const { return tokens_.size() - pos_; }

  const Token& next(std::string_view what) {
    if (done()) bad("missing " + std::string(what));
    return tokens_[pos_++];
  }
  std::string text(std::string_view what) { return next(what).text; }

  // A bare keyword from a list; the word is consumed only when it matches.
  bool accept(std::string_view keyword) {
    if (!done() && !tokens_[pos_].quoted && tokens_[pos_].text == keyword) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool peekIs(std::string_view keyword) const {
    return !done() && !tokens_[pos_].quoted && tokens_[pos_].text == keyword;
  }

  std::string keyword(std::string_view what) {
    const Token& t = next(what);
    if (t.quoted) bad(std::string(what) + " must be a bare word, not \"" + t.text + "\"");
    return t.text;
  }

  std::uint64_t number(std::string_view what) {
    const std::string t = keyword(what);
    auto value = parseNumber(t);
    if (!value) bad(std::string(what) + " must be a number, not '" + t + "'");
    return *value;
  }

  std::int64_t duration(std::string_view what) {
    const std::string t = keyword(what);
    auto value = parseDuration(t);
    if (!value)
      bad(std::string(what) + " must be a duration such as 10s or 1500ms, not '" + t + "'");
    return *value;
  }

  // A text: one word, or "repeat N TEXT" for long texts.
  std::string longText(std::string_view what) {
    if (accept("repeat")) {
      const std::uint64_t times = number("repeat count");
      if (times > 100000) bad("repeat count too large");
      const std::string unit = text(what);
      // A scenario is text a person writes; a repetition beyond a megabyte is
      // a slip, not a test, and would only exhaust memory.
      if (times * unit.size() > (1u << 20)) bad("repeated text longer than a megabyte");
      std::string result;
      for (std::uint64_t i = 0; i < times; ++i) result += unit;
      return result;
    }
    return text(what);
  }

  void end() {
    if (!done()) bad("unexpected '" + tokens_[pos_].text + "'");
  }

 private:
  const std::vector<Token>& tokens_;
  std::size_t pos_ = 0;
};

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

std::vector<std::uint8_t> parseHexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ',' || c == ' ' || c == '\\') continue;
    digits += c;
  }
  if (digits.size() % 2 != 0) bad("hexadecimal bytes must come in pairs: '" + text + "'");
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    auto value = parseNumber("0x" + digits.substr(i, 2));
    if (!value) bad("not hexadecimal: '" + text + "'");
    bytes.push_back(static_cast<std::uint8_t>(*value));
  }
  return bytes;
}

// TYPE DATA, as `registry set` and `expect registry` write a value.
RegValueSetting parseValue(Args& args) {
  RegValueSetting setting;
  const std::string type =
      args.keyword("value type (sz, expand-sz, multi-sz, dword, qword, binary, hex(N))");
  if (type == "sz" || type == "expand-sz") {
    setting.type = type == "sz" ? 1 : 2;
    setting.text = args.longText("text");
    if (args.accept("unterminated")) setting.terminated = false;
  } else if (type == "multi-sz") {
    std::string joined;
    while (!args.done() && !args.peekIs("unterminated")) {
      joined += args.longText("text");
      joined += '\0';
    }
    setting.type = 7;
    setting.text = joined;
    if (args.accept("unterminated")) setting.terminated = false;
  } else if (type == "dword" || type == "qword") {
    const std::uint64_t value = args.number(type + " number");
    const int size = type == "dword" ? 4 : 8;
    if (size == 4 && value > 0xFFFFFFFFu) bad("dword out of range");
    setting.type = type == "dword" ? 4 : 11;
    for (int i = 0; i < size; ++i)
      setting.bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  } else if (type == "binary") {
    setting.type = 3;
    setting.bytes = args.done() ? std::vector<std::uint8_t>{} : parseHexBytes(args.text("bytes"));
  } else if (type.starts_with("hex(") && type.ends_with(")")) {
    auto number = parseNumber("0x" + type.substr(4, type.size() - 5));
    if (!number || *number > 0xFFFFFFFFu) bad("bad value type '" + type + "'");
    setting.type = static_cast<std::uint32_t>(*number);
    setting.bytes = args.done() ? std::vector<std::uint8_t>{} : parseHexBytes(args.text("bytes"));
  } else {
    bad("unknown value type '" + type + "'");
  }
  return setting;
}

std::string readWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) bad("cannot read " + path.string());
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

LogKind parseLogKind(Args& args) {
  const std::string which = args.keyword("log (debug or error)");
  if (which == "debug") return LogKind::kDebug;
  if (which == "error") return LogKind::kError;
  bad("unknown log '" + which + "' (debug or error)");
}

FileCmd::Place parsePlace(Args& args) {
  const std::string place = args.keyword("place (data, module, appdata, path)");
  if (place == "data") return FileCmd::Place::kData;
  if (place == "module") return FileCmd::Place::kModule;
  if (place == "appdata") return FileCmd::Place::kAppData;
  if (place == "path") return FileCmd::Place::kPath;
  bad("unknown place '" + place + "' (data, module, appdata, path)");
}

int parseButton(const std::string& word) {
  if (word == "ok") return 1;
  if (word == "cancel") return 2;
  if (word == "yes") return 6;
  if (word == "no") return 7;
  bad("unknown answer '" + word + "' (ok, cancel, yes, no)");
}

}  // namespace

std::optional<std::int64_t> parseDuration(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::int64_t total = 0;
  bool any = false;
  while (!text.empty()) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0 || digits > 9) return std::nullopt;
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + digits, value);
    text.remove_prefix(digits);
    std::int64_t unit = 1;
    if (text.starts_with("ms")) {
      text.remove_prefix(2);
    } else if (text.starts_with("s")) {
      unit = 1000;
      text.remove_prefix(1);
    } else if (text.starts_with("m")) {
      unit = 60'000;
      text.remove_prefix(1);
    } else if (text.starts_with("h")) {
      unit = 3'600'000;
      text.remove_prefix(1);
    } else if (!text.empty() || any) {
      return std::nullopt;  // a bare number only stands alone
    }
    total += value * unit;
    any = true;
  }
  return total;
}

ScenarioReader::ScenarioReader(std::string fileName, std::filesystem::path baseDir)
    : fileName_(std::move(fileName)), baseDir_(std::move(baseDir)) {}

std::expected<std::optional<Command>, ParseError> ScenarioReader::feed(std::string_view line) {
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (inBlock()) {
    std::string_view trimmed = line;
    while (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.front() == '\t'))
      trimmed.remove_prefix(1);
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t'))
      trimmed.remove_suffix(1);
    if (trimmed != blockEnd_) {
      block_ += line;
      block_ += '\n';
      return std::optional<Command>{};
    }
    blockEnd_.clear();
    try {
      Command command = parse(blockTokens_, &block_);
      command.where.line = blockLine_;
      return command;
    } catch (const Unreadable& e) {
      return std::unexpected(ParseError{{fileName_, blockLine_}, e.message});
    }
  }
  auto lexed = lexLine(line);
  if (!lexed) return std::unexpected(ParseError{{fileName_, lineNumber_}, lexed.error()});
  if (!lexed->blockEnd.empty()) {
    if (lexed->tokens.empty())
      return std::unexpected(ParseError{{fileName_, lineNumber_}, "a block needs a command"});
    blockEnd_ = lexed->blockEnd;
    blockTokens_ = std::move(lexed->tokens);
    blockLine_ = lineNumber_;
    block_.clear();
    return std::optional<Command>{};
  }
  if (lexed->tokens.empty()) return std::optional<Command>{};
  try {
    Command command = parse(lexed->tokens, nullptr);
    command.where.line = lineNumber_;
    return command;
  } catch (const Unreadable& e) {
    return std::unexpected(ParseError{{fileName_, lineNumber_}, e.message});
  }
}

std::expected<void, ParseError> ScenarioReader::finish() const {
  if (inBlock())
    return std::unexpected(ParseError{{fileName_, blockLine_},
                                      "block not closed: no line '" + blockEnd_ + "' follows"});
  return {};
}

Command ScenarioReader::parse(const std::vector<Token>& tokens, const std::string* block) {
  Args args(tokens);
  Command command;
  command.where.file = fileName_;
  const std::string verb = args.keyword("command");

  auto knownUser = [&]() {
    const std::string name = args.keyword("user");
    if (!users_.contains(name))
      bad("unknown user '" + name + "' (declare it with: user " + name + ")");
    return name;
  };
  auto noBlock = [&]() {
    if (block) bad("'" + verb + "' takes no block");
  };

  if (verb == "user") {
    noBlock();
    UserCmd user;
    user.name = args.keyword("user name");
    if (!validUserName(user.name)) bad("a user name is letters, digits, '-' and '_'");
    if (users_.contains(user.name)) bad("user '" + user.name + "' declared twice");
    user.address = user.name + "@office.test";
    while (!args.done()) {
      const std::string option = args.keyword("user option");
      if (option == "address") {
        user.address = args.text("address");
      } else if (option == "language") {
        user.language = parseLanguage(args.keyword("language"));
      } else if (option == "version") {
        user.hostVersion = args.text("host version");
      } else if (option == "appdata" || option == "library") {
        const std::string state = args.keyword(option + " state");
        if (state != "missing") bad("'" + option + "' can only be 'missing'");
        (option == "appdata" ? user.appDataMissing : user.libraryMissing) = true;
      } else if (option == "utc") {
        user.utcOffsetMinutes = parseUtcOffset(args.keyword("utc offset"));
      } else {
        bad("unknown user option '" + option +
            "' (address, language, version, appdata, library, utc)");
      }
    }
    users_.insert(user.name);
    command.body = std::move(user);
    return command;
  }

  if (verb == "registry") {
    const std::string user = knownUser();
    const std::string action = args.keyword("registry action (set, delete, import)");
    if (action == "set") {
      noBlock();
      RegSetCmd set{user, args.text("key"), args.text("value name"), {}};
      set.value = parseValue(args);
      args.end();
      command.body = std::move(set);
    } else if (action == "delete") {
      noBlock();
      RegDeleteCmd del{user, args.text("key"), std::nullopt};
      if (!args.done()) del.name = args.text("value name");
      args.end();
      command.body = std::move(del);
    } else if (action == "import") {
      RegImportCmd import{user, {}, {}};
      if (block) {
        args.end();
        import.text = *block;
        import.origin = "inline block";
      } else {
        const std::string file = args.text(".reg file or a block <<END");
        args.end();
        const std::filesystem::path path = baseDir_ / file;
        import.text = readWholeFile(path);
        import.origin = file;
      }
      command.body = std::move(import);
    } else {
      bad("unknown registry action '" + action + "' (set, delete, import)");
    }
    return command;
  }

  noBlock();

  if (verb == "start" || verb == "startup-complete" || verb == "connect" || verb == "disconnect" ||
      verb == "stop") {
    LifecycleCmd life{knownUser(), Lifecycle::kStart};
    if (verb == "start") {
      if (args.accept("no-startup-complete")) life.what = Lifecycle::kStartNoComplete;
    } else if (verb == "startup-complete") {
      life.what = Lifecycle::kStartupComplete;
    } else if (verb == "connect") {
      life.what = Lifecycle::kConnect;
    } else if (verb == "disconnect") {
      life.what = Lifecycle::kDisconnect;
    } else {
      life.what = Lifecycle::kStop;
    }
    args.end();
    command.body = life;
    return command;
  }

  if (verb == "advance" || verb == "wait") {
    AdvanceCmd advance{args.duration("duration")};
    args.end();
    command.body = advance;
    return command;
  }

  if (verb == "answer") {
    AnswerCmd answer{knownUser(), parseButton(args.keyword("answer")), 0};
    if (args.accept("open")) answer.openMs = args.duration("time the box stays open");
    args.end();
    command.body = answer;
    return command;
  }

  if (verb == "newmail") {
    NewMailCmd mail{knownUser()};
    args.end();
    command.body = mail;
    return command;
  }

  if (verb == "fail") {
    FailCmd fail{knownUser(), args.keyword("operation"), static_cast<std::int32_t>(0x80004005u), 1};
    while (!args.done()) {
      if (args.accept("status")) {
        const std::uint64_t status = args.number("status");
        if (status > 0xFFFFFFFFu) bad("status out of range");
        fail.status = static_cast<std::int32_t>(static_cast<std::uint32_t>(status));
      } else if (args.accept("call")) {
        const std::uint64_t n = args.number("call number");
        if (n == 0 || n > 1000000) bad("call number counts from 1");
        fail.occurrence = static_cast<int>(n);
      } else if (args.accept("always")) {
        fail.occurrence = 0;
      } else {
        bad("unknown fail option '" + args.text("option") + "' (status, call, always)");
      }
    }
    command.body = fail;
    return command;
  }

  if (verb == "heal") {
    HealCmd heal{knownUser(), std::nullopt};
    if (!args.done()) heal.operation = args.keyword("operation");
    args.end();
    command.body = heal;
    return command;
  }

  if (verb == "file") {
    FileCmd file{knownUser(), FileCmd::Place::kData, {}, std::nullopt};
    file.place = parsePlace(args);
    file.name = args.text("file name");
    const std::string action = args.keyword("write or delete");
    if (action == "write") {
      file.content = args.longText("content");
    } else if (action != "delete") {
      bad("unknown file action '" + action + "' (write, delete)");
    }
    args.end();
    command.body = std::move(file);
    return command;
  }

  if (verb == "folder") {
    FolderCmd folder{knownUser(), {}, false};
    if (args.keyword("action (add)") != "add") bad("folder takes: add PATH [mail]");
    folder.path = args.text("folder path");
    if (args.accept("mail")) folder.mailFolder = true;
    args.end();
    command.body = std::move(folder);
    return command;
  }

  if (verb == "task") {
    TaskCmd task;
    task.user = knownUser();
    const std::string action = args.keyword("action (add, delete)");
    if (action == "add")
      task.action = TaskCmd::Action::kAdd;
    else if (action == "delete")
      task.action = TaskCmd::Action::kDelete;
    else
      bad("unknown task action '" + action + "' (add, delete)");
    task.subject = args.text("subject");
    if (args.accept("in")) task.folder = args.text("folder path");
    args.end();
    command.body = std::move(task);
    return command;
  }

  if (verb == "mail") {
    MailCmd mail;
    mail.user = knownUser();
    if (args.keyword("action (send)") != "send")
      bad("mail takes: send to ADDRESSES subject TEXT [body TEXT]");
    while (!args.done()) {
      const std::string field = args.keyword("to, subject or body");
      if (field == "to")
        mail.to = args.text("addresses");
      else if (field == "subject")
        mail.subject = args.text("subject");
      else if (field == "body")
        mail.body = args.longText("body");
      else
        bad("unknown mail field '" + field + "' (to, subject, body)");
    }
    if (mail.to.empty()) bad("a mail needs: to ADDRESSES");
    command.body = std::move(mail);
    return command;
  }

  if (verb == "share") {
    ShareCmd share;
    share.user = knownUser();
    share.folder = args.text("folder path");
    if (!args.accept("as")) bad("share USER FOLDER as SHARENAME [with ADDRESS...]");
    share.shareName = args.text("share name");
    if (args.accept("with")) {
      while (!args.done()) share.recipients.push_back(args.text("address"));
      if (share.recipients.empty()) bad("'with' needs at least one address");
    }
    args.end();
    command.body = std::move(share);
    return command;
  }

  if (verb == "transport") {
    TransportCmd transport;
    if (args.accept("every")) {
      transport.everyMs = args.duration("interval");
      if (transport.everyMs <= 0) bad("the interval must be positive");
    }
    args.end();
    command.body = transport;
    return command;
  }

  if (verb == "help") {
    args.end();
    command.body = HelpCmd{};
    return command;
  }

  if (verb == "echo") {
    EchoCmd echo;
    while (!args.done()) {
      if (!echo.text.empty()) echo.text += ' ';
      echo.text += args.text("text");
    }
    command.body = echo;
    return command;
  }

  if (verb == "trace") {
    const std::string what = args.keyword("what to trace (logs)");
    if (what != "logs") bad("only 'logs' can be traced");
    const std::string state = args.keyword("on or off");
    if (state != "on" && state != "off") bad("trace takes on or off");
    args.end();
    command.body = TraceCmd{state == "on"};
    return command;
  }

  if (verb == "show") {
    ShowCmd show{knownUser(), ShowWhat::kDebugLog, {}};
    const std::string what = args.keyword("what to show");
    if (what == "log") {
      show.what = parseLogKind(args) == LogKind::kDebug ? ShowWhat::kDebugLog : ShowWhat::kErrorLog;
    } else if (what == "boxes") {
      show.what = ShowWhat::kBoxes;
    } else if (what == "timer") {
      show.what = ShowWhat::kTimer;
    } else if (what == "registry") {
      show.what = ShowWhat::kRegistry;
      show.argument = args.done() ? std::string() : args.text("key");
    } else if (what == "files") {
      show.what = ShowWhat::kFiles;
      show.argument = args.done() ? std::string("data") : args.keyword("folder");
      if (show.argument != "data" && show.argument != "module" && show.argument != "appdata")
        bad("files of data, module or appdata");
    } else {
      bad("unknown 'show " + what + "' (log, boxes, timer, registry, files)");
    }
    args.end();
    command.body = std::move(show);
    return command;
  }

  if (verb == "expect") {
    ExpectCmd expect{knownUser(), ExpectBoxes{}};
    const std::string what = args.keyword("what to expect");
    if (what == "boxes" || what == "no") {
      if (what == "no") {
        if (!args.accept("boxes") && !args.accept("box")) bad("'expect USER no boxes'");
        expect.what = ExpectBoxes{0};
      } else {
        expect.what = ExpectBoxes{static_cast<int>(args.number("number of boxes"))};
      }
    } else if (what == "box") {
      ExpectBox box;
      if (!args.accept("last")) {
        box.index = static_cast<int>(args.number("box number (1, 2, ... or last)"));
        if (box.index < 1) bad("boxes count from 1");
      }
      while (!args.done()) {
        const std::string field = args.keyword("caption, text or type");
        if (field == "caption") {
          box.caption = args.text("caption");
        } else if (field == "text") {
          box.text = args.text("text");
        } else if (field == "type") {
          const std::string type = args.keyword("ok or yesno");
          if (type == "ok")
            box.type = 0x0;
          else if (type == "yesno")
            box.type = 0x4;
          else
            bad("box type ok or yesno");
        } else {
          bad("unknown box field '" + field + "' (caption, text, type)");
        }
      }
      expect.what = std::move(box);
    } else if (what == "log") {
      ExpectLog log;
      log.log = parseLogKind(args);
      const std::string check = args.keyword("log check");
      if (check == "contains" || check == "lacks") {
        log.check = check == "contains" ? ExpectLog::Check::kContains : ExpectLog::Check::kLacks;
        log.texts.push_back(args.text("text"));
      } else if (check == "first") {
        log.check = ExpectLog::Check::kFirst;
        while (!args.done()) log.texts.push_back(args.text("entry"));
        if (log.texts.empty()) bad("'first' needs at least one entry");
      } else if (check == "present" || check == "absent") {
        log.check = check == "present" ? ExpectLog::Check::kPresent : ExpectLog::Check::kAbsent;
      } else if (check == "entries") {
        log.check = ExpectLog::Check::kEntries;
        log.number = static_cast<int>(args.number("number of entries"));
      } else if (check == "line" || check == "entry") {
        log.check = check == "line" ? ExpectLog::Check::kLine : ExpectLog::Check::kEntry;
        log.number = static_cast<int>(args.number(check + " number"));
        if (log.number < 1) bad(check + "s count from 1");
        log.texts.push_back(args.text("text"));
      } else {
        bad("unknown log check '" + check +
            "' (contains, lacks, first, present, absent, entries, line, entry)");
      }
      expect.what = std::move(log);
    } else if (what == "registry") {
      const std::string key = args.text("key");
      if (args.left() == 1 && (args.peekIs("exists") || args.peekIs("absent"))) {
        expect.what = ExpectRegistryKey{key, args.keyword("exists or absent") == "exists"};
      } else {
        ExpectRegistryValue value{key, args.text("value name"), std::nullopt};
        if (!args.accept("absent")) value.value = parseValue(args);
        expect.what = std::move(value);
      }
    } else if (what == "file") {
      ExpectFile file;
      const std::string place = args.keyword("place (data, module, appdata, path)");
      if (place == "data")
        file.place = ExpectFile::Place::kData;
      else if (place == "module")
        file.place = ExpectFile::Place::kModule;
      else if (place == "appdata")
        file.place = ExpectFile::Place::kAppData;
      else if (place == "path")
        file.place = ExpectFile::Place::kPath;
      else
        bad("unknown place '" + place + "' (data, module, appdata, path)");
      file.name = args.text("file name");
      const std::string state = args.keyword("exists, absent or contains");
      if (state == "exists")
        file.exists = true;
      else if (state == "absent")
        file.exists = false;
      else if (state == "contains")
        file.contains = args.text("text");
      else
        bad("unknown file check '" + state + "' (exists, absent, contains)");
      expect.what = std::move(file);
    } else if (what == "timer") {
      ExpectTimer timer;
      if (!args.accept("none")) {
        const std::int64_t ms = args.duration("timer interval");
        if (ms > 0xFFFFFFFFll) bad("timer interval out of range");
        timer.ms = static_cast<std::uint32_t>(ms);
      }
      expect.what = timer;
    } else if (what == "connected") {
      expect.what = ExpectState{ExpectState::State::kConnected};
    } else if (what == "disconnected") {
      expect.what = ExpectState{ExpectState::State::kDisconnected};
    } else if (what == "stopped") {
      expect.what = ExpectState{ExpectState::State::kStopped};
    } else if (what == "current-directory") {
      expect.what = ExpectCurrentDirectory{args.text("path")};
    } else if (what == "scans" || what == "ticks" || what == "skipped-ticks") {
      ExpectCounter counter;
      counter.which = what == "scans"   ? ExpectCounter::Which::kScans
                      : what == "ticks" ? ExpectCounter::Which::kTicks
                                        : ExpectCounter::Which::kSkippedTicks;
      counter.count = static_cast<int>(args.number("count"));
      expect.what = counter;
    } else if (what == "folder") {
      ExpectFolder folder;
      folder.folder = args.text("folder path");
      const std::string check = args.keyword("count, has or lacks");
      if (check == "count") {
        folder.check = ExpectFolder::Check::kCount;
        folder.count = static_cast<int>(args.number("count"));
      } else if (check == "has" || check == "lacks") {
        folder.check = check == "has" ? ExpectFolder::Check::kHas : ExpectFolder::Check::kLacks;
        folder.subject = args.text("subject");
      } else {
        bad("unknown folder check '" + check + "' (count, has, lacks)");
      }
      expect.what = std::move(folder);
    } else if (what == "calls") {
      ExpectCalls calls;
      calls.operation = args.keyword("operation");
      calls.count = static_cast<int>(args.number("number of calls"));
      expect.what = std::move(calls);
    } else {
      bad("unknown expectation '" + what +
          "' (boxes, box, log, registry, file, timer, connected, disconnected, stopped, "
          "current-directory, calls, scans, ticks, skipped-ticks, folder)");
    }
    args.end();
    command.body = std::move(expect);
    return command;
  }

  bad("unknown command '" + verb + "'");
}

std::expected<std::vector<Command>, ParseError> parseScenario(
    std::string_view text, const std::string& fileName, const std::filesystem::path& baseDir) {
  ScenarioReader reader(fileName, baseDir);
  std::vector<Command> commands;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    auto fed = reader.feed(line);
    if (!fed) return std::unexpected(fed.error());
    if (*fed) commands.push_back(std::move(**fed));
  }
  if (auto done = reader.finish(); !done) return std::unexpected(done.error());
  return commands;
}

}  // namespace qx::tools
