#include "outgoing/outbox_search.h"

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/safe_library.h"
#include "protocol/sync_envelope.h"

namespace qx {
namespace {

constexpr std::string_view kCheckCandidate = "check if this mail was a secound time modified";
constexpr std::string_view kHeaderUnreadable =
    "findMailInOutBox:GetIDsFromNames or get_Fields failed (evtl. wird Mail gerade von OL "
    "verschickt)";
constexpr std::string_view kFound = "mail was stopped and can be modified in outbox";

}  // namespace

OutboxSearch findMailInOutBox(SyncEngine& engine, std::u16string_view syncId) {
  Diagnostics& log = engine.diagnostics();
  SafeLibrary& library = engine.module().platform().safeLibrary;
  if (!engine.hostNamespace()) return {};
  const Result<std::shared_ptr<Folder>> outbox =
      engine.hostNamespace()->getDefaultFolder(default_folder::kOutbox);
  if (!outbox) return {};
  const Result<std::shared_ptr<SafeMailItem>> safeMail = createSafeMailItem(library);
  if (!safeMail) {
    log.reportLibraryMissing();
    return {nullptr, true};
  }
  const Result<std::shared_ptr<Items>> items = (*outbox)->items();
  if (!items) return {};
  const Result<std::shared_ptr<MapiUtilities>> utilities = createMapiUtilities(library);
  if (!utilities) {
    log.reportLibraryMissing();
    return {nullptr, true};
  }

  // An unsorted collection still finds every candidate, only in another order.
  (void)(*items)->sort(syncmail::kSubjectSort, false);
  Result<std::shared_ptr<Dispatch>> candidate = (*items)->find(syncmail::kSubjectFilter);
  while (candidate && *candidate) {
    if (log.debugOn()) log.logDebug(kCheckCandidate);
    // A candidate the safe item did not take was not opened, so it was not
    // stopped either and must not be sent on its behalf.
    const bool opened = succeeded((*safeMail)->putItem(*candidate));
    if (opened) {
      const Result<std::u16string> id = readSyncHeaderId(**utilities, *safeMail);
      if (!id) {
        if (log.debugOn()) log.logDebug(kHeaderUnreadable);
      } else if (*id == syncId) {
        const Result<std::shared_ptr<MailItem>> mail = (*candidate)->queryMail();
        if (!mail) {
          // Not to be rewritten after all: it must not stay stopped either.
          (void)(*safeMail)->send();
          return {};
        }
        if (log.debugOn()) log.logDebug(kFound);
        return {std::move(*mail), false};
      }
      // Opening it stopped it in the Outbox: hand it back to the transport.
      (void)(*safeMail)->send();
    }
    candidate = (*items)->findNext();
  }
  return {};
}

}  // namespace qx
