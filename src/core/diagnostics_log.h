#pragma once
// The add-in's two log files beside its module: the debug log (time-stamped
// trace entries and every error report) and the error log (error reports
// only). Each entry opens, appends and closes, so the files can be read while
// the host runs and every entry is on disk at once.
#include <string>
#include <string_view>

#include "common/diagnostics.h"
#include "platform/status.h"

namespace qx {

class AddinModule;

// When the logs' folder refuses a write (an installed module lies under
// Program Files, where a user without administrator rights cannot create
// files), both logs move to the fallback folder for good, under the same
// names, and the refused entry is written there: otherwise every error report
// would be lost without a word. Any other failure loses that entry only.
class DiagnosticsLog : public Diagnostics {
 public:
  DiagnosticsLog(AddinModule& module, std::string debugLogPath, std::string fallbackFolder = {})
      : module_(module),
        debugLogPath_(std::move(debugLogPath)),
        fallbackFolder_(std::move(fallbackFolder)) {}

  bool debugOn() const override { return debugOn_; }
  void setDebugOn(bool on) { debugOn_ = on; }

  const std::string& debugLogPath() const { return debugLogPath_; }
  const std::string& errorLogPath() const { return errorLogPath_; }
  // Until this is set error reports reach only the debug log. A path in the
  // refusing folder is taken in the fallback folder once the logs moved.
  void setErrorLogPath(std::string path);

  void logDebug(std::string_view text) override;
  void reportError(std::string_view text) override;
  void reportLibraryMissing() override;

  // The current time as the user's locale writes a date value, in the ANSI
  // code page; "Invalid DateTime" when it cannot be made.
  std::string timeStamp();

 private:
  // Appends to the log at `path`, which moves with the other log to the
  // fallback folder when its folder refuses the write.
  WinError append(std::string& path, std::string_view entry);
  std::string inFallback(const std::string& path) const;

  AddinModule& module_;
  std::string debugLogPath_;
  std::string errorLogPath_;
  std::string fallbackFolder_;
  bool moved_ = false;
  bool debugOn_ = false;
};

}  // namespace qx
