#include "core/change_tag.h"

#include <cstdio>

#include "core/registry_key.h"
#include "core/registry_values.h"
#include "protocol/change_version.h"

namespace qx {
namespace {

constexpr std::uint32_t kTagCapacity = 80;

std::optional<std::string> newTag(GuidSource& guids) {
  Guid guid;
  if (failed(guids.create(guid))) return std::nullopt;
  char text[40];
  std::snprintf(text, sizeof text, "%08X%04X%04X", static_cast<unsigned>(guid.data1),
                static_cast<unsigned>(guid.data2), static_cast<unsigned>(guid.data3));
  std::string tag(text);
  for (std::uint8_t byte : guid.data4) {
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(byte));
    tag.append(text);
  }
  return tag;
}

}  // namespace

std::optional<std::string> loadChangeTag(Registry& registry, GuidSource& guids) {
  if (const RegistryKey key = RegistryKey::open(registry, changetag::kKey, reg::kKeyRead)) {
    std::optional<std::string> stored =
        readString(registry, key.handle(), changetag::kValue, kTagCapacity);
    if (stored && isVersionTag(*stored)) return stored;
  }
  std::optional<std::string> tag = newTag(guids);
  if (!tag) return std::nullopt;
  if (const RegistryKey key = RegistryKey::create(registry, changetag::kKey, reg::kKeyAllAccess)) {
    (void)writeString(registry, key.handle(), changetag::kValue, *tag);
  }
  return tag;
}

}  // namespace qx
