#pragma once
// The add-in's subscriptions to the host's application and namespace events.
// The sinks only hand the events to the module, which decides whether an
// engine exists to act on them.
#include <cstdint>
#include <span>

#include "platform/dispatch.h"

namespace qx {

class AddinModule;

// A sink that forwards to the module until its subscription ends. The host
// may keep the sink after that; it then does nothing.
class ModuleEventSink : public EventSink {
 public:
  void detach() { module_ = nullptr; }

 protected:
  explicit ModuleEventSink(AddinModule& module) : module_(&module) {}
  AddinModule* module_;
};

// Application events: NewMail scans the Inbox; OptionsPagesAdd does nothing.
class ApplicationEventsSink : public ModuleEventSink {
 public:
  explicit ApplicationEventsSink(AddinModule& module) : ModuleEventSink(module) {}
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;
};

// Namespace events: OptionsPagesAdd (pages, folder) offers the folder page.
class NamespaceEventsSink : public ModuleEventSink {
 public:
  explicit NamespaceEventsSink(AddinModule& module) : ModuleEventSink(module) {}
  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override;
};

}  // namespace qx
