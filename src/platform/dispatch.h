#pragma once
// The host's automation objects. Every object of the host's object model and
// of the safe-item library is a counted reference to a Dispatch; a generic
// object (an item from a collection, an event argument, a library object made
// by ProgID) is asked for the interface it is meant to be, as QueryInterface
// does. A query that the object does not answer fails with hr::kNoInterface.
//
// A call that succeeds hands back an object; where the host has nothing to
// give, the call fails with a status of its own (Items::item out of range:
// hr::kBadIndex; an unknown entry id: hr::kMapiNotFound; ...). Five calls
// alone succeed with nullptr instead, as the host's own calls do, and say so
// where they are declared: Application::activeExplorer (no explorer window),
// Items::find and Items::findNext (no further match), TaskItem::move and
// MailItem::move (the item lies in that folder already) and
// MapiUtilities::addressBook (the user cancelled).
//
// Events use the host's connection points: the event source is asked for the
// connection point of an event interface (by IID) and a sink is advised there;
// the host then calls the sink's invoke() with the event's dispatch id and its
// arguments, exactly as the host passes them.
#include <cstdint>
#include <memory>
#include <span>

#include "platform/guid.h"
#include "platform/mail_status.h"
#include "platform/status.h"
#include "platform/variant.h"

namespace qx {

class Application;
class Namespace;
class Explorer;
class Folder;
class Items;
class TaskItem;
class MailItem;
class PropertyPages;
class PropertyPage;
class PropertyPageSite;
class CommandBarButton;
class ComAddIn;
class SafeMailItem;
class SafeTaskItem;
class MapiUtilities;
class SafeSession;
class SafeMessage;
class ConnectionPoint;

// A dispatch-event sink (the add-in's side of a subscription).
class EventSink {
 public:
  virtual ~EventSink() = default;
  // IDispatch::Invoke of an event: `args` in the host's order (first argument
  // first). The host ignores the result.
  virtual Hresult invoke(std::int32_t dispId, std::span<const Variant> args) = 0;
};

class Dispatch {
 public:
  virtual ~Dispatch() = default;

  // QueryInterface for the interfaces the add-in asks objects for.
  virtual Result<std::shared_ptr<Application>> queryApplication() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<Folder>> queryFolder() { return failure(hr::kNoInterface); }
  virtual Result<std::shared_ptr<TaskItem>> queryTask() { return failure(hr::kNoInterface); }
  virtual Result<std::shared_ptr<MailItem>> queryMail() { return failure(hr::kNoInterface); }
  virtual Result<std::shared_ptr<PropertyPages>> queryPropertyPages() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<PropertyPage>> queryPropertyPage() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<PropertyPageSite>> queryPropertyPageSite() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<CommandBarButton>> queryCommandBarButton() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<ComAddIn>> queryComAddIn() { return failure(hr::kNoInterface); }
  // The safe-item library's objects, as created by ProgID.
  virtual Result<std::shared_ptr<SafeMailItem>> querySafeMailItem() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<SafeTaskItem>> querySafeTaskItem() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<MapiUtilities>> queryMapiUtilities() {
    return failure(hr::kNoInterface);
  }
  virtual Result<std::shared_ptr<SafeSession>> querySafeSession() {
    return failure(hr::kNoInterface);
  }
  // Raw property access by tag, offered by the library's items read from a
  // message file.
  virtual Result<std::shared_ptr<SafeMessage>> querySafeMessage() {
    return failure(hr::kNoInterface);
  }

  // IConnectionPointContainer::FindConnectionPoint: hr::kNoConnection when the
  // object raises no events of that interface.
  virtual Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& eventIid) {
    (void)eventIid;
    return failure(hr::kNoConnection);
  }
};

// IConnectionPoint. The host keeps the sink alive while it is advised.
class ConnectionPoint {
 public:
  virtual ~ConnectionPoint() = default;
  // Returns the cookie that unadvise() takes; never 0.
  virtual Result<std::uint32_t> advise(std::shared_ptr<EventSink> sink) = 0;
  // hr::kNoConnection for a cookie that is not advised here.
  virtual Hresult unadvise(std::uint32_t cookie) = 0;
};

}  // namespace qx
