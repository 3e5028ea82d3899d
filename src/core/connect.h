#pragma once
// The connection class: the host's add-in extensibility interface. The host
// creates it through the module's class factory, connects it at start-up (or
// when the user enables the add-in) and disconnects it at shutdown, when the
// user disables the add-in, or when the add-in asks to be unloaded.
#include <cstdint>
#include <memory>
#include <string>

#include "core/hidden_window.h"
#include "platform/guid.h"
#include "platform/status.h"

namespace qx {

class AddinModule;
class Application;
class ComAddIn;
class ConnectionPoint;
class Dispatch;
class ModuleEventSink;
class Namespace;
class SyncEngine;

// The cookie of a subscription that is not in place.
inline constexpr std::uint32_t kNoSubscription = 0xFEFEFEFEu;

class CConnect {
 public:
  explicit CConnect(AddinModule& module);
  // A connection object released without disconnection still ends its
  // subscriptions and its window.
  ~CConnect();
  CConnect(const CConnect&) = delete;
  CConnect& operator=(const CConnect&) = delete;

  // The connect mode and the custom array are not looked at.
  Hresult onConnection(const std::shared_ptr<Dispatch>& application, std::int32_t connectMode,
                       const std::shared_ptr<Dispatch>& addInInstance);
  Hresult onDisconnection(std::int32_t removeMode);
  Hresult onAddInsUpdate();
  Hresult onStartupComplete();
  Hresult onBeginShutdown();

  const CHiddenWindow& hiddenWindow() const { return hiddenWindow_; }
  std::uint32_t applicationEventsCookie() const { return applicationCookie_; }
  std::uint32_t namespaceEventsCookie() const { return namespaceCookie_; }

 private:
  struct Subscription {
    std::shared_ptr<ConnectionPoint> point;
    std::shared_ptr<ModuleEventSink> sink;
  };
  Hresult subscribe(Dispatch& source, const Guid& eventIid, std::shared_ptr<ModuleEventSink> sink,
                    Subscription& subscription, std::uint32_t& cookie);
  void unsubscribe(Subscription& subscription, std::uint32_t& cookie);
  Hresult connectToHost(const std::shared_ptr<Dispatch>& application,
                        const std::shared_ptr<Dispatch>& addInInstance);
  void disconnectFromHost();
  std::string fixDataDirectory();
  bool checkHostVersion();
  // Lets go of the host's add-in object if this connection is what holds it.
  void releaseAddInObject();

  AddinModule& module_;
  CHiddenWindow hiddenWindow_;
  std::shared_ptr<Application> application_;
  std::shared_ptr<Namespace> namespace_;
  std::string moduleFolder_;
  Subscription applicationEvents_;
  Subscription namespaceEvents_;
  std::uint32_t applicationCookie_ = kNoSubscription;
  std::uint32_t namespaceCookie_ = kNoSubscription;
  // The add-in object this connection handed to the module, compared only.
  const ComAddIn* addInObjectSet_ = nullptr;
};

}  // namespace qx
