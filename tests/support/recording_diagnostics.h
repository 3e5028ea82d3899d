#pragma once
// The add-in's diagnostics as a test reads them: every debug entry, every
// error report and every report of the missing library, in order.
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"

namespace qx::testsupport {

class RecordingDiagnostics final : public Diagnostics {
 public:
  bool debugOn() const override { return debug; }
  void logDebug(std::string_view text) override { debugEntries.emplace_back(text); }
  void reportError(std::string_view text) override { errors.emplace_back(text); }
  void reportLibraryMissing() override { ++libraryMissing; }

  bool debug = true;
  std::vector<std::string> debugEntries;
  std::vector<std::string> errors;
  int libraryMissing = 0;
};

}  // namespace qx::testsupport
