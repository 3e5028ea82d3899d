#include "sim/mail/tagged_props.h"

#include "platform/mail_status.h"
#include "platform/safe_mail_item.h"
#include "platform/safe_utilities.h"

namespace qx::sim::mail {

namespace {
constexpr std::uint16_t kSubjectId = 0x0037;
constexpr std::uint16_t kBodyId = 0x1000;
constexpr std::uint16_t kMessageClassId = 0x001A;
constexpr std::uint16_t kSenderAddressId = 0x0C1F;
constexpr std::uint16_t kSubmitTimeId = 0x0039;
constexpr std::uint16_t kSensitivityId = 0x0036;

std::uint16_t idOf(std::int32_t tag) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(tag) >> 16);
}
std::int32_t typeOf(std::int32_t tag) { return tag & 0xFFFF; }

// Whether a value has the form that the tag's type asks for.
bool fits(const Variant& value, std::int32_t type) {
  switch (type) {
    case prop_type::kUnspecified:
      return !value.isEmpty() && !value.isMissing();
    case prop_type::kString8:
    case prop_type::kUnicode:
      return value.text() != nullptr;
    case prop_type::kLong:
      return value.asLong().has_value();
    case prop_type::kBoolean:
      return value.asBool().has_value();
    case prop_type::kSysTime:
      return value.asDate().has_value();
    case 0x0005:
      return value.asDouble().has_value();
    default:
      return false;
  }
}

bool isPublicStrings(const NamedKey& key) { return key.set == prop_set::kPublicStrings; }
}  // namespace

Result<Variant> readTagged(const ItemData& data, const NameOfId& names, std::int32_t tag) {
  std::uint16_t id = idOf(tag);
  std::int32_t type = typeOf(tag);
  Variant value;
  if (id >= 0x8000) {
    const NamedKey* key = names(id);
    if (!key) return failure(hr::kMapiNotFound);
    const UserProp* user = isPublicStrings(*key) ? data.findUserProperty(key->name) : nullptr;
    if (user) {
      value = user->value;
    } else {
      auto it = data.namedProperties.find(*key);
      if (it == data.namedProperties.end()) return failure(hr::kMapiNotFound);
      value = it->second;
    }
  } else if (id == kSubjectId) {
    value = Variant(data.subject);
  } else if (id == kBodyId) {
    value = Variant(data.body);
  } else if (id == kMessageClassId) {
    value = Variant(data.messageClass);
  } else if (id == kSensitivityId) {
    value = Variant(data.sensitivity);
  } else if (id == kSenderAddressId) {
    // A mail not yet sent has no sender.
    if (data.senderAddress.empty()) return failure(hr::kMapiNotFound);
    value = Variant(data.senderAddress);
  } else if (id == kSubmitTimeId) {
    // Kept in UTC, as the transport stamped it; a mail that never travelled
    // has none.
    if (data.sentOn == kNoDate) return failure(hr::kMapiNotFound);
    value = Variant(data.sentOn);
  } else {
    auto it = data.rawProperties.find(id);
    if (it == data.rawProperties.end()) return failure(hr::kMapiNotFound);
    value = it->second;
  }
  // A property asked for under another type is not there.
  if (!fits(value, type)) return failure(hr::kMapiNotFound);
  return value;
}

Hresult writeTagged(ItemData& data, const NameOfId& names, std::int32_t tag, const Variant& value) {
  std::uint16_t id = idOf(tag);
  std::int32_t type = typeOf(tag);
  if (type == prop_type::kUnspecified || !fits(value, type)) return hr::kTypeMismatch;
  if (id >= 0x8000) {
    const NamedKey* key = names(id);
    if (!key) return hr::kInvalidArg;
    if (UserProp* user = isPublicStrings(*key) ? data.findUserProperty(key->name) : nullptr) {
      user->value = value;
    } else {
      data.namedProperties[*key] = value;
    }
  } else if (id == kSubjectId) {
    data.subject = *value.text();
  } else if (id == kBodyId) {
    data.body = *value.text();
  } else if (id == kMessageClassId) {
    data.messageClass = *value.text();
  } else if (id == kSensitivityId) {
    data.sensitivity = value.asLong().value_or(data.sensitivity);
  } else if (id == kSenderAddressId) {
    data.senderAddress = *value.text();
  } else {
    data.rawProperties[id] = value;
  }
  return hr::kOk;
}

}  // namespace qx::sim::mail
