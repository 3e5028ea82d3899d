#pragma once
// The add-in's two log files beside its module: the debug log (time-stamped
// trace entries and every error report) and the error log (error reports
// only). Each entry opens, appends and closes, so the files can be read while
// the host runs and every entry is on disk at once.
#include <string>
#include <string_view>

#include "common/diagnostics.h"

namespace qx {

class AddinModule;

class DiagnosticsLog : public Diagnostics {
 public:
  DiagnosticsLog(AddinModule& module, std::string debugLogPath)
      : module_(module), debugLogPath_(std::move(debugLogPath)) {}

  bool debugOn() const override { return debugOn_; }
  void setDebugOn(bool on) { debugOn_ = on; }

  const std::string& debugLogPath() const { return debugLogPath_; }
  const std::string& errorLogPath() const { return errorLogPath_; }
  // Until this is set error reports reach only the debug log.
  void setErrorLogPath(std::string path) { errorLogPath_ = std::move(path); }

  void logDebug(std::string_view text) override;
  void reportError(std::string_view text) override;
  void reportLibraryMissing() override;

  // The current time as the user's locale writes a date value, in the ANSI
  // code page; "Invalid DateTime" when it cannot be made.
  std::string timeStamp();

 private:
  AddinModule& module_;
  std::string debugLogPath_;
  std::string errorLogPath_;
  bool debugOn_ = false;
};

}  // namespace qx
