#pragma once
// The host's record of a loaded COM add-in.
#include "platform/dispatch.h"

namespace qx {

class ComAddIn : public Dispatch {
 public:
  virtual Result<bool> connect() = 0;
  // false: the host disconnects the add-in (OnDisconnection) before the call
  // returns.
  virtual Hresult setConnect(bool value) = 0;
};

}  // namespace qx
