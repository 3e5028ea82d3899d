#include "core/addin_module.h"

#include "core/connect.h"
#include "core/sync_engine.h"
#include "platform/mail_addin.h"
#include "platform/mail_folder.h"

namespace qx {

AddinModule::AddinModule(const Platform& platform) : platform_(platform) {}

AddinModule::~AddinModule() = default;

std::unique_ptr<CConnect> AddinModule::createConnect() { return std::make_unique<CConnect>(*this); }

void AddinModule::setPageFolder(std::shared_ptr<Folder> folder) {
  // The new folder is referenced before the old one is released.
  std::shared_ptr<Folder> previous = std::exchange(pageFolder_, std::move(folder));
}

void AddinModule::installEngine(std::unique_ptr<SyncEngine> engine) {
  destroyEngine();
  engine_ = std::move(engine);
}

void AddinModule::destroyEngine() {
  if (!engine_) return;
  if (engineCallDepth_ > 0) {
    retired_.push_back(std::move(engine_));
    return;
  }
  engine_.reset();
}

void AddinModule::leaveEngineCall() {
  if (--engineCallDepth_ > 0) return;
  // Destroying an engine unadvises sinks and releases host objects, which may
  // in turn reach us again: take the list out first.
  std::vector<std::unique_ptr<SyncEngine>> retired = std::move(retired_);
  retired_.clear();
  retired.clear();
}

void AddinModule::requestDisconnect() {
  // Keep whatever engine exists alive until the host's disconnection has run
  // and returned, even when nothing up the stack took an engine call.
  EngineCall call(*this);
  std::shared_ptr<ComAddIn> addIn = addInObject_;
  if (addIn) addIn->setConnect(false);
}

}  // namespace qx
