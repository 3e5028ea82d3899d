#pragma once
// Makes chosen calls of a stand-in fail on demand, so that every failure path
// of the add-in can be driven. A stand-in operation asks check() with its own
// name ("registry.openKey", "mail.Item.Save", ...) before it does anything; a
// scheduled failure makes it return that status instead.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace qx::sim {

class Faults {
 public:
  // Fails the `occurrence`-th call of `operation` counted from now (1 = the
  // next call) with `status`; occurrence 0 fails every call until cleared.
  void fail(std::string_view operation, std::int32_t status, int occurrence = 1);
  // The same for an operation that reports Win32 codes.
  void fail(std::string_view operation, WinError status, int occurrence = 1) {
    fail(operation, std::to_underlying(status), occurrence);
  }
  void clear(std::string_view operation);
  void clearAll();

  // Counts a call of `operation`; returns the status to fail it with, if any.
  std::optional<std::int32_t> check(std::string_view operation);

  // Calls of `operation` counted so far.
  int calls(std::string_view operation) const;

 private:
  struct Rule {
    int dueAtCall = 0;  // 0: every call
    std::int32_t status = 0;
  };
  struct Entry {
    int calls = 0;
    std::vector<Rule> rules;
  };
  std::map<std::string, Entry, std::less<>> entries_;
};

}  // namespace qx::sim
