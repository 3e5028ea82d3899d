#pragma once
// The simulated safe-item library's objects, made by SafeLibrarySim.
#include <memory>

#include "platform/dispatch.h"
#include "sim/mail/client_core.h"

namespace qx::sim::mail {

std::shared_ptr<Dispatch> makeSafeMailItem(std::shared_ptr<ClientCore> core);
std::shared_ptr<Dispatch> makeSafeTaskItem(std::shared_ptr<ClientCore> core);
std::shared_ptr<Dispatch> makeMapiUtilities(std::shared_ptr<ClientCore> core);
std::shared_ptr<Dispatch> makeSafeSession(std::shared_ptr<ClientCore> core);

}  // namespace qx::sim::mail
