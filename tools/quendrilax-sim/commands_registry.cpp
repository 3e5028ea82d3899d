#include "quendrilax-sim/commands_registry.h"

#include <cstdio>
#include <sstream>

#include "platform/registry.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/log_entries.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/host_file_system.h"
#include "sim/office/host_process.h"
#include "sim/registry_sim.h"

namespace qx::tools {

namespace {

constexpr std::string_view kProductKey = "Software\\Vantrosse\\Quendrilax";

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
    setting.text = args.longAnsiText("text");
    if (args.accept("unterminated")) setting.terminated = false;
  } else if (type == "multi-sz") {
    std::string joined;
    while (!args.done() && !args.peekIs("unterminated")) {
      joined += args.longAnsiText("text");
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

Place parsePlace(Args& args) {
  const std::string place = args.oneOf("place", "data|module|appdata|path");
  if (place == "data") return Place::kData;
  if (place == "module") return Place::kModule;
  if (place == "appdata") return Place::kAppData;
  return Place::kPath;
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

// A key as scenarios name it: below the product key, or a full path in the
// user's hive, the classes root or the machine's hive.
std::string keyPath(const std::string& key, std::uint64_t& hive) {
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
  // Where a package writes the settings for every user of the machine.
  for (std::string_view prefix : {"HKEY_LOCAL_MACHINE\\", "HKLM\\"})
    if (auto rest = strip(prefix)) {
      hive = reg::kLocalMachine;
      return *rest;
    }
  return std::string(kProductKey) + "\\" + key;
}

std::string hiveName(std::uint64_t hive) {
  if (hive == reg::kLocalMachine) return "HKEY_LOCAL_MACHINE\\";
  return hive == reg::kClassesRoot ? "HKEY_CLASSES_ROOT\\" : "HKEY_CURRENT_USER\\";
}

// A key in the transcript: the machine's keys with their hive, since the
// same path exists in the user's.
std::string shownKey(std::uint64_t hive, const std::string& ansiPath) {
  return (hive == reg::kLocalMachine ? hiveName(hive) : std::string()) + ansiToUtf8(ansiPath);
}

void deleteValue(Runner& runner, const SourceLocation& where, const std::string& user,
                 const std::string& key, const std::optional<std::string>& name) {
  OfficeUser& u = runner.user(user);
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(key, hive));
  if (!name) {
    const bool removed = u.host->registry().removeKey(hive, path);
    runner.say(user, "registry " + shownKey(hive, path) + (removed ? " deleted" : " did not exist"));
    return;
  }
  // As a .reg file would, so that the add-in's call counts stay untouched.
  auto escape = [](const std::string& text) {
    std::string out;
    for (char ch : text) {
      if (ch == '\\' || ch == '"') out += '\\';
      out += ch;
    }
    return out;
  };
  const std::string file = "Windows Registry Editor Version 5.00\n\n[" + hiveName(hive) +
                           ansiToUtf8(path) + "]\n" +
                           (*name == "@" ? std::string("@") : "\"" + escape(*name) + "\"") + "=-\n";
  if (auto loaded = u.host->registry().loadRegFile(file); !loaded)
    return runner.fail(where, "cannot delete " + inQuotes(*name) + ": " + loaded.error().message);
  runner.say(user, "registry " + shownKey(hive, path) + " " + inQuotes(*name) + " deleted");
}

void showRegistry(Runner& runner, const std::string& user, const std::string& key) {
  OfficeUser& u = runner.user(user);
  std::uint64_t hive = reg::kCurrentUser;
  const std::string root = key.empty() ? std::string(kProductKey) : utf8ToAnsi(keyPath(key, hive));
  auto& registry = u.host->registry();
  if (!registry.hasKey(hive, root)) {
    runner.say(user, "registry " + shownKey(hive, root) + " does not exist");
    return;
  }
  runner.say(user, "registry " + shownKey(hive, root) + ":");
  // The registry's own export, cut down to the sections below the key.
  const std::string section = "[" + hiveName(hive) + ansiToUtf8(root);
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
      runner.out() << "    " << shown << '\n';
    }
  }
}

}  // namespace

std::string placePath(Runner& runner, OfficeUser& u, Place place, const std::string& name) {
  const std::string ansi = utf8ToAnsi(name);
  switch (place) {
    case Place::kData:
      return runner.dataDirectory(u) + ansi;
    case Place::kModule:
      return u.host->moduleFolder() + ansi;
    case Place::kAppData:
      return u.host->appDataFolder() + "\\" + ansi;
    case Place::kPath:
      break;
  }
  return ansi;
}

void RegSetCmd::run(Runner& runner, const SourceLocation&) const {
  OfficeUser& u = runner.user(user);
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(key, hive));
  const auto bytes = valueBytes(value);
  u.host->registry().putValue(hive, path, utf8ToAnsi(name == "@" ? "" : name), value.type, bytes);
  runner.say(user, "registry " + shownKey(hive, path) + " " + inQuotes(name) + " = " +
                       describeValue(value.type, bytes));
}

void RegImportCmd::run(Runner& runner, const SourceLocation& where) const {
  auto loaded = runner.user(user).host->registry().loadRegFile(text);
  if (!loaded)
    return runner.fail(where, "cannot import " + origin + ": line " +
                                  std::to_string(loaded.error().line) + ": " +
                                  loaded.error().message);
  runner.say(user, "registry file imported (" + origin + ")");
}

std::optional<std::string> ExpectRegistryKey::check(Runner&, OfficeUser& u) const {
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(key, hive));
  const bool found = u.host->registry().hasKey(hive, path);
  if (found == exists) return std::nullopt;
  return expected("key " + shownKey(hive, path) + (exists ? " to exist" : " absent"),
                  found ? "it exists" : "no such key");
}

std::optional<std::string> ExpectRegistryValue::check(Runner&, OfficeUser& u) const {
  std::uint64_t hive = 0;
  const std::string path = utf8ToAnsi(keyPath(key, hive));
  const auto stored = u.host->registry().value(hive, path, utf8ToAnsi(name == "@" ? "" : name));
  const std::string label = "value " + inQuotes(name) + " of " + shownKey(hive, path);
  if (!value) {
    if (!stored) return std::nullopt;
    return expected(label + " absent", describeValue(stored->type, stored->data));
  }
  const auto bytes = valueBytes(*value);
  if (!stored) return expected(label + " " + describeValue(value->type, bytes), "no such value");
  if (stored->type == value->type && stored->data == bytes) return std::nullopt;
  return expected(label + " " + describeValue(value->type, bytes),
                  describeValue(stored->type, stored->data));
}

void registerRegistryCommands(CommandTable& table) {
  table.command(
      "registry",
      [](ReadContext& ctx) -> std::shared_ptr<const Step> {
        Args& args = ctx.args;
        const std::string user = ctx.knownUser();
        const std::string action = args.oneOf("registry action", "set|delete|import");
        if (action != "import" && ctx.block()) bad("'registry " + action + "' takes no block");
        if (action == "set") {
          auto set = std::make_shared<RegSetCmd>();
          set->user = user;
          set->key = args.ansiText("key");
          set->name = args.ansiText("value name");
          set->value = parseValue(args);
          return set;
        }
        if (action == "delete") {
          std::string key = args.text("key");
          std::optional<std::string> name;
          if (!args.done()) name = args.text("value name");
          return makeStep([user, key, name](Runner& runner, const SourceLocation& where) {
            deleteValue(runner, where, user, key, name);
          });
        }
        auto import = std::make_shared<RegImportCmd>();
        import->user = user;
        if (ctx.block()) {
          import->text = *ctx.block();
          import->origin = "inline block";
        } else {
          import->origin = args.text(".reg file or a block <<END");
          import->text = ctx.readFile(import->origin);
        }
        return import;
      },
      true);

  table.command("file", [](ReadContext& ctx) {
    Args& args = ctx.args;
    std::string user = ctx.knownUser();
    const Place place = parsePlace(args);
    std::string name = args.ansiText("file name");
    std::optional<std::string> content;
    if (args.oneOf("file action", "write|delete") == "write")
      content = args.longAnsiText("content");
    return makeStep([=](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      const std::string path = placePath(runner, u, place, name);
      if (content) {
        if (!u.host->disk().writeText(path, utf8ToAnsi(*content)))
          return runner.fail(where, "cannot write " + ansiToUtf8(path));
        runner.say(user, "file " + ansiToUtf8(path) + " written");
      } else {
        u.host->disk().remove(path);
        runner.say(user, "file " + ansiToUtf8(path) + " deleted");
      }
    });
  });

  table.expectation("registry", [](ReadContext& ctx) -> std::shared_ptr<const Expectation> {
    Args& args = ctx.args;
    const std::string key = args.text("key");
    if (args.left() == 1 && (args.peekIs("exists") || args.peekIs("absent"))) {
      auto e = std::make_shared<ExpectRegistryKey>();
      e->key = key;
      e->exists = args.keyword("exists or absent") == "exists";
      return e;
    }
    auto e = std::make_shared<ExpectRegistryValue>();
    e->key = key;
    e->name = args.text("value name");
    if (!args.accept("absent")) e->value = parseValue(args);
    return e;
  });

  table.expectation("file", [](ReadContext& ctx) {
    Args& args = ctx.args;
    const Place place = parsePlace(args);
    std::string name = args.text("file name");
    const std::string state = args.oneOf("file check", "exists|absent|contains");
    std::optional<std::string> contains;
    if (state == "contains") contains = args.text("text");
    const bool exists = state != "absent";
    return makeExpectation([=](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      const std::string path = placePath(runner, u, place, name);
      const bool found = u.host->disk().isFile(path);
      const std::string shown = ansiToUtf8(path);
      if (contains) {
        if (!found) return expected(shown + " to contain " + inQuotes(*contains), "no such file");
        const std::string content = ansiToUtf8(*u.host->disk().readText(path));
        if (content.find(*contains) != std::string::npos) return std::nullopt;
        return expected(shown + " to contain " + inQuotes(*contains),
                        inQuotes(content.substr(0, 200)));
      }
      if (found == exists) return std::nullopt;
      return expected(shown + (exists ? " to exist" : " absent"),
                      found ? "it exists" : "no such file");
    });
  });

  table.show("registry", [](ReadContext& ctx, const std::string& user) {
    std::string key = ctx.args.done() ? std::string() : ctx.args.text("key");
    return makeStep(
        [user, key](Runner& runner, const SourceLocation&) { showRegistry(runner, user, key); });
  });
  table.show("files", [](ReadContext& ctx, const std::string& user) {
    std::string which = ctx.args.done() ? std::string("data")
                                        : ctx.args.oneOf("folder of files", "data|module|appdata");
    return makeStep([user, which](Runner& runner, const SourceLocation&) {
      OfficeUser& u = runner.user(user);
      const std::string folder = which == "module"    ? u.host->moduleFolder()
                                 : which == "appdata" ? u.host->appDataFolder()
                                                      : runner.dataDirectory(u);
      const auto names = u.host->disk().list(folder);
      runner.say(user, "files in " + ansiToUtf8(folder) + ": " + std::to_string(names.size()));
      for (const std::string& file : names) runner.out() << "    " << ansiToUtf8(file) << '\n';
    });
  });

  table.help(
      "  registry USER set KEY NAME TYPE DATA | delete KEY [NAME] | import FILE | import <<END");
  table.help("  file USER data|module|appdata|path NAME write TEXT | delete");
  table.help("  show USER registry [KEY] | files [data|module|appdata]");
  table.help("  expect USER registry KEY exists|absent | KEY NAME TYPE DATA | KEY NAME absent");
  table.help("  expect USER file PLACE NAME exists|absent|contains T");
}

}  // namespace qx::tools
