#include "core/host_event_sinks.h"

#include "core/addin_module.h"
#include "platform/mail_ids.h"

namespace qx {

Hresult ApplicationEventsSink::invoke(std::int32_t dispId, std::span<const Variant> args) {
  (void)args;
  if (module_ == nullptr || dispId != dispid::kNewMail) return hr::kOk;
  try {
    module_->onNewMail();
  } catch (...) {
    // The host's event dispatch must never see an exception.
  }
  return hr::kOk;
}

Hresult NamespaceEventsSink::invoke(std::int32_t dispId, std::span<const Variant> args) {
  if (module_ == nullptr || dispId != dispid::kOptionsPagesAdd || args.size() != 2) return hr::kOk;
  try {
    module_->onOptionsPagesAdd(args[0].asDispatch(), args[1].asDispatch());
  } catch (...) {
    // The host's event dispatch must never see an exception.
  }
  return hr::kOk;
}

}  // namespace qx
