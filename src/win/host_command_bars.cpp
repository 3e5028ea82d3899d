// The explorer's command bars and the indicator's button, over IDispatch by
// member name.
#include <windows.h>

#include "win/host_objects.h"

namespace qx::win32 {
namespace {

Hresult statusOf(const Result<ComVariant>& result) { return result ? S_OK : result.error(); }

class CommandBarControlsWin final : public CommandBarControls {
 public:
  explicit CommandBarControlsWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  // Type and Temporary by position; the arguments between are left out.
  Result<std::shared_ptr<Dispatch>> add(std::int32_t type, bool temporary) override {
    auto object =
        automation_.callObject(u"Add", {Variant(type), Variant::missing(), Variant::missing(),
                                        Variant::missing(), Variant(temporary)});
    if (!object) return failure(object.error());
    return makeHostObject(std::move(*object));
  }

 private:
  Automation automation_;
};

class CommandBarWin final : public CommandBar {
 public:
  explicit CommandBarWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::u16string> name() override { return automation_.getText(u"Name"); }
  Result<bool> visible() override { return automation_.getBool(u"Visible"); }
  Hresult setVisible(bool value) override { return automation_.put(u"Visible", Variant(value)); }
  Result<std::shared_ptr<CommandBarControls>> controls() override {
    auto object = automation_.getObject(u"Controls");
    if (!object) return failure(object.error());
    return std::make_shared<CommandBarControlsWin>(std::move(*object));
  }
  Hresult deleteBar() override { return statusOf(automation_.call(u"Delete")); }

 private:
  Automation automation_;
};

Result<std::shared_ptr<CommandBar>> commandBar(Result<ComPtr<IDispatch>> object) {
  if (!object) return failure(object.error());
  return std::make_shared<CommandBarWin>(std::move(*object));
}

class CommandBarsWin final : public CommandBars {
 public:
  explicit CommandBarsWin(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  Result<std::int32_t> count() override { return automation_.getLong(u"Count"); }
  Result<std::shared_ptr<CommandBar>> item(std::int32_t index) override {
    return commandBar(automation_.callObject(u"Item", {Variant(index)}));
  }
  // Name, Position, MenuBar (left out), Temporary.
  Result<std::shared_ptr<CommandBar>> add(std::u16string_view name, std::int32_t position,
                                          bool temporary) override {
    return commandBar(automation_.callObject(
        u"Add", {Variant(name), Variant(position), Variant::missing(), Variant(temporary)}));
  }

 private:
  Automation automation_;
};

class ExplorerWin final : public ComObject<Explorer> {
 public:
  using ComObject::ComObject;
  Result<std::shared_ptr<CommandBars>> commandBars() override {
    auto object = automation_.getObject(u"CommandBars");
    if (!object) return failure(object.error());
    return std::make_shared<CommandBarsWin>(std::move(*object));
  }
};

class CommandBarButtonWin final : public ComObject<CommandBarButton> {
 public:
  using ComObject::ComObject;
  Result<std::int32_t> style() override { return automation_.getLong(u"Style"); }
  Hresult setStyle(std::int32_t value) override {
    return automation_.put(u"Style", Variant(value));
  }
  Result<std::int32_t> faceId() override { return automation_.getLong(u"FaceId"); }
  Hresult setFaceId(std::int32_t value) override {
    return automation_.put(u"FaceId", Variant(value));
  }
  Result<bool> visible() override { return automation_.getBool(u"Visible"); }
  Hresult setVisible(bool value) override { return automation_.put(u"Visible", Variant(value)); }
  Result<std::u16string> caption() override { return automation_.getText(u"Caption"); }
  Hresult setCaption(std::u16string_view text) override {
    return automation_.put(u"Caption", Variant(text));
  }
  Result<bool> enabled() override { return automation_.getBool(u"Enabled"); }
  Hresult setEnabled(bool value) override { return automation_.put(u"Enabled", Variant(value)); }
  Result<std::u16string> tooltipText() override { return automation_.getText(u"TooltipText"); }
  Hresult setTooltipText(std::u16string_view text) override {
    return automation_.put(u"TooltipText", Variant(text));
  }
  Result<std::u16string> tag() override { return automation_.getText(u"Tag"); }
  Hresult setTag(std::u16string_view text) override {
    return automation_.put(u"Tag", Variant(text));
  }
  Hresult deleteControl() override { return statusOf(automation_.call(u"Delete")); }
};

}  // namespace

std::shared_ptr<Explorer> makeExplorer(ComPtr<IDispatch> object) {
  return std::make_shared<ExplorerWin>(std::move(object));
}
std::shared_ptr<CommandBarButton> makeCommandBarButton(ComPtr<IDispatch> object) {
  return std::make_shared<CommandBarButtonWin>(std::move(object));
}

}  // namespace qx::win32
