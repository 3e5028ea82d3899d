#pragma once
// The host's Properties dialog of a folder, with the pages add-ins put into
// it. Opening it raises the namespace's OptionsPagesAdd; every page added by
// ProgID is created through the machine's COM (InprocServers), given a page
// site of its own, activated in place in the dialog's window and shown. The
// dialog's Apply calls apply on every page that reports itself dirty; OK does
// the same and closes; Cancel closes without applying. Closing closes every
// page's control and lets go of it.
//
// Faults: "pages.SetClientSite", "pages.Activate" fail those steps for the
// next page (the host then drops that page and goes on with the others).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mail_property_page.h"
#include "platform/page_control.h"
#include "platform/window_system.h"

namespace qx::sim {

class Faults;
class InprocServers;
class MailClient;
class WindowSystemSim;

struct HostedPage {
  std::u16string progId;  // empty when the page was not offered by ProgID
  std::u16string title;
  Hresult created = hr::kOk;  // what creating and activating it gave
  std::shared_ptr<PageControl> control;
  std::shared_ptr<PropertyPage> page;  // none for a control without one
  WindowHandle window = kNoWindow;
  // Calls of its site's status-change notification.
  std::shared_ptr<int> statusChanges = std::make_shared<int>(0);
};

class FolderPropertiesDialog {
 public:
  FolderPropertiesDialog(MailClient& mail, WindowSystemSim& windows, InprocServers& servers,
                         Faults& faults);
  ~FolderPropertiesDialog();
  FolderPropertiesDialog(const FolderPropertiesDialog&) = delete;
  FolderPropertiesDialog& operator=(const FolderPropertiesDialog&) = delete;

  // Opens the dialog for the folder (closing one that is open). False when
  // there is no such folder or the dialog's window cannot be made.
  bool open(std::u16string_view folderId);
  bool isOpen() const { return frame_ != kNoWindow; }
  std::u16string_view folderId() const { return folderId_; }

  // In the order the pages were added.
  const std::vector<HostedPage>& pages() const { return pages_; }
  // The first page that was created, if any.
  const HostedPage* firstHosted() const;
  // Whether any page has reported a change since the dialog opened or since
  // the last Apply (the host's Apply button).
  bool applyEnabled() const { return state_->applyEnabled; }

  // The page's changed-state query; none for a page without PropertyPage.
  std::optional<bool> dirty(const HostedPage& page) const;

  // The host's Apply: apply on every dirty page. Returns how many applied.
  int apply();
  // OK: Apply, then close.
  int ok();
  // Cancel (and the window's close box): close without applying.
  void cancel();

 private:
  struct State {
    bool applyEnabled = false;
  };
  class Site;
  class FrameSink;
  void host(HostedPage& page);
  void close();

  MailClient& mail_;
  WindowSystemSim& windows_;
  InprocServers& servers_;
  Faults& faults_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::unique_ptr<FrameSink> frameSink_;
  std::vector<std::shared_ptr<Site>> sites_;
  WindowHandle frame_ = kNoWindow;
  std::u16string folderId_;
  std::vector<HostedPage> pages_;
};

}  // namespace qx::sim
