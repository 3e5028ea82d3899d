#pragma once
// What every part of the add-in reports through: the debug log (written only
// when the configuration switched it on, which callers test), error reports
// (always written) and the one visible report, a missing safe-item library.
// Texts are ANSI single-byte strings, written as given.
#include <string_view>

namespace qx {

class Diagnostics {
 public:
  virtual ~Diagnostics() = default;

  // The configuration's debug switch; callers test it before ordinary trace
  // entries.
  virtual bool debugOn() const = 0;

  // One time-stamped entry in the debug log, whatever the switch says.
  virtual void logDebug(std::string_view text) = 0;

  // "--ERROR--" and the text in the debug log, the text in the error log.
  virtual void reportError(std::string_view text) = 0;

  // Reports the missing library, tells the user and asks the host to
  // disconnect the add-in. The host may have torn the engine down when this
  // returns: the caller must end its operation at once without touching the
  // engine again.
  virtual void reportLibraryMissing() = 0;
};

// A trace entry, written only when the debug switch is on.
inline void debugEntry(Diagnostics& diagnostics, std::string_view text) {
  if (diagnostics.debugOn()) diagnostics.logDebug(text);
}

}  // namespace qx
