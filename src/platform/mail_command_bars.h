#pragma once
// Command bars of an explorer window and their buttons.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class CommandBar;
class CommandBarControls;

class CommandBars {
 public:
  virtual ~CommandBars() = default;
  virtual Result<std::int32_t> count() = 0;
  // 1-based.
  virtual Result<std::shared_ptr<CommandBar>> item(std::int32_t index) = 0;
  // position 1: top. A temporary bar disappears when the host closes. The
  // new bar comes last in the index order and is hidden until made visible;
  // a name that other bars bear already is no obstacle.
  virtual Result<std::shared_ptr<CommandBar>> add(std::u16string_view name, std::int32_t position,
                                                  bool temporary) = 0;
};

class CommandBar {
 public:
  virtual ~CommandBar() = default;
  virtual Result<std::u16string> name() = 0;
  virtual Result<bool> visible() = 0;
  virtual Hresult setVisible(bool value) = 0;
  virtual Result<std::shared_ptr<CommandBarControls>> controls() = 0;
  virtual Hresult deleteBar() = 0;
};

class CommandBarControls {
 public:
  virtual ~CommandBarControls() = default;
  virtual Result<std::int32_t> count() = 0;
  // type 1: button. The control is asked for queryCommandBarButton().
  virtual Result<std::shared_ptr<Dispatch>> add(std::int32_t type, bool temporary) = 0;
};

namespace control_type {
inline constexpr std::int32_t kButton = 1;
}  // namespace control_type
namespace button_style {
inline constexpr std::int32_t kIconAndCaption = 3;
}  // namespace button_style

class CommandBarButton : public Dispatch {
 public:
  virtual Result<std::int32_t> style() = 0;
  virtual Hresult setStyle(std::int32_t value) = 0;
  virtual Result<std::int32_t> faceId() = 0;
  virtual Hresult setFaceId(std::int32_t value) = 0;
  virtual Result<bool> visible() = 0;
  virtual Hresult setVisible(bool value) = 0;
  virtual Result<std::u16string> caption() = 0;
  virtual Hresult setCaption(std::u16string_view text) = 0;
  virtual Result<bool> enabled() = 0;
  virtual Hresult setEnabled(bool value) = 0;
  virtual Result<std::u16string> tooltipText() = 0;
  virtual Hresult setTooltipText(std::u16string_view text) = 0;
  virtual Result<std::u16string> tag() = 0;
  virtual Hresult setTag(std::u16string_view text) = 0;
  virtual Hresult deleteControl() = 0;
};

}  // namespace qx
