#include "outgoing/task_sync_properties.h"

#include "protocol/sync_identity.h"

namespace qx {
namespace {

Result<std::u16string> nameAt(UserProperties& properties, std::int32_t index,
                              std::shared_ptr<UserProperty>& property) {
  Result<std::shared_ptr<UserProperty>> item = properties.item(index);
  if (!item) return failure(item.error());
  property = std::move(*item);
  return property->name();
}

Result<std::shared_ptr<UserProperty>> firstNamed(UserProperties& properties,
                                                 std::u16string_view name) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return failure(count.error());
  for (std::int32_t i = 1; i <= *count; ++i) {
    std::shared_ptr<UserProperty> property;
    const Result<std::u16string> found = nameAt(properties, i, property);
    if (!found) return failure(found.error());
    if (*found == name) return property;
  }
  return std::shared_ptr<UserProperty>();
}

Hresult removeNamed(UserProperties& properties, std::u16string_view wanted) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return count.error();
  // From the last to the first, so that a removal never moves a property
  // that is still to be looked at.
  for (std::int32_t i = *count; i >= 1; --i) {
    std::shared_ptr<UserProperty> property;
    const Result<std::u16string> name = nameAt(properties, i, property);
    if (!name) return name.error();
    if (*name != wanted) continue;
    if (const Hresult status = properties.remove(i); failed(status)) return status;
  }
  return hr::kOk;
}

}  // namespace

Hresult removeSyncIdProperties(TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return properties.error();
  return removeNamed(**properties, syncid::kPropertyName);
}

Hresult removeLastShareName(UserProperties& properties) {
  return removeNamed(properties, syncprop::kLastShareName);
}

Result<bool> stampLastShareName(UserProperties& properties, CodePage& codePage,
                                std::string_view shareName) {
  Result<std::shared_ptr<UserProperty>> property = firstNamed(properties, syncprop::kLastShareName);
  if (!property) return failure(property.error());
  bool mustSave = false;
  if (!*property) {
    mustSave = true;
    property = properties.add(syncprop::kLastShareName, user_property_type::kText);
    if (!property) return failure(property.error());
  }
  const Result<Variant> value = (*property)->value();
  if (!value) return failure(value.error());
  if (const std::u16string* text = value->text(); text == nullptr) {
    mustSave = true;
  } else {
    const Result<std::string> stored = codePage.toAnsi(*text);
    if (!stored || *stored != shareName) mustSave = true;
  }
  const Result<std::u16string> wide = codePage.toWide(shareName);
  if (!wide) return failure(wide.error());
  if (const Hresult status = (*property)->setValue(Variant(*wide)); failed(status)) {
    return failure(status);
  }
  return mustSave;
}

Result<RemovalNames> readRemovalNames(UserProperties& properties) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return failure(count.error());
  RemovalNames names;
  for (std::int32_t i = 1; i <= *count; ++i) {
    std::shared_ptr<UserProperty> property;
    const Result<std::u16string> name = nameAt(properties, i, property);
    if (!name) return failure(name.error());
    const bool isShare = *name == syncprop::kLastShareName;
    if (!isShare && *name != syncid::kPropertyName) continue;
    const Result<Variant> value = property->value();
    if (!value) return failure(value.error());
    const std::u16string* text = value->text();
    if (isShare) {
      names.hasShareName = true;
      if (text) names.shareName = *text;
    } else if (text) {
      names.syncId = *text;
    }
  }
  return names;
}

}  // namespace qx
