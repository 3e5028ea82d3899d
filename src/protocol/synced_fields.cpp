#include "protocol/synced_fields.h"

#include <array>
#include <bit>

#include "platform/mail_user_properties.h"
#include "protocol/content_hash.h"

namespace qx {
namespace {

namespace f = syncedfield;

constexpr std::array<std::string_view, 11> kFixed = {
    f::kSubject, f::kBody,       f::kStart,      f::kDue,   f::kStatus,     f::kPercent,
    f::kComplete, f::kImportance, f::kCategories, f::kOwner, f::kSensitivity};
constexpr std::array<std::string_view, 3> kProgress = {f::kStatus, f::kPercent, f::kComplete};

constexpr std::u16string_view kOwnPrefix = u"quendrilax";
constexpr std::u16string_view kShareNameProperty = u"lastsharename";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isLiteral(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
         c == u'_';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower case is not what propertyFieldId writes
}

Hresult writeProperty(TaskItem& task, std::u16string_view name, const FieldValue& value) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return properties.error();
  Result<std::optional<PropertyAt>> found = findProperty(**properties, name);
  if (!found) return found.error();
  std::shared_ptr<UserProperty> target;
  if (*found && (*found)->type == value.propertyType) {
    target = std::move((*found)->property);
  } else {
    if (*found) {
      if (const Hresult status = (*found)->property->deleteProperty(); failed(status))
        return status;
    }
    Result<std::shared_ptr<UserProperty>> added = (*properties)->add(name, value.propertyType);
    if (!added) return added.error();
    target = std::move(*added);
  }
  return target->setValue(value.value);
}

Hresult writeFixed(TaskItem& task, std::string_view id, const Variant& value) {
  const auto text = value.text();
  const std::optional<std::int32_t> number = value.asLong();
  const std::optional<DateValue> date = value.asDate();
  const std::optional<bool> flag = value.asBool();
  if (id == f::kSubject && text) return task.setSubject(*text);
  if (id == f::kBody && text) return task.setBody(*text);
  if (id == f::kCategories && text) return task.setCategories(*text);
  if (id == f::kOwner && text) return task.setOwner(*text);
  if (id == f::kStart && date) return task.setStartDate(*date);
  if (id == f::kDue && date) return task.setDueDate(*date);
  if (id == f::kStatus && number) return task.setStatus(*number);
  if (id == f::kPercent && number) return task.setPercentComplete(*number);
  if (id == f::kImportance && number) return task.setImportance(*number);
  if (id == f::kSensitivity && number) return task.setSensitivity(*number);
  if (id == f::kComplete && flag) return task.setComplete(*flag);
  return hr::kInvalidArg;
}

}  // namespace

Result<std::optional<PropertyAt>> findProperty(UserProperties& properties,
                                               std::u16string_view name) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return failure(count.error());
  for (std::int32_t i = 1; i <= *count; ++i) {
    Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) return failure(property.error());
    const Result<std::u16string> propertyName = (*property)->name();
    if (!propertyName) return failure(propertyName.error());
    if (*propertyName != name) continue;
    const Result<std::int32_t> type = (*property)->type();
    if (!type) return failure(type.error());
    return std::optional<PropertyAt>(PropertyAt{std::move(*property), *type});
  }
  return std::optional<PropertyAt>();
}

std::span<const std::string_view> fixedFieldIds() { return kFixed; }

bool isFixedFieldId(std::string_view id) {
  for (std::string_view fixed : kFixed)
    if (fixed == id) return true;
  return false;
}

std::span<const std::string_view> progressFieldIds() { return kProgress; }

bool isProgressField(std::string_view id) {
  for (std::string_view progress : kProgress)
    if (progress == id) return true;
  return false;
}

std::string_view registerOf(std::string_view id) {
  return isProgressField(id) ? kProgress.front() : id;
}

FieldId propertyFieldId(std::u16string_view propertyName) {
  FieldId id(f::kPropertyPrefix);
  for (char16_t c : propertyName) {
    if (isLiteral(c)) {
      id.push_back(static_cast<char>(c));
      continue;
    }
    id.push_back('%');
    for (int shift = 12; shift >= 0; shift -= 4) id.push_back(kHexDigits[(c >> shift) & 0xF]);
  }
  return id;
}

std::optional<std::u16string> propertyNameOf(std::string_view id) {
  if (!id.starts_with(f::kPropertyPrefix) || id.size() == f::kPropertyPrefix.size())
    return std::nullopt;
  std::u16string name;
  for (std::size_t i = f::kPropertyPrefix.size(); i < id.size(); ++i) {
    const char c = id[i];
    if (c != '%') {
      if (!isLiteral(static_cast<char16_t>(static_cast<unsigned char>(c)))) return std::nullopt;
      name.push_back(static_cast<char16_t>(c));
      continue;
    }
    if (id.size() - i < 5) return std::nullopt;
    char16_t unit = 0;
    for (std::size_t k = 1; k <= 4; ++k) {
      const int digit = hexValue(id[i + k]);
      if (digit < 0) return std::nullopt;
      unit = static_cast<char16_t>((unit << 4) | digit);
    }
    // One text, one id: a literal character written escaped is not ours.
    if (isLiteral(unit)) return std::nullopt;
    name.push_back(unit);
    i += 4;
  }
  return name;
}

bool isFieldId(std::string_view id) { return isFixedFieldId(id) || propertyNameOf(id); }

bool isOwnProperty(std::u16string_view name) {
  return name.starts_with(kOwnPrefix) || name == kShareNameProperty;
}

std::optional<TaskFieldValues> readSyncedFields(TaskItem& task) {
  TaskFieldValues values;
  bool ok = true;
  auto put = [&](std::string_view id, auto result) {
    if (!result) {
      ok = false;
      return;
    }
    values.emplace(FieldId(id), FieldValue{Variant(*result)});
  };
  put(f::kSubject, task.subject());
  put(f::kBody, task.body());
  put(f::kStart, task.startDate());
  put(f::kDue, task.dueDate());
  put(f::kStatus, task.status());
  put(f::kPercent, task.percentComplete());
  put(f::kComplete, task.complete());
  put(f::kImportance, task.importance());
  put(f::kCategories, task.categories());
  put(f::kOwner, task.owner());
  put(f::kSensitivity, task.sensitivity());
  if (!ok) return std::nullopt;

  if (!readPropertyFields(task, values)) return std::nullopt;
  return values;
}

bool readPropertyFields(TaskItem& task, TaskFieldValues& values) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return false;
  const Result<std::int32_t> count = (*properties)->count();
  if (!count) return false;
  for (std::int32_t i = 1; i <= *count; ++i) {
    const Result<std::shared_ptr<UserProperty>> property = (*properties)->item(i);
    if (!property) return false;
    const Result<std::u16string> name = (*property)->name();
    if (!name) return false;
    if (name->empty() || isOwnProperty(*name)) continue;
    const Result<std::int32_t> type = (*property)->type();
    Result<Variant> value = (*property)->value();
    if (!type || !value) return false;
    values.emplace(propertyFieldId(*name), FieldValue{std::move(*value), *type});
  }
  return true;
}

Hresult writeSyncedField(TaskItem& task, std::string_view id, const FieldValue& value) {
  if (const std::optional<std::u16string> name = propertyNameOf(id))
    return writeProperty(task, *name, value);
  return writeFixed(task, id, value.value);
}

Hresult removeSyncedProperty(TaskItem& task, std::string_view id) {
  const std::optional<std::u16string> name = propertyNameOf(id);
  if (!name) return hr::kInvalidArg;
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return properties.error();
  // From the last, so that the indexes still to come stay valid.
  const Result<std::int32_t> count = (*properties)->count();
  if (!count) return count.error();
  for (std::int32_t i = *count; i >= 1; --i) {
    const Result<std::shared_ptr<UserProperty>> property = (*properties)->item(i);
    if (!property) return property.error();
    const Result<std::u16string> found = (*property)->name();
    if (!found) return found.error();
    if (*found != *name) continue;
    if (const Hresult status = (*properties)->remove(i); failed(status)) return status;
  }
  return hr::kOk;
}

std::uint64_t fieldValueHash(const FieldValue& value) {
  ContentHash hash;
  hash.add(static_cast<std::uint64_t>(value.value.type()));
  hash.add(static_cast<std::uint32_t>(value.propertyType));
  if (const std::u16string* text = value.value.text()) {
    hash.add(std::u16string_view(*text));
  } else if (const std::optional<std::int32_t> number = value.value.asLong()) {
    hash.add(static_cast<std::uint32_t>(*number));
  } else if (const std::optional<double> real = value.value.asDouble()) {
    hash.add(std::bit_cast<std::uint64_t>(*real));
  } else if (const std::optional<DateValue> date = value.value.asDate()) {
    hash.add(std::bit_cast<std::uint64_t>(date->days));
  } else if (const std::optional<bool> flag = value.value.asBool()) {
    hash.add(*flag ? 1 : 0);
  }
  // The one value no content may hash to.
  return hash.value() == kAbsentHash ? kAbsentHash + 1 : hash.value();
}

}  // namespace qx
