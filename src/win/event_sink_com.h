#pragma once
// The add-in's event sinks as the host sees them: IDispatch objects that
// answer the event interface's id and hand each Invoke, with its dispatch id
// and its arguments in the host's order, to the port's sink.
#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "platform/dispatch.h"
#include "win/com_ptr.h"

namespace qx::win32 {

ComPtr<IDispatch> makeEventSinkCom(std::shared_ptr<EventSink> sink, const Guid& eventIid);

// Sinks of this module that are still alive: the host may hold one after the
// add-in let go of it, and the module's code must stay loaded until it lets
// go too (DllCanUnloadNow).
long liveEventSinks();

}  // namespace qx::win32
