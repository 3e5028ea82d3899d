#pragma once
// The host's automation objects as the port's objects. Every adapter holds the
// object's IDispatch, answers the port's interface queries with
// QueryInterface by the host's interface ids, and finds connection points
// through IConnectionPointContainer. Members are called by name.
#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "platform/mail_client.h"
#include "platform/safe_library.h"
#include "win/automation.h"

namespace qx::win32 {

// What every adapter of this module holds: the object itself.
class ComBacked {
 public:
  virtual ~ComBacked() = default;
  virtual IDispatch* comObject() const = 0;
};

// The interface-query and event part that all adapters share.
template <class Port>
class ComObject : public Port, public ComBacked {
 public:
  explicit ComObject(ComPtr<IDispatch> object) : automation_(std::move(object)) {}
  IDispatch* comObject() const override { return automation_.object(); }

  Result<std::shared_ptr<Application>> queryApplication() override;
  Result<std::shared_ptr<Folder>> queryFolder() override;
  Result<std::shared_ptr<TaskItem>> queryTask() override;
  Result<std::shared_ptr<MailItem>> queryMail() override;
  Result<std::shared_ptr<PropertyPages>> queryPropertyPages() override;
  Result<std::shared_ptr<PropertyPageSite>> queryPropertyPageSite() override;
  Result<std::shared_ptr<ComAddIn>> queryComAddIn() override;
  Result<std::shared_ptr<CommandBarButton>> queryCommandBarButton() override;
  // The library's objects are made by ProgID, so the caller knows what it
  // asks for; an object without the class's characteristic member refuses.
  Result<std::shared_ptr<SafeMailItem>> querySafeMailItem() override;
  Result<std::shared_ptr<SafeTaskItem>> querySafeTaskItem() override;
  Result<std::shared_ptr<MapiUtilities>> queryMapiUtilities() override;
  Result<std::shared_ptr<SafeSession>> querySafeSession() override;
  Result<std::shared_ptr<SafeMessage>> querySafeMessage() override;
  Result<std::shared_ptr<ConnectionPoint>> findConnectionPoint(const Guid& eventIid) override;

 protected:
  Automation automation_;
};

// Any object, before it is asked what it is.
std::shared_ptr<Dispatch> makeHostObject(ComPtr<IDispatch> object);

// The adapters, by the interface they were asked for.
std::shared_ptr<Application> makeApplication(ComPtr<IDispatch> object);
std::shared_ptr<Namespace> makeNamespace(ComPtr<IDispatch> object);
std::shared_ptr<Folder> makeFolder(ComPtr<IDispatch> object);
std::shared_ptr<Items> makeItems(ComPtr<IDispatch> object);
std::shared_ptr<PropertyPages> makePropertyPages(ComPtr<IDispatch> object);
std::shared_ptr<PropertyPageSite> makePropertyPageSite(ComPtr<IDispatch> object);
// A control's client site, which answers the page site query; none for none.
std::shared_ptr<Dispatch> makeClientSite(ComPtr<IUnknown> site);
std::shared_ptr<ComAddIn> makeComAddIn(ComPtr<IDispatch> object);
std::shared_ptr<TaskItem> makeTaskItem(ComPtr<IDispatch> object);
std::shared_ptr<Explorer> makeExplorer(ComPtr<IDispatch> object);
std::shared_ptr<CommandBarButton> makeCommandBarButton(ComPtr<IDispatch> object);
std::shared_ptr<MailItem> makeMailItem(ComPtr<IDispatch> object);
std::shared_ptr<SafeMailItem> makeSafeMailItem(ComPtr<IDispatch> object);
std::shared_ptr<SafeTaskItem> makeSafeTaskItem(ComPtr<IDispatch> object);
std::shared_ptr<MapiUtilities> makeMapiUtilities(ComPtr<IDispatch> object);
std::shared_ptr<SafeSession> makeSafeSession(ComPtr<IDispatch> object);
std::shared_ptr<SafeMessage> makeSafeMessage(ComPtr<IDispatch> object);

}  // namespace qx::win32
