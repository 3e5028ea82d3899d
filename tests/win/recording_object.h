#pragma once
// Automation objects for the Windows tests, standing in for the host's: each
// answers the interface ids it is given, runs members by name from a table,
// notes every call ("GetNamespace(MAPI)", "put Connect(false)") and raises
// events through connection points of the event interfaces it is given.
// A put by reference is noted as "putref Owner(object)".
#include <windows.h>

#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "win/com_ptr.h"

namespace qx::wintest {

class RecordingObject;

// A member: the arguments in their natural order; the result to fill.
using Member = std::function<HRESULT(const std::vector<VARIANT>& arguments, VARIANT* result)>;

// Makes a new object with one reference held by the returned pointer.
win32::ComPtr<RecordingObject> makeRecordingObject(std::string name,
                                                   std::vector<IID> interfaces = {},
                                                   std::vector<IID> eventInterfaces = {});

class RecordingObject : public IDispatch, public IConnectionPointContainer {
 public:
  // One IUnknown for both bases.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override = 0;
  ULONG STDMETHODCALLTYPE AddRef() override = 0;
  ULONG STDMETHODCALLTYPE Release() override = 0;
  // Members are found by name without regard to case.
  virtual void define(std::wstring name, Member member) = 0;
  // A property that returns a copy of `value`.
  virtual void defineValue(std::wstring name, const VARIANT& value) = 0;
  // A property that takes objects by reference only: a plain put of it
  // answers DISP_E_MEMBERNOTFOUND, as such servers do.
  virtual void defineByReference(std::wstring name, Member member) = 0;
  // Calls noted so far, oldest first, each as "Name(arg, arg)"; objects show
  // as their names.
  virtual const std::vector<std::string>& calls() const = 0;
  // The sinks advised on an event interface.
  virtual std::vector<IDispatch*> sinks(REFIID eventIid) const = 0;
  // Invokes every sink of the interface (arguments in natural order).
  virtual HRESULT raise(REFIID eventIid, DISPID event, std::vector<VARIANT> arguments) = 0;
  virtual const std::string& name() const = 0;
};

// Variant helpers (the caller clears what it makes).
VARIANT textVariant(const wchar_t* text);
VARIANT longVariant(long value);
VARIANT objectVariant(IDispatch* object);  // adds a reference

}  // namespace qx::wintest
