// The two global switches. An administrator who installs for an office sets
// them once for every user of the machine, under the same key in the local
// machine's hive, since an install cannot reach each user's own hive; each
// process reads its own registry view, which is the one its package wrote. A
// user's own value goes first, even one that switches something off.
#include "core/configuration_store.h"
#include "core/registry_key.h"
#include "core/registry_values.h"

namespace qx {

namespace {

bool holds(Registry& registry, const RegistryKey& key, std::string_view name) {
  std::uint32_t size = 0;
  return key && registry.queryValue(key.handle(), name, nullptr, {}, size) != win::kFileNotFound;
}

}  // namespace

GlobalSwitches ConfigurationStore::readGlobalSwitches() {
  GlobalSwitches switches;
  const RegistryKey user = RegistryKey::open(registry_, config::kConfigKey, reg::kKeyRead);
  const RegistryKey machine =
      RegistryKey::open(registry_, config::kConfigKey, reg::kKeyRead, reg::kLocalMachine);
  switches.opened = user || machine;
  auto keyFor = [&](std::string_view name) -> const RegistryKey& {
    return holds(registry_, user, name) ? user : machine;
  };
  if (const RegistryKey& key = keyFor("From")) {
    if (auto from = readTerminatedString(registry_, key.handle(), "From", config::kFromCapacity)) {
      if (auto wide = codePage_.toWide(*from)) switches.senderName = std::move(*wide);
    }
  }
  if (const RegistryKey& key = keyFor("debug")) {
    std::uint32_t type = reg::kNone;
    auto debug = readFourBytes(registry_, key.handle(), "debug", &type);
    switches.debug = debug && type == reg::kDword && *debug == 1;
  }
  if (const RegistryKey& key = keyFor("TrustedSenders")) {
    // A value that cannot be read whole turns the check on with no extra
    // address: a sender check that an administrator asked for must not go
    // off because the list grew too long.
    const std::optional<std::string> value = readTerminatedString(
        registry_, key.handle(), "TrustedSenders", config::kTrustedSendersCapacity);
    const Result<std::u16string> wide =
        value ? codePage_.toWide(*value) : Result<std::u16string>(std::u16string(u"on"));
    switches.trustedSenders = parseTrustedSenders(wide ? *wide : std::u16string(u"on"));
  }
  return switches;
}

}  // namespace qx
