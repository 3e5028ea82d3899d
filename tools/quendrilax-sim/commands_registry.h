#pragma once
// Registry and files: values and keys of the user's registry, .reg imports,
// files on the user's disk; with what can be expected and shown of them.
// Documented in docs/scenarios.md "Registry" and "Files".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quendrilax-sim/scenario_step.h"

namespace qx::tools {

// A registry value as a scenario writes it: the type and the raw bytes, built
// at read time so that strings without terminator and too long strings can be
// written as easily as ordinary ones.
struct RegValueSetting {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> bytes;
  // For string types the text (UTF-8) and whether the terminator is stored;
  // converted to the user's code page when the command runs.
  std::optional<std::string> text;
  bool terminated = true;
};

struct RegSetCmd final : Step {
  std::string user, key, name;
  RegValueSetting value;
  void run(Runner& runner, const SourceLocation& where) const override;
};

struct RegImportCmd final : Step {
  std::string user;
  std::string text;    // the .reg text (UTF-8)
  std::string origin;  // file name or "inline block"
  void run(Runner& runner, const SourceLocation& where) const override;
};

enum class Place { kData, kModule, kAppData, kPath };

struct ExpectRegistryKey final : Expectation {
  std::string key;
  bool exists = true;
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

struct ExpectRegistryValue final : Expectation {
  std::string key, name;
  std::optional<RegValueSetting> value;  // none: the value is absent
  std::optional<std::string> check(Runner& runner, OfficeUser& user) const override;
};

// A host path below one of the user's places.
std::string placePath(Runner& runner, OfficeUser& user, Place place, const std::string& name);

}  // namespace qx::tools
