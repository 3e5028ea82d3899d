// The simulated host's application, namespace, explorer with its command bars,
// property pages and add-in record.
#include "sim/mail/host_objects.h"
#include "sim/mail/item_handle.h"
#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {

// The store a store-id argument names. Without one, the session opens the id
// in the store it belongs to (a long-term entry id names its store).
Result<Store*> storeFromArgument(ClientCore& core, const Variant& storeId,
                                 std::u16string_view entryId) {
  const std::u16string* text = storeId.text();
  // Whether the real host takes an empty text for "no store" is not known:
  // the stand-in refuses it, so that a caller who means none leaves it out.
  if (text && text->empty()) return failure(hr::kInvalidArg);
  if (storeId.isMissing() || storeId.isEmpty()) {
    Store* owner = core.storeOfEntryId(entryId);
    return owner ? owner : &core.defaultStore();
  }
  if (!text) return failure(hr::kInvalidArg);
  Store* store = core.storeById(*text);
  if (!store) return failure(hr::kMapiInvalidEntryId);
  return store;
}

// Entry ids are hexadecimal: either letter case names the same id.
Result<std::u16string> normalizedEntryId(std::u16string_view entryId) {
  std::u16string id(entryId);
  for (char16_t& c : id) {
    if (c >= u'a' && c <= u'f') c = static_cast<char16_t>(c - 32);
  }
  if (!Store::isWellFormedEntryId(id)) return failure(hr::kMapiInvalidEntryId);
  return id;
}

class ButtonObject : public CommandBarButton, public std::enable_shared_from_this<ButtonObject> {
 public:
  ButtonObject(std::shared_ptr<ClientCore> core, std::uint32_t barId, std::uint32_t id)
      : core_(std::move(core)), barId_(barId), id_(id) {}

  Result<std::shared_ptr<CommandBarButton>> queryCommandBarButton() override {
    if (auto f = core_->fault("mail.QueryInterface.CommandBarButton")) return failure(*f);
    return shared_from_this();
  }
  Result<std::int32_t> style() override { return get("Style", &ButtonState::style); }
  Hresult setStyle(std::int32_t v) override { return set("SetStyle", &ButtonState::style, v); }
  Result<std::int32_t> faceId() override { return get("FaceId", &ButtonState::faceId); }
  Hresult setFaceId(std::int32_t v) override { return set("SetFaceId", &ButtonState::faceId, v); }
  Result<bool> visible() override { return get("Visible", &ButtonState::visible); }
  Hresult setVisible(bool v) override { return set("SetVisible", &ButtonState::visible, v); }
  Result<std::u16string> caption() override { return get("Caption", &ButtonState::caption); }
  Hresult setCaption(std::u16string_view t) override {
    return set("SetCaption", &ButtonState::caption, std::u16string(t));
  }
  Result<bool> enabled() override { return get("Enabled", &ButtonState::enabled); }
  Hresult setEnabled(bool v) override { return set("SetEnabled", &ButtonState::enabled, v); }
  Result<std::u16string> tooltipText() override {
    return get("TooltipText", &ButtonState::tooltipText);
  }
  Hresult setTooltipText(std::u16string_view t) override {
    return set("SetTooltipText", &ButtonState::tooltipText, std::u16string(t));
  }
  Result<std::u16string> tag() override { return get("Tag", &ButtonState::tag); }
  Hresult setTag(std::u16string_view t) override {
    return set("SetTag", &ButtonState::tag, std::u16string(t));
  }
  Hresult deleteControl() override {
    if (auto f = core_->fault("mail.CommandBarButton.Delete")) return *f;
    BarState* bar = findBar();
    if (!bar) return hr::kFail;
    auto& list = bar->buttons;
    for (auto it = list.begin(); it != list.end(); ++it) {
      if (it->id == id_) {
        list.erase(it);
        return hr::kOk;
      }
    }
    return hr::kFail;
  }

 private:
  BarState* findBar() {
    for (BarState& bar : core_->bars) {
      if (bar.id == barId_) return &bar;
    }
    return nullptr;
  }
  ButtonState* find() {
    BarState* bar = findBar();
    if (!bar) return nullptr;
    for (ButtonState& b : bar->buttons) {
      if (b.id == id_) return &b;
    }
    return nullptr;
  }
  template <class M>
  auto get(std::string_view member, M field)
      -> Result<std::remove_cvref_t<decltype(std::declval<ButtonState&>().*field)>> {
    if (auto f = core_->fault("mail.CommandBarButton." + std::string(member))) return failure(*f);
    ButtonState* b = find();
    if (!b) return failure(hr::kFail);
    return b->*field;
  }
  template <class M, class T>
  Hresult set(std::string_view member, M field, T value) {
    if (auto f = core_->fault("mail.CommandBarButton." + std::string(member))) return *f;
    ButtonState* b = find();
    if (!b) return hr::kFail;
    b->*field = std::move(value);
    return hr::kOk;
  }
  std::shared_ptr<ClientCore> core_;
  std::uint32_t barId_;
  std::uint32_t id_;
};

class ControlsObject : public CommandBarControls {
 public:
  ControlsObject(std::shared_ptr<ClientCore> core, std::uint32_t barId)
      : core_(std::move(core)), barId_(barId) {}

  Result<std::int32_t> count() override {
    if (auto f = core_->fault("mail.CommandBarControls.Count")) return failure(*f);
    BarState* bar = findBar();
    if (!bar) return failure(hr::kFail);
    return static_cast<std::int32_t>(bar->buttons.size());
  }
  Result<std::shared_ptr<Dispatch>> add(std::int32_t type, bool temporary) override {
    if (auto f = core_->fault("mail.CommandBarControls.Add")) return failure(*f);
    if (type != control_type::kButton) return failure(hr::kInvalidArg);
    BarState* bar = findBar();
    if (!bar) return failure(hr::kFail);
    ButtonState button;
    button.id = core_->nextUiId++;
    button.temporary = temporary;
    bar->buttons.push_back(button);
    return std::shared_ptr<Dispatch>(std::make_shared<ButtonObject>(core_, barId_, button.id));
  }

 private:
  BarState* findBar() {
    for (BarState& bar : core_->bars) {
      if (bar.id == barId_) return &bar;
    }
    return nullptr;
  }
  std::shared_ptr<ClientCore> core_;
  std::uint32_t barId_;
};

class BarObject : public CommandBar {
 public:
  BarObject(std::shared_ptr<ClientCore> core, std::uint32_t id) : core_(std::move(core)), id_(id) {}

  Result<std::u16string> name() override {
    if (auto f = core_->fault("mail.CommandBar.Name")) return failure(*f);
    BarState* bar = find();
    if (!bar) return failure(hr::kFail);
    return bar->name;
  }
  Result<bool> visible() override {
    if (auto f = core_->fault("mail.CommandBar.Visible")) return failure(*f);
    BarState* bar = find();
    if (!bar) return failure(hr::kFail);
    return bar->visible;
  }
  Hresult setVisible(bool value) override {
    if (auto f = core_->fault("mail.CommandBar.SetVisible")) return *f;
    BarState* bar = find();
    if (!bar) return hr::kFail;
    bar->visible = value;
    return hr::kOk;
  }
  Result<std::shared_ptr<CommandBarControls>> controls() override {
    if (auto f = core_->fault("mail.CommandBar.Controls")) return failure(*f);
    if (!find()) return failure(hr::kFail);
    return std::shared_ptr<CommandBarControls>(std::make_shared<ControlsObject>(core_, id_));
  }
  Hresult deleteBar() override {
    if (auto f = core_->fault("mail.CommandBar.Delete")) return *f;
    auto& bars = core_->bars;
    for (auto it = bars.begin(); it != bars.end(); ++it) {
      if (it->id == id_) {
        bars.erase(it);
        return hr::kOk;
      }
    }
    return hr::kFail;
  }

 private:
  BarState* find() {
    for (BarState& bar : core_->bars) {
      if (bar.id == id_) return &bar;
    }
    return nullptr;
  }
  std::shared_ptr<ClientCore> core_;
  std::uint32_t id_;
};

class BarsObject : public CommandBars {
 public:
  explicit BarsObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::int32_t> count() override {
    if (auto f = core_->fault("mail.CommandBars.Count")) return failure(*f);
    return static_cast<std::int32_t>(core_->bars.size());
  }
  Result<std::shared_ptr<CommandBar>> item(std::int32_t index) override {
    if (auto f = core_->fault("mail.CommandBars.Item")) return failure(*f);
    if (index < 1 || static_cast<std::size_t>(index) > core_->bars.size()) {
      return failure(hr::kBadIndex);
    }
    return std::shared_ptr<CommandBar>(
        std::make_shared<BarObject>(core_, core_->bars[static_cast<std::size_t>(index - 1)].id));
  }
  Result<std::shared_ptr<CommandBar>> add(std::u16string_view name, std::int32_t position,
                                          bool temporary) override {
    if (auto f = core_->fault("mail.CommandBars.Add")) return failure(*f);
    if (position < 0 || position > 6) return failure(hr::kInvalidArg);
    // A bar of a name that a bar has already (a hidden one, say) is added
    // beside it: bars are told apart by their index, not their name.
    BarState bar;
    bar.id = core_->nextUiId++;
    bar.name = std::u16string(name);
    bar.visible = false;  // a new bar shows only when made visible
    bar.temporary = temporary;
    core_->bars.push_back(bar);
    return std::shared_ptr<CommandBar>(std::make_shared<BarObject>(core_, bar.id));
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

class ExplorerObject : public Explorer {
 public:
  explicit ExplorerObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}
  Result<std::shared_ptr<CommandBars>> commandBars() override {
    if (auto f = core_->fault("mail.Explorer.CommandBars")) return failure(*f);
    return std::shared_ptr<CommandBars>(std::make_shared<BarsObject>(core_));
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

class NamespaceObject : public Namespace {
 public:
  explicit NamespaceObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (auto f = core_->fault("mail.Namespace.FindConnectionPoint")) return failure(*f);
    if (!(iid == iid::kNamespaceEvents)) return failure(hr::kNoConnection);
    return makeConnectionPoint(core_, {EventTarget::Kind::kNamespace, {}, {}});
  }
  Result<std::shared_ptr<Folder>> getDefaultFolder(std::int32_t which) override {
    if (auto f = core_->fault("mail.Namespace.GetDefaultFolder")) return failure(*f);
    std::u16string id = core_->defaultFolderId(which);
    if (id.empty()) return failure(hr::kInvalidArg);
    return core_->folderObject(core_->defaultStore(), id);
  }
  Result<std::shared_ptr<Application>> application() override {
    if (auto f = core_->fault("mail.Namespace.Application")) return failure(*f);
    return core_->applicationObject();
  }
  Result<std::shared_ptr<Folder>> getFolderFromId(std::u16string_view entryId,
                                                  const Variant& storeId) override {
    if (auto f = core_->fault("mail.Namespace.GetFolderFromID")) return failure(*f);
    auto id = normalizedEntryId(entryId);
    if (!id) return failure(id.error());
    auto store = storeFromArgument(*core_, storeId, *id);
    if (!store) return failure(store.error());
    if (!(*store)->folder(*id)) return failure(hr::kMapiNotFound);
    return core_->folderObject(**store, *id);
  }
  Result<std::shared_ptr<Dispatch>> getItemFromId(std::u16string_view entryId,
                                                  const Variant& storeId) override {
    if (auto f = core_->fault("mail.Namespace.GetItemFromID")) return failure(*f);
    auto id = normalizedEntryId(entryId);
    if (!id) return failure(id.error());
    auto store = storeFromArgument(*core_, storeId, *id);
    if (!store) return failure(store.error());
    if (!(*store)->item(*id)) return failure(hr::kMapiNotFound);
    return core_->openItem(**store, *id);
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

class ApplicationObject : public Application,
                          public std::enable_shared_from_this<ApplicationObject> {
 public:
  explicit ApplicationObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<Application>> queryApplication() override {
    if (auto f = core_->fault("mail.QueryInterface.Application")) return failure(*f);
    return shared_from_this();
  }
  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& iid) override {
    if (auto f = core_->fault("mail.Application.FindConnectionPoint")) return failure(*f);
    if (!(iid == iid::kApplicationEvents)) return failure(hr::kNoConnection);
    return makeConnectionPoint(core_, {EventTarget::Kind::kApplication, {}, {}});
  }
  Result<std::shared_ptr<Namespace>> getNamespace(std::u16string_view type) override {
    if (auto f = core_->fault("mail.Application.GetNamespace")) return failure(*f);
    if (!equalsIgnoreCase(type, u"MAPI")) return failure(hr::kInvalidArg);
    return core_->namespaceObject();
  }
  Result<std::u16string> version() override {
    if (auto f = core_->fault("mail.Application.Version")) return failure(*f);
    return core_->version;
  }
  Result<std::shared_ptr<Dispatch>> createItem(std::int32_t kind) override {
    if (auto f = core_->fault("mail.Application.CreateItem")) return failure(*f);
    ItemData data;
    if (kind == item_kind::kMail) {
      data = ItemData::newMail();
      data.senderAddress = core_->address();
    } else if (kind == item_kind::kTask) {
      data = ItemData::newTask();
    } else {
      return failure(hr::kInvalidArg);
    }
    return core_->itemObject(std::make_shared<ItemHandle>(core_, std::move(data)));
  }
  Result<std::shared_ptr<Explorer>> activeExplorer() override {
    if (auto f = core_->fault("mail.Application.ActiveExplorer")) return failure(*f);
    if (!core_->explorerPresent) return std::shared_ptr<Explorer>();
    return std::shared_ptr<Explorer>(std::make_shared<ExplorerObject>(core_));
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

class PropertyPagesObject : public PropertyPages,
                            public std::enable_shared_from_this<PropertyPagesObject> {
 public:
  PropertyPagesObject(std::shared_ptr<ClientCore> core,
                      std::shared_ptr<std::vector<OfferedPage>> log)
      : core_(std::move(core)), log_(std::move(log)) {}

  Result<std::shared_ptr<PropertyPages>> queryPropertyPages() override {
    if (auto f = core_->fault("mail.QueryInterface.PropertyPages")) return failure(*f);
    return shared_from_this();
  }
  Result<std::int32_t> count() override {
    if (auto f = core_->fault("mail.PropertyPages.Count")) return failure(*f);
    return static_cast<std::int32_t>(log_->size());
  }
  Hresult add(const Variant& page, std::u16string_view title) override {
    if (auto f = core_->fault("mail.PropertyPages.Add")) return *f;
    if (!page.text() && !page.asDispatch()) return hr::kInvalidArg;
    log_->push_back({page, std::u16string(title)});
    return hr::kOk;
  }

 private:
  std::shared_ptr<ClientCore> core_;
  std::shared_ptr<std::vector<OfferedPage>> log_;
};

class ComAddInObject : public ComAddIn, public std::enable_shared_from_this<ComAddInObject> {
 public:
  explicit ComAddInObject(std::shared_ptr<ClientCore> core) : core_(std::move(core)) {}

  Result<std::shared_ptr<ComAddIn>> queryComAddIn() override {
    if (auto f = core_->fault("mail.QueryInterface.ComAddIn")) return failure(*f);
    return shared_from_this();
  }
  Result<bool> connect() override {
    if (auto f = core_->fault("mail.ComAddIn.Connect")) return failure(*f);
    return core_->addInConnected;
  }
  Hresult setConnect(bool value) override {
    if (auto f = core_->fault("mail.ComAddIn.SetConnect")) return *f;
    bool wasConnected = core_->addInConnected;
    core_->addInConnected = value;
    if (wasConnected && !value && core_->onAddInDisconnect) {
      // The host disconnects the add-in before the call returns.
      auto disconnect = core_->onAddInDisconnect;
      disconnect();
    }
    return hr::kOk;
  }

 private:
  std::shared_ptr<ClientCore> core_;
};

}  // namespace

std::shared_ptr<Application> makeApplicationObject(std::shared_ptr<ClientCore> core) {
  return std::make_shared<ApplicationObject>(std::move(core));
}
std::shared_ptr<Namespace> makeNamespaceObject(std::shared_ptr<ClientCore> core) {
  return std::make_shared<NamespaceObject>(std::move(core));
}
std::shared_ptr<Explorer> makeExplorerObject(std::shared_ptr<ClientCore> core) {
  return std::make_shared<ExplorerObject>(std::move(core));
}
std::shared_ptr<PropertyPages> makePropertyPagesObject(
    std::shared_ptr<ClientCore> core, std::shared_ptr<std::vector<OfferedPage>> log) {
  return std::make_shared<PropertyPagesObject>(std::move(core), std::move(log));
}
std::shared_ptr<ComAddIn> makeComAddInObject(std::shared_ptr<ClientCore> core) {
  return std::make_shared<ComAddInObject>(std::move(core));
}

}  // namespace qx::sim::mail
