#pragma once
// An event sink that records what the host delivers to it, as the add-in's
// sinks would get it: the dispatch id and the arguments, in order.
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace qx::testsupport {

class RecordingSink final : public EventSink {
 public:
  struct Event {
    std::int32_t dispId = 0;
    std::vector<Variant> args;
    // The first argument as an object (the item of an item event), if it is one.
    std::shared_ptr<Dispatch> item() const {
      return args.empty() ? nullptr : args.front().asDispatch();
    }
  };

  Hresult invoke(std::int32_t dispId, std::span<const Variant> args) override {
    events.push_back({dispId, std::vector<Variant>(args.begin(), args.end())});
    return hr::kOk;
  }

  std::vector<Event> events;
};

}  // namespace qx::testsupport
