#include "core/host_event_sinks.h"

#include "core/addin_module.h"
#include "platform/mail_ids.h"

namespace qx {

Hresult ApplicationEventsSink::invoke(std::int32_t dispId, std::span<const Variant> args) {
  (void)args;
  if (module_ != nullptr && dispId == dispid::kNewMail) module_->onNewMail();
  return hr::kOk;
}

Hresult NamespaceEventsSink::invoke(std::int32_t dispId, std::span<const Variant> args) {
  if (module_ == nullptr || dispId != dispid::kOptionsPagesAdd || args.size() != 2) return hr::kOk;
  module_->onOptionsPagesAdd(args[0].asDispatch(), args[1].asDispatch());
  return hr::kOk;
}

}  // namespace qx
