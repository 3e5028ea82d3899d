#pragma once
// One simulated user with the add-in loaded into the stand-in host, owning
// shared task folders for the basic synchronization to work on. The window
// system handed to the add-in records what the progress window is given, so
// that a listing can be looked at after its window is gone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/host_fixture.h"

namespace qx::test {

using testsupport::ansi;

// What one listing's progress window was given.
struct ProgressRecord {
  std::u16string caption;
  int rangeHigh = -1;
  std::vector<std::u16string> texts;
  int lastPosition = -1;
};

// Passes every call on to the stand-in's window system and notes what the
// progress bars and texts of dialogs receive.
class RecordingWindows final : public WindowSystem {
 public:
  explicit RecordingWindows(WindowSystem& inner) : inner_(inner) {}

  std::vector<ProgressRecord> listings;

  WindowHandle desktopWindow() override { return inner_.desktopWindow(); }
  WinError createWindow(WindowHandle parent, std::uint32_t style, WindowSink& sink,
                        WindowHandle& created) override {
    return inner_.createWindow(parent, style, sink, created);
  }
  WinError createDialog(const DialogTemplate& dialogTemplate, WindowHandle parent, DialogSink& sink,
                        WindowHandle& created) override {
    WinError status = inner_.createDialog(dialogTemplate, parent, sink, created);
    if (status == win::kSuccess) {
      ProgressRecord record;
      record.caption = dialogTemplate.caption;
      listings.push_back(std::move(record));
    }
    return status;
  }
  bool destroyWindow(WindowHandle window) override { return inner_.destroyWindow(window); }
  bool showWindow(WindowHandle window, int command) override {
    return inner_.showWindow(window, command);
  }
  bool updateWindow(WindowHandle window) override { return inner_.updateWindow(window); }
  bool isWindow(WindowHandle window) override { return inner_.isWindow(window); }
  bool setTimer(WindowHandle window, std::uint32_t id, std::uint32_t ms) override {
    return inner_.setTimer(window, id, ms);
  }
  bool killTimer(WindowHandle window, std::uint32_t id) override {
    return inner_.killTimer(window, id);
  }
  int messageBox(WindowHandle owner, std::u16string_view text, std::u16string_view caption,
                 std::uint32_t type) override {
    return inner_.messageBox(owner, text, caption, type);
  }
  bool setItemText(WindowHandle dialog, int id, std::u16string_view text) override {
    bool ok = inner_.setItemText(dialog, id, text);
    if (ok && !listings.empty()) listings.back().texts.emplace_back(text);
    return ok;
  }
  Result<std::u16string> itemText(WindowHandle dialog, int id) override {
    return inner_.itemText(dialog, id);
  }
  bool enableItem(WindowHandle dialog, int id, bool enable) override {
    return inner_.enableItem(dialog, id, enable);
  }
  bool isItemEnabled(WindowHandle dialog, int id) override {
    return inner_.isItemEnabled(dialog, id);
  }
  bool checkButton(WindowHandle dialog, int id, bool checked) override {
    return inner_.checkButton(dialog, id, checked);
  }
  bool isButtonChecked(WindowHandle dialog, int id) override {
    return inner_.isButtonChecked(dialog, id);
  }
  int listAddString(WindowHandle dialog, int id, std::u16string_view text) override {
    return inner_.listAddString(dialog, id, text);
  }
  int listDeleteString(WindowHandle dialog, int id, int index) override {
    return inner_.listDeleteString(dialog, id, index);
  }
  int listCount(WindowHandle dialog, int id) override { return inner_.listCount(dialog, id); }
  int listSelection(WindowHandle dialog, int id) override {
    return inner_.listSelection(dialog, id);
  }
  int listSetSelection(WindowHandle dialog, int id, int index) override {
    return inner_.listSetSelection(dialog, id, index);
  }
  Result<std::u16string> listText(WindowHandle dialog, int id, int index) override {
    return inner_.listText(dialog, id, index);
  }
  int listResetContent(WindowHandle dialog, int id) override {
    return inner_.listResetContent(dialog, id);
  }
  int listFindExact(WindowHandle dialog, int id, int startAfter,
                    std::u16string_view text) override {
    return inner_.listFindExact(dialog, id, startAfter, text);
  }
  bool progressSetRange(WindowHandle dialog, int id, std::uint16_t low,
                        std::uint16_t high) override {
    bool ok = inner_.progressSetRange(dialog, id, low, high);
    if (ok && !listings.empty()) listings.back().rangeHigh = high;
    return ok;
  }
  bool progressSetPos(WindowHandle dialog, int id, int position) override {
    bool ok = inner_.progressSetPos(dialog, id, position);
    if (ok && !listings.empty()) listings.back().lastPosition = position;
    return ok;
  }

 private:
  WindowSystem& inner_;
};

class BasicSyncTest : public testsupport::HostTest {
 protected:
  BasicSyncTest() {
    onDisconnectRequest = [this] {
      if (disconnectOnRequest && connection) connection->onDisconnection(1);
    };
    setDebug(1);
    loadModule();
  }
  ~BasicSyncTest() override {
    // The module and its windows go before the recorder they were given.
    connection.reset();
    module.reset();
  }

  // A task folder marked for synchronization with these recipients.
  std::u16string shareFolder(std::u16string_view name, std::vector<std::string> recipients,
                             bool processed = false) {
    const std::u16string id = addSharedFolder(name, ansi(name));
    const std::string key = testsupport::folderKey(ansi(id));
    registry().putKey(reg::kCurrentUser, key + "\\Users");
    for (const std::string& address : recipients)
      registry().putKey(reg::kCurrentUser, key + "\\Users\\" + address);
    if (processed) registry().putDword(reg::kCurrentUser, key, "isProcessed", 1);
    return id;
  }
  std::u16string addTask(const std::u16string& folderId, std::u16string subject,
                         std::u16string categories = {}, std::int32_t sensitivity = 0) {
    sim::mail::ItemData data = sim::mail::ItemData::newTask();
    data.subject = std::move(subject);
    data.categories = std::move(categories);
    data.sensitivity = sensitivity;
    return mail().addItem(folderId, std::move(data));
  }

  // Connects the add-in (starting the host again after disconnect());
  // questions take the scripted answers, or Yes.
  void connect() {
    if (!module) {
      host.startRun();
      host.markAddInConnected();
      loadModule();
    }
    ASSERT_EQ(connectAndStart(), hr::kOk);
    pump();
  }
  // The host closes.
  void disconnect() {
    if (connection) connection->onDisconnection(0);
    connection.reset();
    module.reset();
    host.stopRun();
  }

  bool processed(const std::u16string& id) {
    return registry()
        .value(reg::kCurrentUser, testsupport::folderKey(ansi(id)), "isProcessed")
        .has_value();
  }
  std::string queuePath(const std::u16string& id) const {
    return dataDirectory() + ansi(id) + ".ids";
  }
  std::optional<std::string> queueText(const std::u16string& id) { return fileText(queuePath(id)); }
  // The queue's entries (its lines without their CR LF).
  std::vector<std::string> queueEntries(const std::u16string& id) {
    std::vector<std::string> entries;
    const std::string text = queueText(id).value_or("");
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      entries.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return entries;
  }
  void writeQueue(const std::u16string& id, std::string_view diskText) {
    putFile(queuePath(id), diskText);
  }

  // The debug entries that start with `prefix`, without it.
  std::vector<std::string> entriesAfter(std::string_view prefix) {
    std::vector<std::string> found;
    for (const std::string& entry : debugEntries())
      if (entry.starts_with(prefix)) found.push_back(entry.substr(prefix.size()));
    return found;
  }
  std::vector<std::string> errorLines() {
    std::vector<std::string> lines;
    const std::string log = errorLog();
    for (std::size_t start = 0; start < log.size();) {
      std::size_t end = log.find('\n', start);
      if (end == std::string::npos) end = log.size();
      lines.push_back(log.substr(start, end - start));
      start = end + 1;
    }
    return lines;
  }
  // Sync mails sent so far.
  std::size_t mailsSent() { return (sent_ += mail().takeSubmitted().size()); }

  const sim::mail::BarState* bar(std::u16string_view name) {
    for (const auto& b : mail().commandBars())
      if (b.name == name) return &b;
    return nullptr;
  }

  // Whether the host disconnects the add-in when it asks to be unloaded.
  bool disconnectOnRequest = true;
  std::unique_ptr<RecordingWindows> recorder;

 private:
  void loadModule() {
    connection.reset();
    module.reset();
    recorder = std::make_unique<RecordingWindows>(host.platform().windows);
    const Platform& base = host.platform();
    platform_ = std::make_unique<Platform>(Platform{base.registry, *recorder, base.shell,
                                                    base.files, base.clock, base.locale, base.guids,
                                                    base.codePage, base.safeLibrary});
    module = std::make_unique<AddinModule>(*platform_);
  }

  std::unique_ptr<Platform> platform_;
  std::size_t sent_ = 0;
};

}  // namespace qx::test
