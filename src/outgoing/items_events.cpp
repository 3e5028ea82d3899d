#include "outgoing/items_events.h"

#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "platform/mail_ids.h"

namespace qx {

Hresult CItemsEvents::invoke(std::int32_t dispId, std::span<const Variant> args) {
  if (!attached_) return hr::kOk;
  if (dispId != dispid::kItemAdd && dispId != dispid::kItemChange) return hr::kOk;
  if (args.size() != 1 || !args[0].asDispatch()) return hr::kOk;
  // Sending may end in the library-missing report, which disconnects the
  // add-in from inside this call: the engine must outlive it.
  EngineCall call(engine_.module());
  if (!call.stillConnected()) return hr::kOk;
  // Turning the event into a change or removal mail is the sending side's
  // work; until it is in place the event ends here.
  (void)engine_;
  (void)isDeletedItemsSink_;
  (void)lastChangeTime_;
  return hr::kOk;
}

}  // namespace qx
