#include "ui/folder_page.h"

#include <array>
#include <optional>
#include <string_view>

#include "common/messages.h"
#include "core/addin_module.h"
#include "core/module_paths.h"
#include "core/registry_key.h"
#include "platform/mail_folder.h"
#include "platform/safe_library.h"
#include "ui/folder_page_settings.h"
#include "ui/folder_page_template.h"

namespace qx {

namespace {

using namespace folder_page;

constexpr std::u16string_view kDefaultShareSuffix = u"_sync";
constexpr std::u16string_view kShareNameWithoutFolderName = u"Freigabename";
constexpr std::u16string_view kAddressBookTitle =
    u"Bitte einen Synchronisationsempf\u00e4nger w\u00e4hlen!";
constexpr std::u16string_view kAddressBookToLabel = u"SyncEmpf\u00e4nger";
// The list's entry is read into a buffer of 256 characters, terminator included.
constexpr std::size_t kCopiedEntryLength = 255;
// A registry key name holds at most 255 characters.
constexpr std::size_t kLongestAddress = 255;

}  // namespace

// The page's PropertyPage, part of the same object.
class COLFoldersPropPage::PageInterface final : public PropertyPage {
 public:
  explicit PageInterface(COLFoldersPropPage& page) : page_(page) {}
  Hresult getPageInfo(std::u16string& helpFile, std::int32_t& helpContext) override {
    return page_.getPageInfo(helpFile, helpContext);
  }
  Result<bool> dirty() override { return page_.dirty(); }
  Hresult apply() override { return page_.apply(); }
  Result<std::shared_ptr<PropertyPage>> queryPropertyPage() override {
    return page_.queryPropertyPage();
  }

 private:
  COLFoldersPropPage& page_;
};

COLFoldersPropPage::COLFoldersPropPage(AddinModule& module)
    : module_(module),
      folder_(module.pageFolder()),
      platform_(module.platform()),
      pageInterface_(std::make_unique<PageInterface>(*this)) {}

COLFoldersPropPage::~COLFoldersPropPage() {
  if (window_ != kNoWindow) platform_.windows.destroyWindow(window_);
}

std::shared_ptr<PageControl> COLFoldersPropPage::create(AddinModule& module) {
  return std::make_shared<COLFoldersPropPage>(module);
}

Result<std::shared_ptr<PropertyPage>> COLFoldersPropPage::queryPropertyPage() {
  // Shares the control's lifetime, as one COM object's interfaces do.
  return std::shared_ptr<PropertyPage>(shared_from_this(), pageInterface_.get());
}

Hresult COLFoldersPropPage::setClientSite(std::shared_ptr<Dispatch> site) {
  clientSite_ = std::move(site);
  pageSite_.reset();
  if (!clientSite_) return hr::kOk;
  if (auto pageSite = clientSite_->queryPropertyPageSite()) {
    pageSite_ = std::move(*pageSite);
    dirty_ = false;
  }
  return hr::kOk;
}

Result<WindowHandle> COLFoldersPropPage::activate(WindowHandle parent) {
  if (window_ != kNoWindow) return window_;
  WindowHandle created = kNoWindow;
  // WM_INITDIALOG arrives inside the call, so the page's window must be known
  // before it: the sink stores it first thing.
  const WinError status =
      platform_.windows.createDialog(folderPageTemplate(), parent, *this, created);
  if (status != win::kSuccess) {
    window_ = kNoWindow;
    return failure(hr::kFail);
  }
  window_ = created;
  return window_;
}

Hresult COLFoldersPropPage::close() {
  if (window_ != kNoWindow) platform_.windows.destroyWindow(window_);
  window_ = kNoWindow;
  pageSite_.reset();
  clientSite_.reset();
  return hr::kOk;
}

Hresult COLFoldersPropPage::getPageInfo(std::u16string&, std::int32_t&) {
  // No help information is supplied; both out arguments always exist here.
  return hr::kNotImpl;
}

std::u16string COLFoldersPropPage::message(int id) const {
  return std::u16string(loadMessage(module_.uiLanguage(), id));
}

std::u16string COLFoldersPropPage::text(int id) {
  return platform_.windows.itemText(window_, id).value_or(u"");
}

void COLFoldersPropPage::onInitDialog(WindowHandle dialog) {
  window_ = dialog;
  initialise();
}

void COLFoldersPropPage::initialise() {
  WindowSystem& windows = platform_.windows;
  static constexpr std::array<std::pair<int, int>, 6> kTexts = {{
      {kSyncCheckBox, msg::kSyncThisFolder},
      {kBasicSyncButton, msg::kRunBasicSync},
      {kShareNameLabel, msg::kShareNameLabel},
      {kShareNameHint, msg::kShareNameHint},
      {kRecipientsGroup, msg::kRecipientsGroup},
      {kRecipientsHint, msg::kRecipientsHint},
  }};
  for (const auto& [control, id] : kTexts) windows.setItemText(window_, control, message(id));

  const std::shared_ptr<Folder>& folder = folder_;
  std::u16string defaultShareName(kShareNameWithoutFolderName);
  if (folder) {
    if (auto name = folder->name()) defaultShareName = *name + std::u16string(kDefaultShareSuffix);
  }

  std::optional<FolderPageSettings> settings;
  std::optional<std::u16string> entryId;
  if (folder) {
    if (auto id = folder->entryId()) entryId = std::move(*id);
  }
  if (entryId) settings = loadFolderPage(module_, *entryId);
  const std::uint32_t used = settings ? settings->used : 0;
  // Writing the field raises its change notification: the page counts as
  // changed from here on.
  windows.setItemText(window_, kShareNameField,
                      settings && settings->shareName ? *settings->shareName : defaultShareName);

  if (used != 0) {
    windows.listResetContent(window_, kRecipientList);
    for (const std::u16string& address : settings->recipients)
      windows.listAddString(window_, kRecipientList, address);
    if (folderUsersKeyOpens(module_, *entryId)) windows.enableItem(window_, kBasicSyncButton, true);
  }
  enableRecipients(used != 0);
  windows.checkButton(window_, kSyncCheckBox, used != 0);
  windows.enableItem(window_, kRemoveButton, windows.listCount(window_, kRecipientList) > 0);
}

void COLFoldersPropPage::enableRecipients(bool enable) {
  WindowSystem& windows = platform_.windows;
  windows.enableItem(window_, kRecipientsGroup, enable);
  windows.enableItem(window_, kAddressField, enable);
  windows.enableItem(window_, kRecipientList, enable);
}

void COLFoldersPropPage::onCommand(WindowHandle dialog, int controlId, int notifyCode) {
  if (dialog != window_) return;
  switch (controlId) {
    case kAddButton:
      if (notifyCode == win::kBnClicked) addRecipient();
      break;
    case kRemoveButton:
      if (notifyCode == win::kBnClicked) removeRecipient();
      break;
    case kRecipientList:
      // Selection changes and focus notifications need nothing.
      if (notifyCode == win::kLbnDblClk) copySelectedRecipient();
      break;
    case kSyncCheckBox:
      if (notifyCode == win::kBnClicked) checkBoxChanged();
      break;
    case kShareNameField:
      if (notifyCode == win::kEnChange) markChanged();
      break;
    case kAddressField:
      if (notifyCode == win::kEnChange) addressRule();
      break;
    case kAddressBookButton:
      if (notifyCode == win::kBnClicked) chooseFromAddressBook();
      break;
    case kBasicSyncButton:
      if (notifyCode == win::kBnClicked) basicSyncAgain();
      break;
    default:
      break;
  }
}

void COLFoldersPropPage::onHelp(WindowHandle dialog) {
  if (dialog == window_) openHelp();
}

void COLFoldersPropPage::markChanged() {
  dirty_ = true;
  // Kept alive across the call: the host may answer by closing the page.
  if (std::shared_ptr<PropertyPageSite> site = pageSite_) site->onStatusChange();
}

void COLFoldersPropPage::addressRule() {
  WindowSystem& windows = platform_.windows;
  windows.enableItem(window_, kAddButton, false);
  const std::u16string address = text(kAddressField);
  if (address.size() < 2) return;
  const bool looksLikeAddress = address.find(u'@') != std::u16string::npos &&
                                address.find(u'.') != std::u16string::npos && address.size() > 4;
  if (looksLikeAddress) {
    windows.enableItem(window_, kAddButton, true);
    return;
  }
  // An entry picked from the address book may be a name without "@": it is
  // good for one change of the field.
  if (pickedEntry_) windows.enableItem(window_, kAddButton, true);
  pickedEntry_ = false;
}

void COLFoldersPropPage::addRecipient() {
  WindowSystem& windows = platform_.windows;
  const std::u16string address = text(kAddressField);
  // Each recipient becomes a registry key named after the address: a name
  // the registry cannot hold is refused here, with the text left to mend.
  int refusal = 0;
  if (address.size() > kLongestAddress) {
    refusal = msg::kAddressTooLong;
  } else if (address.find(u'\\') != std::u16string::npos) {
    refusal = msg::kAddressBackslash;
  }
  if (refusal != 0) {
    const std::shared_ptr<COLFoldersPropPage> self = shared_from_this();
    windows.messageBox(window_, message(refusal), message(msg::kErrorCaption), win::kMbOk);
    return;
  }
  if (windows.listFindExact(window_, kRecipientList, -1, address) == win::kLbErr) {
    windows.listAddString(window_, kRecipientList, address);
  } else {
    // The box's message loop may let the host close the dialog and let go
    // of the page: it must live until this click is done.
    const std::shared_ptr<COLFoldersPropPage> self = shared_from_this();
    windows.messageBox(window_, message(msg::kDuplicateAddress), message(msg::kErrorCaption),
                       win::kMbOk);
    if (window_ == kNoWindow) return;
  }
  windows.setItemText(window_, kAddressField, u"");
  windows.enableItem(window_, kAddButton, false);
  windows.enableItem(window_, kRemoveButton, true);
  markChanged();
}

void COLFoldersPropPage::removeRecipient() {
  WindowSystem& windows = platform_.windows;
  const int selected = windows.listSelection(window_, kRecipientList);
  if (selected != win::kLbErr) windows.listDeleteString(window_, kRecipientList, selected);
  windows.enableItem(window_, kRemoveButton, windows.listCount(window_, kRecipientList) > 0);
  markChanged();
}

void COLFoldersPropPage::copySelectedRecipient() {
  WindowSystem& windows = platform_.windows;
  const int selected = windows.listSelection(window_, kRecipientList);
  if (selected == win::kLbErr) return;
  auto entry = windows.listText(window_, kRecipientList, selected);
  if (!entry) return;
  std::u16string copied = std::move(*entry);
  if (copied.size() > kCopiedEntryLength) copied.resize(kCopiedEntryLength);
  // The field's change notification runs the address rule on it.
  windows.setItemText(window_, kAddressField, copied);
}

void COLFoldersPropPage::checkBoxChanged() {
  enableRecipients(platform_.windows.isButtonChecked(window_, kSyncCheckBox));
  markChanged();
}

void COLFoldersPropPage::chooseFromAddressBook() {
  auto utilities = createMapiUtilities(platform_.safeLibrary);
  if (!utilities) return;
  // The address book has no owner window: the user may close the Properties
  // dialog meanwhile, and the page must live until this click is done.
  const std::shared_ptr<COLFoldersPropPage> self = shared_from_this();
  auto chosen =
      (*utilities)
          ->addressBook(Variant::missing(), Variant(kAddressBookTitle), Variant(true),
                        Variant(true), Variant(std::int32_t{1}), Variant(kAddressBookToLabel),
                        Variant::missing(), Variant::missing(), Variant(false));
  if (window_ == kNoWindow || !chosen || !*chosen) return;
  auto count = (*chosen)->count();
  if (!count) return;
  WindowSystem& windows = platform_.windows;
  if (*count < 1) {
    windows.setItemText(window_, kAddressField, u"");
    return;
  }
  auto entry = (*chosen)->item(1);
  if (!entry) return;
  auto address = (*entry)->address();
  auto resolved = (*entry)->resolved();
  if (!address || !resolved) return;
  pickedEntry_ = *resolved;
  windows.setItemText(window_, kAddressField, *address);
}

void COLFoldersPropPage::basicSyncAgain() {
  const std::shared_ptr<COLFoldersPropPage> self = shared_from_this();
  const int answer =
      platform_.windows.messageBox(window_, message(msg::kBasicSyncAgainQuestion),
                                   message(msg::kBasicSyncAgainCaption), win::kMbYesNo);
  if (answer == win::kIdYes) runBasicSyncFromPage(module_);
}

void COLFoldersPropPage::openHelp() {
  const Platform& platform = platform_;
  const std::string folder = moduleFolderOf(platform.shell);
  auto file = platform.codePage.toAnsi(message(msg::kHelpFile));
  if (!file) return;
  platform.shell.execute("open", folder + *file, "", folder, win::kSwShow);
}

Hresult COLFoldersPropPage::apply() {
  // A page without its window has nothing to save; reading its controls now
  // would find the box clear and delete the folder's settings.
  if (window_ == kNoWindow) return hr::kOk;
  const std::shared_ptr<Folder>& folder = folder_;
  if (!folder) return hr::kOk;
  auto entryId = folder->entryId();
  // Without its entry id the folder's key cannot be named: nothing to save.
  if (!entryId) return hr::kOk;
  FolderPageSave save;
  save.entryId = std::move(*entryId);
  // A folder saved without its store could not be found again.
  auto storeId = folder->storeId();
  if (!storeId) return hr::kOk;
  save.storeId = std::move(*storeId);
  WindowSystem& windows = platform_.windows;
  save.synchronize = windows.isButtonChecked(window_, kSyncCheckBox);
  save.shareName = text(kShareNameField);
  const int count = windows.listCount(window_, kRecipientList);
  for (int i = 0; i < count; ++i) {
    if (auto entry = windows.listText(window_, kRecipientList, i))
      save.recipients.push_back(std::move(*entry));
  }
  saveFolderPage(module_, save);
  return hr::kOk;
}

}  // namespace qx
