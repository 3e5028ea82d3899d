#include "sim/mail/item_data.h"

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

}  // namespace qx::sim::mail
