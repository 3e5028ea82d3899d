#include "sim/mail/item_data.h"

#include <algorithm>

namespace qx::sim::mail {

ItemData ItemData::newTask() { return ItemData{}; }

ItemData ItemData::newMail() {
  ItemData data;
  data.kind = ItemKind::kMail;
  data.messageClass = u"IPM.Note";
  return data;
}

// User property names compare exactly.
const UserProp* ItemData::findUserProperty(std::u16string_view name) const {
  for (const UserProp& p : userProperties) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

UserProp* ItemData::findUserProperty(std::u16string_view name) {
  for (UserProp& p : userProperties) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

const UserProp* ItemData::userPropertyById(std::uint32_t id) const {
  for (const UserProp& p : userProperties) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

UserProp* ItemData::userPropertyById(std::uint32_t id) {
  for (UserProp& p : userProperties) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

void ItemData::numberUserProperties() {
  std::uint32_t last = 0;
  for (const UserProp& p : userProperties) last = std::max(last, p.id);
  for (UserProp& p : userProperties) {
    if (p.id == 0) p.id = ++last;
  }
}

}  // namespace qx::sim::mail
