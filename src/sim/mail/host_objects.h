#pragma once
// Factories of the simulated host's objects (defined in host_*.cpp).
#include <memory>
#include <string>

#include "platform/mail_client.h"
#include "sim/mail/client_core.h"

namespace qx::sim::mail {

class ClientCore;
class ItemHandle;

// Implemented by the simulated folder object, so that Move can find the
// destination behind a generic folder.
class FolderLocation {
 public:
  virtual ~FolderLocation() = default;
  virtual const std::u16string& locationStoreId() const = 0;
  virtual const std::u16string& locationFolderId() const = 0;
};

std::shared_ptr<Dispatch> makeItemObject(std::shared_ptr<ItemHandle> handle);
std::shared_ptr<Folder> makeFolderObject(std::shared_ptr<ClientCore> core, std::u16string storeId,
                                         std::u16string folderId);
std::shared_ptr<Application> makeApplicationObject(std::shared_ptr<ClientCore> core);
std::shared_ptr<Namespace> makeNamespaceObject(std::shared_ptr<ClientCore> core);
std::shared_ptr<Explorer> makeExplorerObject(std::shared_ptr<ClientCore> core);
std::shared_ptr<PropertyPages> makePropertyPagesObject(
    std::shared_ptr<ClientCore> core, std::shared_ptr<std::vector<OfferedPage>> log);
std::shared_ptr<ComAddIn> makeComAddInObject(std::shared_ptr<ClientCore> core);
// `container`: the object the point belongs to, kept alive while the point is
// held (as a COM connection point holds its container); when it is an item
// collection, its subscriptions end with it.
std::shared_ptr<ConnectionPoint> makeConnectionPoint(std::shared_ptr<ClientCore> core,
                                                     EventTarget target,
                                                     std::shared_ptr<Dispatch> container = {},
                                                     const void* source = nullptr);

}  // namespace qx::sim::mail
