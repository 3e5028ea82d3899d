#include "sim/office/host_process.h"

#include "sim/clock_sim.h"
#include "sim/codepage_sim.h"
#include "sim/faults.h"
#include "sim/files_sim.h"
#include "sim/guid_sim.h"
#include "sim/host_file_system.h"
#include "sim/locale_sim.h"
#include "sim/mail/mail_client.h"
#include "sim/registry_sim.h"
#include "sim/shell_sim.h"
#include "sim/ui_thread.h"
#include "sim/window_system_sim.h"

namespace qx::sim {

namespace {
std::u16string widen(std::string_view text) { return CodePageSim::widen(text); }
}  // namespace

// Declared in the order they depend on each other; destroyed in reverse.
struct HostProcess::Parts {
  Parts(VirtualClock& clock, const UserSetup& setup, std::filesystem::path diskRoot)
      : thread(clock),
        disk(std::move(diskRoot)),
        registry(faults),
        windows(thread, faults),
        shell(disk, faults, setup.name),
        files(disk, faults),
        clockSim(clock, faults, kDefaultStartSeconds, setup.utcOffsetMinutes),
        locale(faults, setup.language),
        guids(faults, setup.guidSeed),
        codePage(faults),
        mail(thread, files, faults,
             setup.wideAddress.empty() ? widen(setup.address) : setup.wideAddress),
        platform{registry, windows, shell,    files,         clockSim,
                 locale,   guids,   codePage, mail.library()} {}

  Faults faults;
  UiThread thread;
  HostFileSystem disk;
  RegistrySim registry;
  WindowSystemSim windows;
  ShellSim shell;
  FilesSim files;
  ClockSim clockSim;
  LocaleSim locale;
  GuidSim guids;
  CodePageSim codePage;
  MailClient mail;
  Platform platform;
};

HostProcess::HostProcess(VirtualClock& clock, UserSetup setup, std::filesystem::path diskRoot)
    : setup_(std::move(setup)),
      parts_(std::make_unique<Parts>(clock, setup_, std::move(diskRoot))) {
  parts_->shell.setAppDataAvailable(setup_.appDataAvailable);
  parts_->mail.setVersion(widen(setup_.hostVersion));
  parts_->mail.core().utcOffsetMinutes = setup_.utcOffsetMinutes;
  parts_->mail.setLibraryState(setup_.libraryInstalled ? mail::LibraryState::kInstalled
                                                       : mail::LibraryState::kClassNotRegistered);
  // The machine exists before the host is started on it.
  parts_->mail.setRunning(false);
}

HostProcess::~HostProcess() = default;

const Platform& HostProcess::platform() const { return parts_->platform; }

std::shared_ptr<Dispatch> HostProcess::applicationObject() {
  return parts_->mail.applicationObject();
}

std::shared_ptr<Dispatch> HostProcess::addInObject() { return parts_->mail.comAddInObject(); }

void HostProcess::onDisconnectRequest(std::function<void()> handler) {
  parts_->mail.onAddInDisconnect(std::move(handler));
}

void HostProcess::startRun() {
  running_ = true;
  parts_->mail.setRunning(true);
}

void HostProcess::markAddInConnected() { parts_->mail.core().addInConnected = true; }

void HostProcess::stopRun() {
  // Whatever is still queued reaches nobody once the process is gone; deliver
  // it now so that no message outlives the run it belongs to.
  parts_->thread.pump();
  running_ = false;
  parts_->mail.setRunning(false);
}

void HostProcess::setClockDriftMs(std::int64_t driftMs) { parts_->clockSim.setDriftMs(driftMs); }

std::int64_t HostProcess::clockReadingMs() const { return parts_->clockSim.readingMs(); }

void HostProcess::crash() {
  // Unlike stopRun, nothing queued is delivered: the process is gone before
  // its thread could take another message.
  parts_->thread.discardPending();
  parts_->windows.destroyAll();
  parts_->mail.core().forgetSubscriptions();
  running_ = false;
  parts_->mail.setRunning(false);
}

void HostProcess::raiseNewMail() { parts_->mail.core().postNewMail(); }

void HostProcess::queueAnswer(int button, std::int64_t openMs) {
  parts_->windows.answerNextBox(button, openMs);
}

namespace {
ShownBox shownBox(const MessageBoxRecord& record) {
  return {record.shownAtMs, record.owner,  record.caption, record.text,
          record.type,      record.answer, record.openMs};
}
}  // namespace

std::size_t HostProcess::pendingAnswers() const { return parts_->windows.messageBoxes().pending(); }

void HostProcess::onMessageBox(std::function<void(const ShownBox&)> observer) {
  parts_->windows.messageBoxes().setObserver(
      [observer = std::move(observer)](const MessageBoxRecord& record) {
        observer(shownBox(record));
      });
}

std::vector<ShownBox> HostProcess::shownBoxes() const {
  std::vector<ShownBox> boxes;
  for (const MessageBoxRecord& record : parts_->windows.shownBoxes())
    boxes.push_back(shownBox(record));
  return boxes;
}

std::optional<std::uint32_t> HostProcess::timerInterval(WindowHandle window,
                                                        std::uint32_t id) const {
  return parts_->windows.timerInterval(window, id);
}

Faults& HostProcess::faults() { return parts_->faults; }
UiThread& HostProcess::thread() { return parts_->thread; }
RegistrySim& HostProcess::registry() { return parts_->registry; }
HostFileSystem& HostProcess::disk() { return parts_->disk; }
MailClient& HostProcess::mail() { return parts_->mail; }

std::string HostProcess::appDataFolder() const { return parts_->shell.appDataPath(); }

std::string HostProcess::moduleFile() const { return parts_->shell.modulePath(); }

std::string HostProcess::moduleFolder() const {
  const std::string& file = parts_->shell.modulePath();
  return file.substr(0, file.rfind('\\') + 1);
}

}  // namespace qx::sim
