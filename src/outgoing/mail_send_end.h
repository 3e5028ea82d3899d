#pragma once
// How the sending of a change or removal mail ended, and the status of a host
// call that hands back an object, for the stops on the way.
#include <memory>

#include "platform/status.h"

namespace qx {

struct MailSendEnd {
  Hresult status = hr::kOk;
  // After a missing library has been reported the host may be tearing the
  // add-in down, so nothing of the engine may be touched any more.
  bool libraryMissing = false;
};

// A call that succeeds without an object has failed all the same: there is
// nothing to go on with.
template <class T>
Hresult statusOf(const Result<std::shared_ptr<T>>& result) {
  if (!result) return result.error();
  return *result ? hr::kOk : hr::kPointer;
}

}  // namespace qx
