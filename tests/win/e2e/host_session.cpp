#include "host_session.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <sstream>

#include "host_com.h"
#include "mail_file.h"
#include "platform/mail_ids.h"

namespace qx::e2e {
namespace {

using sim::mail::ItemData;

std::ofstream* failedCalls = nullptr;

constexpr UINT_PTR kPumpTimer = 1, kCommandTimer = 2, kTransportTimer = 3;

std::string escaped(std::u16string_view text) {
  std::string out;
  for (char c : toUtf8(text)) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

std::u16string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    } else {
      out += text[i];
    }
  }
  return fromUtf8(out);
}

std::string number(double value) {
  std::ostringstream out;
  out.precision(10);
  out << value;
  return out.str();
}

std::string lowerAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return text;
}

// key=value words onto a task.
std::string applyFields(ItemData& task, const std::vector<std::string>& words, std::size_t from) {
  for (std::size_t i = from; i < words.size(); ++i) {
    std::size_t eq = words[i].find('=');
    if (eq == std::string::npos) return "not a field: " + words[i];
    std::string key = words[i].substr(0, eq);
    std::string value = words[i].substr(eq + 1);
    if (key == "subject")
      task.subject = unescaped(value);
    else if (key == "body")
      task.body = unescaped(value);
    else if (key == "categories")
      task.categories = unescaped(value);
    else if (key == "owner")
      task.owner = unescaped(value);
    else if (key == "importance")
      task.importance = std::stoi(value);
    else if (key == "sensitivity")
      task.sensitivity = std::stoi(value);
    else if (key == "status")
      task.status = std::stoi(value);
    else if (key == "percent")
      task.percentComplete = std::stoi(value);
    else if (key == "start")
      task.startDate = DateValue{std::stod(value)};
    else if (key == "due")
      task.dueDate = DateValue{std::stod(value)};
    else if (key == "complete")
      task.complete = value == "1";
    else
      return "unknown field: " + key;
  }
  return {};
}

std::string valueText(const Variant& value) {
  if (value.text()) return escaped(*value.text());
  if (auto n = value.asLong()) return std::to_string(*n);
  if (auto d = value.asDouble()) return number(*d);
  if (auto b = value.asBool()) return *b ? "true" : "false";
  if (auto d = value.asDate()) return number(d->days);
  return "";
}

// One line per item: its content, without the ids the store gives it.
std::string itemLine(const ItemData& item) {
  std::string line = "subject=" + escaped(item.subject);
  if (item.kind == sim::mail::ItemKind::kTask) {
    line += "\tbody=" + escaped(item.body) + "\timportance=" + std::to_string(item.importance) +
            "\tsensitivity=" + std::to_string(item.sensitivity) +
            "\tcategories=" + escaped(item.categories) + "\towner=" + escaped(item.owner) +
            "\tstatus=" + std::to_string(item.status) +
            "\tpercent=" + std::to_string(item.percentComplete) +
            "\tstart=" + number(item.startDate.days) + "\tdue=" + number(item.dueDate.days) +
            "\tcomplete=" + (item.complete ? "1" : "0");
    for (const auto& property : item.userProperties)
      line += "\tuser." + escaped(property.name) + "=" + valueText(property.value);
  } else {
    line += "\tto=" + escaped(item.to) + "\tattachments=" + std::to_string(item.attachments.size());
  }
  return line;
}

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\t', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    while (!word.empty() && (word.back() == '\n' || word.back() == '\r')) word.pop_back();
    if (!word.empty()) words.push_back(word);
    at = end + 1;
  }
  return words;
}

bool writeAtomically(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::path temporary = path;
  temporary += ".part";
  {
    std::ofstream out(temporary, std::ios::binary);
    if (!out) return false;
    out << text;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

HostSession::HostSession(std::u16string address, std::wstring commandFolder,
                         std::wstring postOffice)
    : thread_(clock_),
      mail_(thread_, files_, faults_, address),
      addIn_(L"Corvessa.Connect"),
      address_(std::move(address)),
      commands_(commandFolder),
      postOffice_(postOffice) {
  std::filesystem::create_directories(commands_);
  std::filesystem::create_directories(postOffice_ / toUtf8(address_));
  log_.open(commands_ / "host.log", std::ios::app);
  failedCalls = &log_;
  setFailedCallLog([](const std::string& line) {
    if (failedCalls) *failedCalls << GetTickCount() << " refused: " << line << std::endl;
  });
  mail_.onAddInDisconnect([this] {
    log("the add-in disconnects itself through its COM add-in object");
    addIn_.disconnect(1, true);
    PostMessageW(window_, WM_APP, 0, 0);
  });
}

HostSession::~HostSession() {
  closePage();
  setFailedCallLog(nullptr);
  failedCalls = nullptr;
  addIn_.disconnect(1);
  if (record_) record_->Release();
  if (application_) application_->Release();
  if (window_) DestroyWindow(window_);
}

void HostSession::log(const std::string& line) {
  log_ << GetTickCount() << " " << line << std::endl;
}

int HostSession::run() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"QxMailHostWindow";
  RegisterClassW(&windowClass);
  window_ = CreateWindowW(L"QxMailHostWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          windowClass.hInstance, nullptr);
  if (!window_) return 4;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetTimer(window_, kPumpTimer, 20, nullptr);
  SetTimer(window_, kCommandTimer, 100, nullptr);
  SetTimer(window_, kTransportTimer, 300, nullptr);
  if (!hostTypeLibrary()) {
    log("the host's type library does not load");
    return 5;
  }
  application_ = wrapObject(mail_.applicationObject());
  record_ = wrapObject(mail_.comAddInObject());
  log("started for " + toUtf8(address_) + ": " + connectAddIn());

  MSG message;
  while (!quit_ && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  addIn_.disconnect(1);
  log("stopped");
  return 0;
}

std::string HostSession::connectAddIn() {
  if (addIn_.loadBehavior() != 3) return "no add-in entry with LoadBehavior 3";
  mail_.core().addInConnected = true;
  std::string failed = addIn_.connect(application_, record_);
  return failed.empty() ? "add-in connected" : failed;
}

LRESULT CALLBACK HostSession::windowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  auto* self = reinterpret_cast<HostSession*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == WM_TIMER) {
    self->onTimer(w);
    return 0;
  }
  if (self && message == WM_APP) {
    self->addIn_.releaseDeferred();
    CoFreeUnusedLibraries();
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

void HostSession::onTimer(UINT_PTR id) {
  if (id == kPumpTimer) pumpEvents();
  if (id == kCommandTimer) takeCommands();
  if (id == kTransportTimer) runTransport();
}

// The host's events reach the add-in from the message loop, one at a time:
// an event handler's modal loop does not start the next one.
void HostSession::pumpEvents() {
  if (pumping_) return;
  pumping_ = true;
  thread_.pump();
  pumping_ = false;
}

void HostSession::runTransport() {
  if (carrying_) return;
  carrying_ = true;
  for (const ItemData& sent : mail_.takeSubmitted()) {
    // Stamped with the time it leaves, as a sender's transport does: the
    // recipient's SentOn comes from it.
    sim::mail::MessageStamp stamp;
    stamp.sentSeconds = std::time(nullptr);
    std::string message = sim::mail::renderMessage(sent, address_, stamp);
    // The driver reads what went on the wire from a copy of its own.
    std::error_code error;
    std::filesystem::create_directories(commands_ / "sent", error);
    writeAtomically(commands_ / "sent" / (std::to_string(++sent_) + ".eml"), message);
    std::u16string to = sent.to;
    std::size_t at = 0;
    while (at < to.size()) {
      std::size_t end = to.find(u';', at);
      if (end == std::u16string::npos) end = to.size();
      std::string recipient = lowerAscii(toUtf8(to.substr(at, end - at)));
      recipient.erase(0, recipient.find_first_not_of(' '));
      recipient.erase(recipient.find_last_not_of(' ') + 1);
      at = end + 1;
      if (recipient.empty()) continue;
      // A relay to a real mail server takes the mail from post/outgoing
      // when there is one (tests/win/e2e/mail-relay).
      std::filesystem::path folder = std::filesystem::is_directory(postOffice_ / "outgoing", error)
                                         ? postOffice_ / "outgoing" / recipient
                                         : postOffice_ / recipient;
      std::filesystem::create_directories(folder, error);
      std::string name = toUtf8(address_) + "-" + std::to_string(GetTickCount64()) + "-" +
                         std::to_string(++sent_) + ".eml";
      bool written = writeAtomically(folder / name, message);
      log("sent \"" + toUtf8(sent.subject) + "\" to " + recipient + (written ? "" : " FAILED"));
    }
  }
  if (holding_) {
    carrying_ = false;
    return;
  }
  std::vector<std::filesystem::path> arrived;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(postOffice_ / lowerAscii(toUtf8(address_)), error)) {
    if (entry.path().extension() == ".eml") arrived.push_back(entry.path());
  }
  std::sort(arrived.begin(), arrived.end());
  std::vector<ItemData> mails;
  for (const auto& path : arrived) {
    auto mail = readMailFile(readAll(path));
    std::filesystem::remove(path, error);
    if (!mail) {
      log("not a mail: " + path.filename().string());
      continue;
    }
    log("received \"" + toUtf8(mail->subject) + "\" from " + toUtf8(mail->senderAddress));
    mails.push_back(std::move(*mail));
  }
  mail_.deliver(std::move(mails));
  carrying_ = false;
}

// Commands come as files NNNN.cmd (words separated by tabs); the answer goes
// to NNNN.out. A command may open a modal loop (a message box of the add-in),
// inside which further commands run, so each file is taken before it runs.
void HostSession::takeCommands() {
  std::vector<std::filesystem::path> waiting;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(commands_, error)) {
    if (entry.path().extension() == ".cmd") waiting.push_back(entry.path());
  }
  if (waiting.empty()) return;
  std::sort(waiting.begin(), waiting.end());
  std::filesystem::path command = waiting.front();
  std::filesystem::path taken = command;
  taken.replace_extension(".run");
  std::filesystem::rename(command, taken, error);
  if (error) return;
  std::vector<std::string> words = splitWords(readAll(taken));
  log("command: " + (words.empty() ? std::string() : words.front()));
  std::string answer;
  try {
    answer = words.empty() ? "error: empty command" : execute(words);
  } catch (const std::exception& e) {
    answer = std::string("error: ") + e.what();
  }
  std::filesystem::path out = taken;
  out.replace_extension(".out");
  writeAtomically(out, answer + "\n");
  std::filesystem::remove(taken, error);
}

std::string HostSession::execute(const std::vector<std::string>& words) {
  const std::string& verb = words.front();
  if (verb == "folder") return folderCommand(words);
  if (verb == "share") return shareCommand(words);
  if (verb == "add") return addCommand(words);
  if (verb == "edit") return editCommand(words);
  if (verb == "delete") return deleteCommand(words);
  if (verb == "dump") return dumpCommand(words);
  if (verb == "boxes") return boxesCommand();
  if (verb == "answer") return answerCommand(words);
  if (verb == "bars") return barsCommand();
  if (verb == "properties") return propertiesCommand(words);
  if (verb == "page") return pageCommand(words);
  if (verb == "connected") return addIn_.connected() ? "yes" : "no";
  if (verb == "store") return storeCommand(words);
  // Mail that arrives while held waits in the post office, to be delivered
  // together, in the order of its files there, when the hold ends.
  if (verb == "hold" && words.size() == 2 && (words[1] == "on" || words[1] == "off")) {
    holding_ = words[1] == "on";
    return "ok";
  }
  if (verb == "newmail") {
    mail_.core().postNewMail();
    return "ok";
  }
  if (verb == "disconnect") {
    addIn_.disconnect(1);
    CoFreeUnusedLibraries();
    return "ok";
  }
  if (verb == "connect") return connectAddIn();
  if (verb == "restart") {
    addIn_.disconnect(1);
    CoFreeUnusedLibraries();
    return connectAddIn();
  }
  if (verb == "quit") {
    quit_ = true;
    PostMessageW(window_, WM_NULL, 0, 0);
    return "ok";
  }
  return "error: unknown command " + verb;
}

std::u16string HostSession::folderId(const std::string& name) {
  // "STORE/FOLDER" names a folder of a store of storeCommand; a plain name
  // the first folder of that name, the default store's first.
  std::u16string store;
  std::string folderName = name;
  if (std::size_t slash = name.find('/'); slash != std::string::npos) {
    store = storeId(name.substr(0, slash));
    if (store.empty()) return {};
    folderName = name.substr(slash + 1);
  }
  std::u16string wide = fromUtf8(folderName);
  for (const auto& folder : mail_.folders()) {
    if (folder.name == wide && (store.empty() || folder.storeId == store)) return folder.entryId;
  }
  return {};
}

std::u16string HostSession::itemBySubject(const std::u16string& folder,
                                          const std::string& subject) {
  std::u16string wide = unescaped(subject);
  for (const auto& item : mail_.folderItems(folder)) {
    if (item.data.subject == wide) return item.entryId;
  }
  return {};
}

std::string HostSession::folderCommand(const std::vector<std::string>& words) {
  if (words.size() != 2 && words.size() != 3) return "error: folder NAME [STORE]";
  std::u16string store;
  if (words.size() == 3) {
    store = storeId(words[2]);
    if (store.empty()) return "error: no store " + words[2];
  }
  std::u16string id = folderId(words[1]);
  if (id.empty()) id = mail_.createFolder(fromUtf8(words[1]), u"IPM.Task", {}, store);
  return toUtf8(id) + "\t" + toUtf8(mail_.folder(id)->storeId);
}

// A second personal-folders file with its own Deleted Items; its folders are
// named "NAME/FOLDER" in the driver's commands.
std::string HostSession::storeCommand(const std::vector<std::string>& words) {
  if (words.size() != 2) return "error: store NAME";
  std::u16string id = storeId(words[1]);
  if (id.empty()) {
    id = mail_.addStore(fromUtf8(words[1]), store_kind::kPersonalFolders);
    stores_.emplace_back(words[1], id);
  }
  return toUtf8(id);
}

std::u16string HostSession::storeId(const std::string& name) const {
  for (const auto& [known, id] : stores_)
    if (known == name) return id;
  return {};
}

// The configuration the folder page writes for a shared folder.
std::string HostSession::shareCommand(const std::vector<std::string>& words) {
  if (words.size() < 3) return "error: share FOLDER SHARENAME ADDRESS...";
  std::u16string id = folderId(words[1]);
  if (id.empty()) return "error: no folder " + words[1];
  std::string key = "Software\\Vantrosse\\Quendrilax\\Folders\\" + toUtf8(id);
  HKEY folderKey = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &folderKey, nullptr) != ERROR_SUCCESS)
    return "error: cannot create " + key;
  DWORD used = 1;
  std::string store = toUtf8(mail_.folder(id)->storeId);
  RegSetValueExA(folderKey, "used", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&used), 4);
  RegSetValueExA(folderKey, "SID", 0, REG_SZ, reinterpret_cast<const BYTE*>(store.c_str()),
                 static_cast<DWORD>(store.size() + 1));
  RegSetValueExA(folderKey, "ShareName", 0, REG_SZ, reinterpret_cast<const BYTE*>(words[2].c_str()),
                 static_cast<DWORD>(words[2].size() + 1));
  for (std::size_t i = 3; i < words.size(); ++i) {
    HKEY user = nullptr;
    if (RegCreateKeyExA(folderKey, ("Users\\" + words[i]).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &user, nullptr) == ERROR_SUCCESS)
      RegCloseKey(user);
  }
  RegCloseKey(folderKey);
  return "ok";
}

std::string HostSession::addCommand(const std::vector<std::string>& words) {
  if (words.size() < 2) return "error: add FOLDER FIELD=VALUE...";
  std::u16string folder = folderId(words[1]);
  if (folder.empty()) return "error: no folder " + words[1];
  ItemData task = ItemData::newTask();
  std::string failed = applyFields(task, words, 2);
  if (!failed.empty()) return "error: " + failed;
  return toUtf8(mail_.addItem(folder, std::move(task)));
}

std::string HostSession::editCommand(const std::vector<std::string>& words) {
  if (words.size() < 3) return "error: edit FOLDER SUBJECT FIELD=VALUE...";
  std::u16string item = itemBySubject(folderId(words[1]), words[2]);
  if (item.empty()) return "error: no item \"" + words[2] + "\" in " + words[1];
  std::string failed;
  mail_.changeItem(item, [&](ItemData& task) { failed = applyFields(task, words, 3); });
  return failed.empty() ? "ok" : "error: " + failed;
}

std::string HostSession::deleteCommand(const std::vector<std::string>& words) {
  if (words.size() != 3) return "error: delete FOLDER SUBJECT";
  std::u16string item = itemBySubject(folderId(words[1]), words[2]);
  if (item.empty()) return "error: no item \"" + words[2] + "\" in " + words[1];
  return mail_.deleteItem(item) ? "ok" : "error: delete failed";
}

std::string HostSession::dumpCommand(const std::vector<std::string>& words) {
  if (words.size() != 2) return "error: dump FOLDER";
  std::u16string folder = folderId(words[1]);
  if (folder.empty()) return "error: no folder " + words[1];
  std::vector<std::string> lines;
  for (const auto& item : mail_.folderItems(folder)) lines.push_back(itemLine(item.data));
  std::sort(lines.begin(), lines.end());
  std::string out = "items " + std::to_string(lines.size());
  for (const auto& line : lines) out += "\n" + line;
  return out;
}

namespace {

struct Boxes {
  std::vector<HWND> windows;
};

BOOL CALLBACK collectBox(HWND window, LPARAM boxes) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (IsWindowVisible(window) && std::wstring(name) == L"#32770")
    reinterpret_cast<Boxes*>(boxes)->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK collectText(HWND child, LPARAM texts) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (std::wstring(name) != L"Static") return TRUE;
  wchar_t text[2048] = {};
  GetWindowTextW(child, text, 2048);
  if (text[0]) {
    auto* out = reinterpret_cast<std::u16string*>(texts);
    if (!out->empty()) *out += u" ";
    *out += reinterpret_cast<const char16_t*>(text);
  }
  return TRUE;
}

}  // namespace

// The dialogs and message boxes open on the host's thread: caption, then text.
std::string HostSession::boxesCommand() {
  Boxes boxes;
  EnumThreadWindows(GetCurrentThreadId(), collectBox, reinterpret_cast<LPARAM>(&boxes));
  std::string out = "boxes " + std::to_string(boxes.windows.size());
  for (HWND box : boxes.windows) {
    wchar_t caption[512] = {};
    GetWindowTextW(box, caption, 512);
    std::u16string text;
    EnumChildWindows(box, collectText, reinterpret_cast<LPARAM>(&text));
    out += "\n" + escaped(reinterpret_cast<const char16_t*>(caption)) + "\t" + escaped(text);
  }
  return out;
}

// Presses a button (by its id: 1 OK, 2 Cancel, 6 Yes, 7 No) of the box on top.
std::string HostSession::answerCommand(const std::vector<std::string>& words) {
  if (words.size() != 2) return "error: answer BUTTON_ID";
  Boxes boxes;
  EnumThreadWindows(GetCurrentThreadId(), collectBox, reinterpret_cast<LPARAM>(&boxes));
  if (boxes.windows.empty()) return "error: no box open";
  int id = std::stoi(words[1]);
  HWND box = boxes.windows.front();
  HWND button = GetDlgItem(box, id);
  if (!button) return "error: the box has no button " + words[1];
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return "ok";
}

std::string HostSession::barsCommand() {
  std::string out;
  for (const auto& bar : mail_.commandBars()) {
    out += "bar " + escaped(bar.name) + (bar.visible ? " visible" : " hidden");
    for (const auto& button : bar.buttons)
      out += "\n  button caption=" + escaped(button.caption) +
             (button.visible ? " visible" : " hidden") + " tag=" + escaped(button.tag);
    out += "\n";
  }
  return out;
}

}  // namespace qx::e2e
