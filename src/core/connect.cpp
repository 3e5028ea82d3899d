#include "core/connect.h"

#include <string>

#include "common/messages.h"
#include "core/addin_module.h"
#include "core/host_event_sinks.h"
#include "core/module_paths.h"
#include "core/sync_engine.h"
#include "core/version_check.h"
#include "platform/mail_client.h"

namespace qx {

namespace {
constexpr std::uint32_t kStartupTimerMs = 10000;

}  // namespace

CConnect::CConnect(AddinModule& module) : module_(module), hiddenWindow_(module) {}

CConnect::~CConnect() {
  hiddenWindow_.destroy();
  releaseAddInObject();
  unsubscribe(applicationEvents_, applicationCookie_);
  unsubscribe(namespaceEvents_, namespaceCookie_);
}

Hresult CConnect::onConnection(const std::shared_ptr<Dispatch>& application,
                               std::int32_t connectMode,
                               const std::shared_ptr<Dispatch>& addInInstance) {
  (void)connectMode;
  // Nothing is ever thrown back to the host.
  Hresult status = hr::kUnexpected;
  try {
    status = connectToHost(application, addInInstance);
  } catch (...) {
  }
  // A host does not disconnect an add-in whose connection failed: what it
  // gave us for the connection is let go here.
  if (failed(status)) releaseAddInObject();
  return status;
}

void CConnect::releaseAddInObject() {
  if (addInObjectSet_ && module_.addInObject().get() == addInObjectSet_)
    module_.setAddInObject(nullptr);
  addInObjectSet_ = nullptr;
}

Hresult CConnect::connectToHost(const std::shared_ptr<Dispatch>& application,
                                const std::shared_ptr<Dispatch>& addInInstance) {
  const Platform& platform = module_.platform();
  module_.setUiLanguage(platform.locale.threadLanguage());
  // A connection object connected again after a disconnection needs its timer
  // window back, or no background work would ever run.
  hiddenWindow_.create();

  if (application) {
    if (auto queried = application->queryApplication()) application_ = std::move(*queried);
  }
  if (addInInstance) {
    if (auto queried = addInInstance->queryComAddIn()) {
      addInObjectSet_ = queried->get();
      module_.setAddInObject(std::move(*queried));
    }
  }
  if (!application_) return hr::kNoInterface;

  moduleFolder_ = moduleFolderOf(platform.shell);

  auto hostNamespace = application_->getNamespace(u"MAPI");
  if (!hostNamespace) return hostNamespace.error();
  namespace_ = std::move(*hostNamespace);

  if (!checkHostVersion()) return hr::kOk;

  auto applicationSink = std::make_shared<ApplicationEventsSink>(module_);
  if (Hresult status = subscribe(*application_, iid::kApplicationEvents, applicationSink,
                                 applicationEvents_, applicationCookie_);
      failed(status))
    return status;
  auto namespaceSink = std::make_shared<NamespaceEventsSink>(module_);
  if (Hresult status = subscribe(*namespace_, iid::kNamespaceEvents, namespaceSink,
                                 namespaceEvents_, namespaceCookie_);
      failed(status))
    return status;

  // Every connection starts a new debug log, beside the module or, where the
  // module's folder refuses writes, in the data directory (which is known
  // before the engine, whose configuration writes the first entries).
  std::string dataDirectory = fixDataDirectory();
  const std::string debugLogPath = moduleFolder_ + std::string(file_name::kDebugLog);
  platform.files.deleteFile(debugLogPath);
  std::string logFallback;
  if (dataDirectory != moduleFolder_) {
    logFallback = dataDirectory;
    platform.files.deleteFile(logFallback + std::string(file_name::kDebugLog));
    platform.files.deleteFile(logFallback + std::string(file_name::kErrorLog));
  }

  // Everything from here may reach the engine's operations, which may ask the
  // host to disconnect us; the call keeps the engine alive until we return.
  module_.installEngine(
      std::make_unique<SyncEngine>(module_, namespace_, debugLogPath, std::move(logFallback)));
  EngineCall call(module_);
  SyncEngine& engine = *call.engine();
  engine.setTimerWindow(hiddenWindow_.handle());
  engine.setDataDirectory(std::move(dataDirectory));

  const std::string errorLogPath = moduleFolder_ + std::string(file_name::kErrorLog);
  engine.diagnostics().setErrorLogPath(errorLogPath);
  platform.files.deleteFile(errorLogPath);

  module_.trace("connected");
  engine.processFolders(false);
  return hr::kOk;
}

bool CConnect::checkHostVersion() {
  std::u16string version = application_->version().value_or(u"");
  if (hostVersionAccepted(version)) return true;
  const LangId language = module_.uiLanguage();
  std::u16string caption(loadMessage(language, msg::kProductName));
  caption += u" Outlook Version:";
  caption += version;
  module_.trace("host version refused");
  module_.platform().windows.messageBox(kNoWindow, loadMessage(language, msg::kHostUpdateNeeded),
                                        caption, win::kMbOk);
  return false;
}

std::string CConnect::fixDataDirectory() {
  Shell& shell = module_.platform().shell;
  std::string appData;
  if (failed(shell.folderPath(shell::kCsidlAppData, appData))) return moduleFolder_;
  std::string directory = appData + "\\Vantrosse\\";
  // A directory that cannot be made is left to the file operations that
  // later fail in it and report it themselves.
  if (!shell.setCurrentDirectory(directory)) shell.createDirectory(directory);
  return directory;
}

Hresult CConnect::subscribe(Dispatch& source, const Guid& eventIid,
                            std::shared_ptr<ModuleEventSink> sink, Subscription& subscription,
                            std::uint32_t& cookie) {
  auto point = source.findConnectionPoint(eventIid);
  if (!point) return point.error();
  auto advised = (*point)->advise(sink);
  if (!advised) return advised.error();
  subscription.point = std::move(*point);
  subscription.sink = std::move(sink);
  cookie = *advised;
  return hr::kOk;
}

void CConnect::unsubscribe(Subscription& subscription, std::uint32_t& cookie) {
  if (cookie != kNoSubscription && subscription.point) subscription.point->unadvise(cookie);
  if (subscription.sink) subscription.sink->detach();
  subscription = {};
  cookie = kNoSubscription;
}

Hresult CConnect::onDisconnection(std::int32_t removeMode) {
  (void)removeMode;
  try {
    disconnectFromHost();
  } catch (...) {
    // The host goes on unloading us whatever happened here.
  }
  return hr::kOk;
}

void CConnect::disconnectFromHost() {
  const Platform& platform = module_.platform();
  hiddenWindow_.destroy();

  // The saves the burst window still holds would go with the engine; no tick
  // comes any more to send them.
  if (SyncEngine* engine = module_.engine()) {
    EngineCall call(module_);
    (void)engine->sendPendingChanges(true);
  }
  if (SyncEngine* engine = module_.engine()) {
    platform.files.deleteFile(engine->shareFilePath());
    platform.files.deleteFile(engine->compressedFilePath());
    platform.files.deleteFile(engine->messageFilePath());
    module_.destroyEngine();
  }

  unsubscribe(applicationEvents_, applicationCookie_);
  unsubscribe(namespaceEvents_, namespaceCookie_);
  module_.setPageFolder(nullptr);
  // Released while the host's COM is still up: left to the module's unload,
  // the release would run under the loader lock after the host is gone.
  releaseAddInObject();
  application_.reset();
  module_.trace("disconnected");
}

Hresult CConnect::onAddInsUpdate() { return hr::kOk; }

Hresult CConnect::onStartupComplete() {
  if (!hiddenWindow_.setTimer(kStartupTimerMs)) {
    if (SyncEngine* engine = module_.engine()) {
      engine->diagnostics().reportError(kTimerNotSet);
    } else {
      module_.trace("timer not set");
    }
  }
  return hr::kOk;
}

Hresult CConnect::onBeginShutdown() { return hr::kOk; }

}  // namespace qx
