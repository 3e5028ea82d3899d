#pragma once
// The add-in's subscriptions to the host's application and namespace events.
// The sinks only hand the events to the module, which decides whether an
// engine exists to act on them.
#include <cstdint>
#include <span>

#include "platform/dispatch.h"

namespace qx {

class AddinModule;

// Application events: NewMail scans the Inbox; OptionsPagesAdd does nothing.
class ApplicationEventsSink : public EventSink {
 public:
  explicit ApplicationEventsSink(AddinModule& module) : module_(&module) {}
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;
  // The host may keep the sink after the subscription ended; it then does
  // nothing.
  void detach() { module_ = nullptr; }

 private:
  AddinModule* module_;
};

// Namespace events: OptionsPagesAdd (pages, folder) offers the folder page.
class NamespaceEventsSink : public EventSink {
 public:
  explicit NamespaceEventsSink(AddinModule& module) : module_(&module) {}
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;
  void detach() { module_ = nullptr; }

 private:
  AddinModule* module_;
};

}  // namespace qx
