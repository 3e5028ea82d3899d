#pragma once
// COM's side of a user's machine for the controls the host embeds: the
// in-process class objects of the modules installed there, and creation by
// ProgID through the classes root, as CLSIDFromProgID and CoCreateInstance do
// it. A class is created only while its module is registered: the ProgID must
// name a CLSID, and that CLSID must name an in-process server. The module's
// class objects are added by whoever loads the module (a test, the scenario
// runner), since the stand-in never includes the module's code.
//
// Faults: "com.CLSIDFromProgID" and "com.CreateInstance".
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/page_control.h"
#include "platform/status.h"

namespace qx::sim {

class Faults;
class RegistrySim;

class InprocServers {
 public:
  using ClassObject = std::function<std::shared_ptr<PageControl>()>;

  InprocServers(RegistrySim& registry, Faults& faults) : registry_(registry), faults_(faults) {}

  // The class object of `classId` (braced, any letter case) in the module at
  // `modulePath` (the path the registration must name).
  void add(std::string_view classId, std::string modulePath, ClassObject create);
  void clear() { classes_.clear(); }

  // CLSIDFromProgID: the ProgID's CLSID key, else kInvalidClassString.
  Result<std::string> classIdFromProgId(std::u16string_view progId);
  // CoCreateInstance(CLSCTX_INPROC_SERVER): kClassNotRegistered unless the
  // CLSID's InprocServer32 names a module whose class object is known.
  Result<std::shared_ptr<PageControl>> createInstance(std::string_view classId);
  // Both in one.
  Result<std::shared_ptr<PageControl>> createByProgId(std::u16string_view progId);

 private:
  struct Entry {
    std::string modulePath;
    ClassObject create;
  };
  static std::string upper(std::string_view text);

  RegistrySim& registry_;
  Faults& faults_;
  std::map<std::string, Entry> classes_;  // by upper-case class id
};

}  // namespace qx::sim
