#pragma once
// Loads COM add-ins as the mail client does: from its add-in entries
// (LoadBehavior 3 connects at start-up), created by ProgID as in-process
// servers and connected through the extensibility interface.
#include <windows.h>

#include <string>

#include "win/com_ids.h"
#include "win/com_ptr.h"

namespace qx::e2e {

class AddInLoader {
 public:
  explicit AddInLoader(std::wstring progId) : progId_(std::move(progId)) {}
  ~AddInLoader();
  AddInLoader(const AddInLoader&) = delete;
  AddInLoader& operator=(const AddInLoader&) = delete;

  // The add-in entry's LoadBehavior, under the machine's key or else the
  // user's; none when there is no entry.
  DWORD loadBehavior() const;
  // Creates and connects the add-in: OnConnection, then OnStartupComplete.
  // A text saying what failed, empty on success.
  std::string connect(IDispatch* application, IDispatch* addInRecord);
  // OnDisconnection with `mode`; the object is released at once unless
  // `later` (the add-in asked for it from one of its own calls).
  void disconnect(long mode, bool later = false);
  // Drops an object kept by a deferred disconnection.
  void releaseDeferred() { deferred_.reset(); }
  bool connected() const { return static_cast<bool>(addIn_); }

 private:
  std::wstring progId_;
  win32::ComPtr<_IDTExtensibility2> addIn_;
  win32::ComPtr<_IDTExtensibility2> deferred_;
};

}  // namespace qx::e2e
