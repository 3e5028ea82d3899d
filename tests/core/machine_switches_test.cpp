#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/configuration_store.h"
#include "support/host_fixture.h"

namespace qx::testsupport {
namespace {

// One hive's Config: a key with up to two values, or no key at all.
struct ConfigValues {
  bool key = true;
  std::optional<std::string> from;
  std::optional<std::uint32_t> debug;
  bool fromIsNumber = false;  // "From" stored as a REG_DWORD: unusable
};

struct SwitchCase {
  const char* what;
  ConfigValues user;
  ConfigValues machine;
  bool opened;
  std::optional<std::u16string> sender;
  bool debug;
};

class MachineSwitches : public HostTest {
 protected:
  ConfigurationStore store{registry(), host.platform().codePage};

  void put(RegKey hive, const ConfigValues& values) {
    registry().removeKey(hive, kConfigKey);
    if (!values.key) return;
    registry().putKey(hive, kConfigKey);
    if (values.from && values.fromIsNumber) registry().putDword(hive, kConfigKey, "From", 7);
    if (values.from && !values.fromIsNumber) {
      registry().putString(hive, kConfigKey, "From", *values.from);
    }
    if (values.debug) registry().putDword(hive, kConfigKey, "debug", *values.debug);
  }
};

TEST_F(MachineSwitches, TheUsersOwnValueGoesFirstAndTheMachinesFillsWhatIsAbsent) {
  const ConfigValues none{false, {}, {}};
  const ConfigValues emptyKey{true, {}, {}};
  const ConfigValues office{true, "office@example.org", 1u};
  const SwitchCase cases[] = {
      {"neither hive", none, none, false, std::nullopt, false},
      {"the machine's alone", none, office, true, u"office@example.org", true},
      {"the user's key without values", emptyKey, office, true, u"office@example.org", true},
      {"the user's alone", {true, "anna@example.org", 1u}, none, true, u"anna@example.org", true},
      {"the user's debug 0 switches the machine's 1 off",
       {true, {}, 0u},
       office,
       true,
       u"office@example.org",
       false},
      {"the user's From, the machine's debug",
       {true, "anna@example.org", {}},
       office,
       true,
       u"anna@example.org",
       true},
      {"the user's unusable From stands", {true, "", {}, true}, office, true, std::nullopt, true},
      {"the machine's debug 2 is off", none, {true, {}, 2u}, true, std::nullopt, false},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.what);
    put(reg::kCurrentUser, c.user);
    put(reg::kLocalMachine, c.machine);
    const GlobalSwitches switches = store.readGlobalSwitches();
    EXPECT_EQ(switches.opened, c.opened);
    EXPECT_EQ(switches.senderName, c.sender);
    EXPECT_EQ(switches.debug, c.debug);
    EXPECT_EQ(registry().openHandles(), 0u) << "a key was left open";
  }
}

}  // namespace
}  // namespace qx::testsupport
