#pragma once
// The mail client's application object and its explorer window.
// Events: application events (iid::kApplicationEvents) through
// findConnectionPoint: NewMail () and OptionsPagesAdd (pages).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class CommandBars;

class Explorer : public Dispatch {
 public:
  virtual Result<std::shared_ptr<CommandBars>> commandBars() = 0;
};

class Application : public Dispatch {
 public:
  // GetNamespace: only "MAPI" is known.
  virtual Result<std::shared_ptr<Namespace>> getNamespace(std::u16string_view type) = 0;
  virtual Result<std::u16string> version() = 0;
  // CreateItem (item_kind::kMail or kTask): a new unsaved item, which is asked
  // for its mail or task interface. A new task is saved into the default task
  // folder, a new mail into the Drafts of the default store.
  virtual Result<std::shared_ptr<Dispatch>> createItem(std::int32_t kind) = 0;
  // The active explorer window; succeeds with nullptr when there is none.
  virtual Result<std::shared_ptr<Explorer>> activeExplorer() = 0;
};

}  // namespace qx
