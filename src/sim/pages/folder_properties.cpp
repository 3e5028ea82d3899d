#include "sim/pages/folder_properties.h"

#include "sim/faults.h"
#include "sim/mail/mail_client.h"
#include "sim/pages/inproc_servers.h"
#include "sim/window_system_sim.h"

namespace qx::sim {

namespace {
// The host's own dialog: a framed popup with its tabs and buttons, which the
// stand-in does not model beyond the window the pages live in.
constexpr int kFrameTemplateId = 0x7F10;
constexpr std::uint32_t kFrameStyle = 0x80C80000u;  // WS_POPUP | WS_CAPTION | WS_SYSMENU
}  // namespace

// The page site the host gives each page: a status change enables Apply.
class FolderPropertiesDialog::Site final : public PropertyPageSite,
                                           public std::enable_shared_from_this<Site> {
 public:
  Site(std::weak_ptr<State> state, std::shared_ptr<int> counter, Faults& faults)
      : state_(std::move(state)), counter_(std::move(counter)), faults_(faults) {}
  Result<std::shared_ptr<PropertyPageSite>> queryPropertyPageSite() override {
    if (auto f = faults_.check("mail.QueryInterface.PropertyPageSite")) return failure(*f);
    return shared_from_this();
  }
  Hresult onStatusChange() override {
    if (auto f = faults_.check("mail.PropertyPageSite.OnStatusChange")) return *f;
    ++*counter_;
    if (auto state = state_.lock()) state->applyEnabled = true;
    return hr::kOk;
  }

 private:
  std::weak_ptr<State> state_;
  std::shared_ptr<int> counter_;
  Faults& faults_;
};

class FolderPropertiesDialog::FrameSink final : public DialogSink {
 public:
  void onInitDialog(WindowHandle) override {}
  void onCommand(WindowHandle, int, int) override {}
};

FolderPropertiesDialog::FolderPropertiesDialog(MailClient& mail, WindowSystemSim& windows,
                                               InprocServers& servers, Faults& faults)
    : mail_(mail),
      windows_(windows),
      servers_(servers),
      faults_(faults),
      frameSink_(std::make_unique<FrameSink>()) {}

FolderPropertiesDialog::~FolderPropertiesDialog() { close(); }

bool FolderPropertiesDialog::open(std::u16string_view folderId) {
  close();
  auto folder = mail_.folder(folderId);
  if (!folder) return false;
  DialogTemplate frame;
  frame.id = kFrameTemplateId;
  frame.caption = u"Properties of " + folder->name;
  frame.width = 270;
  frame.height = 280;
  frame.style = kFrameStyle;
  WindowHandle created = kNoWindow;
  if (windows_.createDialog(frame, kNoWindow, *frameSink_, created) != win::kSuccess) return false;
  frame_ = created;
  folderId_ = std::u16string(folderId);
  state_->applyEnabled = false;
  for (const mail::OfferedPage& offered : mail_.openFolderProperties(folderId)) {
    HostedPage page;
    page.title = offered.title;
    if (const std::u16string* progId = offered.page.text()) page.progId = *progId;
    pages_.push_back(std::move(page));
  }
  for (HostedPage& page : pages_) host(page);
  windows_.showWindow(frame_, win::kSwShow);
  return true;
}

void FolderPropertiesDialog::host(HostedPage& page) {
  if (page.progId.empty()) {
    page.created = hr::kInvalidArg;
    return;
  }
  auto control = servers_.createByProgId(page.progId);
  if (!control) {
    page.created = control.error();
    return;
  }
  auto site = std::make_shared<Site>(state_, page.statusChanges, faults_);
  Hresult status = hr::kOk;
  if (auto f = faults_.check("pages.SetClientSite")) status = *f;
  if (succeeded(status)) status = (*control)->setClientSite(site);
  if (failed(status)) {
    page.created = status;
    return;
  }
  Result<WindowHandle> window = failure(hr::kFail);
  if (auto f = faults_.check("pages.Activate")) {
    window = failure(*f);
  } else {
    window = (*control)->activate(frame_);
  }
  if (!window) {
    (*control)->close();
    page.created = window.error();
    return;
  }
  page.control = std::move(*control);
  page.window = *window;
  if (auto propertyPage = page.control->queryPropertyPage()) page.page = std::move(*propertyPage);
  windows_.showWindow(page.window, win::kSwShow);
  sites_.push_back(site);
}

const HostedPage* FolderPropertiesDialog::firstHosted() const {
  for (const HostedPage& page : pages_) {
    if (page.control) return &page;
  }
  return nullptr;
}

std::optional<bool> FolderPropertiesDialog::dirty(const HostedPage& page) const {
  if (!page.page) return std::nullopt;
  auto changed = page.page->dirty();
  if (!changed) return std::nullopt;
  return *changed;
}

int FolderPropertiesDialog::apply() {
  int applied = 0;
  // A page's apply may run the host's message loop; work on copies of the
  // references so that nothing the loop does pulls a page away meanwhile.
  std::vector<std::shared_ptr<PropertyPage>> pages;
  for (const HostedPage& page : pages_) {
    if (page.page) pages.push_back(page.page);
  }
  for (const std::shared_ptr<PropertyPage>& page : pages) {
    auto changed = page->dirty();
    if (changed && *changed) {
      page->apply();
      ++applied;
    }
  }
  state_->applyEnabled = false;
  return applied;
}

int FolderPropertiesDialog::ok() {
  const int applied = apply();
  close();
  return applied;
}

void FolderPropertiesDialog::cancel() { close(); }

void FolderPropertiesDialog::close() {
  for (HostedPage& page : pages_) {
    page.page.reset();
    if (page.control) page.control->close();
    page.control.reset();
  }
  pages_.clear();
  sites_.clear();
  if (frame_ != kNoWindow) windows_.destroyWindow(frame_);
  frame_ = kNoWindow;
  folderId_.clear();
}

}  // namespace qx::sim
