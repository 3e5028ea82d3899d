#pragma once
// COLFoldersPropPage: the add-in's page in a task folder's Properties dialog.
// The user marks the folder for synchronization, names its share and keeps
// the list of recipients; Apply writes the folder's key and has the engine
// reload its folders. The page works on the module's page folder, the folder
// whose properties the host is showing.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/mail_property_page.h"
#include "platform/page_control.h"
#include "platform/platform.h"
#include "platform/window_system.h"

namespace qx {

class AddinModule;
class Folder;

class COLFoldersPropPage final : public PageControl,
                                 public DialogSink,
                                 public std::enable_shared_from_this<COLFoldersPropPage> {
 public:
  explicit COLFoldersPropPage(AddinModule& module);
  ~COLFoldersPropPage() override;
  COLFoldersPropPage(const COLFoldersPropPage&) = delete;
  COLFoldersPropPage& operator=(const COLFoldersPropPage&) = delete;

  // The class object's instance: what the host gets when it creates the
  // page by its ProgID.
  static std::shared_ptr<PageControl> create(AddinModule& module);

  // --- the control ---
  Result<std::shared_ptr<PropertyPage>> queryPropertyPage() override;
  Hresult setClientSite(std::shared_ptr<Dispatch> site) override;
  Result<WindowHandle> activate(WindowHandle parent) override;
  Hresult close() override;

  // --- PropertyPage ---
  Hresult getPageInfo(std::u16string& helpFile, std::int32_t& helpContext);
  Result<bool> dirty() const { return dirty_; }
  Hresult apply();

  // --- the dialog ---
  void onInitDialog(WindowHandle dialog) override;
  void onCommand(WindowHandle dialog, int controlId, int notifyCode) override;
  void onHelp(WindowHandle dialog) override;

  WindowHandle window() const { return window_; }
  bool pickedEntry() const { return pickedEntry_; }

 private:
  class PageInterface;

  void initialise();
  void addressRule();
  void addRecipient();
  void removeRecipient();
  void copySelectedRecipient();
  void checkBoxChanged();
  void chooseFromAddressBook();
  void basicSyncAgain();
  void openHelp();
  void markChanged();
  void enableRecipients(bool enable);
  std::u16string message(int id) const;
  std::u16string text(int id);

  AddinModule& module_;
  // The page folder as the page was created for it. The module's page folder
  // follows every Properties dialog the host opens; a page still open when
  // another folder's dialog comes up must go on showing and saving its own.
  std::shared_ptr<Folder> folder_;
  // The host's services outlive the module's objects; the window is
  // destroyed through them even when the module is already gone.
  Platform platform_;
  std::unique_ptr<PageInterface> pageInterface_;
  std::shared_ptr<Dispatch> clientSite_;
  std::shared_ptr<PropertyPageSite> pageSite_;
  WindowHandle window_ = kNoWindow;
  bool dirty_ = false;
  bool pickedEntry_ = false;
};

}  // namespace qx
