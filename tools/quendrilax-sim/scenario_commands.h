#pragma once
// The commands of the scenario language, as the reader hands them to the
// runner. Every command knows where it was written, so that a failed
// expectation can point at its line.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qx::tools {

struct SourceLocation {
  std::string file;
  int line = 0;
};

// A registry value as a scenario writes it: the type and the raw bytes, built
// at read time so that strings without terminator and too long strings can be
// written as easily as ordinary ones.
struct RegValueSetting {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;  // texts still UTF-8 here; see textValue
  // For string types the text (UTF-8) and whether the terminator is stored;
  // converted to the user's code page when the command runs.
  std::optional<std::string> text;
  bool terminated = true;
};

struct UserCmd {
  std::string name;
  std::string address;
  std::uint16_t language = 0x0409;
  std::string hostVersion = "10.0.0.6626";
  bool appDataMissing = false;
  bool libraryMissing = false;
  int utcOffsetMinutes = 60;
};

struct RegSetCmd {
  std::string user, key, name;
  RegValueSetting value;
};

struct RegDeleteCmd {
  std::string user, key;
  std::optional<std::string> name;  // a value; none: the key with its subtree
};

struct RegImportCmd {
  std::string user;
  std::string text;    // the .reg text (UTF-8)
  std::string origin;  // file name or "inline block"
};

enum class Lifecycle {
  kStart,            // the host starts with the add-in: connection, startup complete
  kStartNoComplete,  // the host starts; startup complete comes later by hand
  kStartupComplete,  // the host reports startup complete
  kConnect,          // the user connects the add-in in the running host
  kDisconnect,       // the user disconnects the add-in; the host keeps running
  kStop,             // the host shuts down
};

struct LifecycleCmd {
  std::string user;
  Lifecycle what = Lifecycle::kStart;
};

struct AdvanceCmd {
  std::int64_t ms = 0;
};

struct AnswerCmd {
  std::string user;
  int button = 1;           // IDOK, IDYES, IDNO, IDCANCEL
  std::int64_t openMs = 0;  // how long the box stays open in virtual time
};

struct NewMailCmd {
  std::string user;
};

struct FailCmd {
  std::string user, operation;
  std::int32_t status = static_cast<std::int32_t>(0x80004005u);
  int occurrence = 1;  // 0: every call until healed
};

struct HealCmd {
  std::string user;
  std::optional<std::string> operation;  // none: every scheduled failure
};

// Puts a file on a user's disk or takes it away, as the user could.
struct FileCmd {
  enum class Place { kData, kModule, kAppData, kPath };
  std::string user;
  Place place = Place::kData;
  std::string name;
  std::optional<std::string> content;  // none: delete the file
};

// The user's folders, tasks and mail, acted on in the host as the user would.
// Folders are named by their path of names from the top of the default
// store: "Tasks", "Tasks\\Team", "Inbox".
struct FolderCmd {
  std::string user, path;
  bool mailFolder = false;  // a mail folder instead of a task folder
};

struct TaskCmd {
  enum class Action { kAdd, kDelete };
  Action action = Action::kAdd;
  std::string user, subject;
  std::string folder = "Tasks";
};

struct MailCmd {
  std::string user, to, subject, body;
};

// Writes a folder's entry in the registry as the folder property page saves
// it (used, store id, share name, recipients).
struct ShareCmd {
  std::string user, folder, shareName;
  std::vector<std::string> recipients;
};

// Runs the post office once, or from now on every `everyMs` of virtual time.
struct TransportCmd {
  std::int64_t everyMs = 0;
};

// Lists the commands (for the interactive mode).
struct HelpCmd {};

struct EchoCmd {
  std::string text;
};

enum class ShowWhat { kDebugLog, kErrorLog, kBoxes, kTimer, kRegistry, kFiles };

struct ShowCmd {
  std::string user;
  ShowWhat what = ShowWhat::kDebugLog;
  std::string argument;  // registry key, or folder of the files
};

struct TraceCmd {
  bool logs = false;  // echo new log entries into the transcript
};

// Expectations.

enum class LogKind { kDebug, kError };

struct ExpectBoxes {
  int count = 0;
};
struct ExpectBox {
  int index = 0;  // 1-based; 0 = the last one
  std::optional<std::string> caption, text;
  std::optional<std::uint32_t> type;
};
struct ExpectLog {
  enum class Check { kContains, kLacks, kFirst, kPresent, kAbsent, kEntries, kLine, kEntry };
  LogKind log = LogKind::kDebug;
  Check check = Check::kContains;
  std::vector<std::string> texts;
  int number = 0;  // kEntries: count; kLine, kEntry: 1-based index
};
struct ExpectRegistryKey {
  std::string key;
  bool exists = true;
};
struct ExpectRegistryValue {
  std::string key, name;
  std::optional<RegValueSetting> value;  // none: the value is absent
};
struct ExpectFile {
  using Place = FileCmd::Place;
  Place place = Place::kData;
  std::string name;
  bool exists = true;
  std::optional<std::string> contains;
};
struct ExpectTimer {
  std::optional<std::uint32_t> ms;  // none: no timer runs
};
struct ExpectState {
  enum class State { kConnected, kDisconnected, kStopped };
  State state = State::kConnected;
};
struct ExpectCurrentDirectory {
  std::string path;
};
struct ExpectCalls {
  std::string operation;
  int count = 0;
};
// What the add-in reports of its own work, counted over the whole scenario.
struct ExpectCounter {
  enum class Which { kScans, kTicks, kSkippedTicks };
  Which which = Which::kScans;
  int count = 0;
};

struct ExpectFolder {
  enum class Check { kCount, kHas, kLacks };
  std::string folder;
  Check check = Check::kCount;
  int count = 0;
  std::string subject;
};

using Expectation = std::variant<ExpectBoxes, ExpectBox, ExpectLog, ExpectRegistryKey,
                                 ExpectRegistryValue, ExpectFile, ExpectTimer, ExpectState,
                                 ExpectCurrentDirectory, ExpectCalls, ExpectCounter, ExpectFolder>;

struct ExpectCmd {
  std::string user;
  Expectation what;
};

using CommandBody =
    std::variant<UserCmd, RegSetCmd, RegDeleteCmd, RegImportCmd, LifecycleCmd, AdvanceCmd,
                 AnswerCmd, NewMailCmd, FailCmd, HealCmd, FileCmd, FolderCmd, TaskCmd, MailCmd,
                 ShareCmd, TransportCmd, HelpCmd, EchoCmd, ShowCmd, TraceCmd, ExpectCmd>;

struct Command {
  SourceLocation where;
  CommandBody body;
};

}  // namespace qx::tools
