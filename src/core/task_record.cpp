#include "core/task_record.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <initializer_list>

namespace qx {
namespace {

// Versions and fingerprints are plain ASCII; anything else makes the text
// unreadable.
std::string narrow(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
  return out;
}

std::u16string widen(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::string stateText(std::uint64_t state) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(state));
  return text;
}

std::optional<std::uint64_t> parseState(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::string> textOf(UserProperty& property) {
  const Result<Variant> value = property.value();
  if (!value || value->text() == nullptr) return std::nullopt;
  return narrow(*value->text());
}

// The first property of the name, added when there is none, set to `text`.
Hresult setProperty(UserProperties& properties, std::u16string_view name, std::string_view text) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return count.error();
  for (std::int32_t i = 1; i <= *count; ++i) {
    const Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) return property.error();
    const Result<std::u16string> found = (*property)->name();
    if (!found) return found.error();
    if (*found == name) return (*property)->setValue(Variant(widen(text)));
  }
  const Result<std::shared_ptr<UserProperty>> added =
      properties.add(name, user_property_type::kText);
  if (!added) return added.error();
  return (*added)->setValue(Variant(widen(text)));
}

// Every property of the names, from the last to the first, so that the
// indexes still to come stay valid.
Hresult removeProperties(UserProperties& properties,
                         std::initializer_list<std::u16string_view> names) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return count.error();
  for (std::int32_t i = *count; i >= 1; --i) {
    const Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) return property.error();
    const Result<std::u16string> name = (*property)->name();
    if (!name) return name.error();
    if (std::find(names.begin(), names.end(), *name) == names.end()) continue;
    if (const Hresult status = properties.remove(i); failed(status)) return status;
  }
  return hr::kOk;
}

}  // namespace

TaskRecord readTaskRecord(UserProperties& properties) {
  TaskRecord record;
  const Result<std::int32_t> count = properties.count();
  if (!count) return record;
  bool versionSeen = false;
  bool stateSeen = false;
  for (std::int32_t i = 1; i <= *count && !(versionSeen && stateSeen); ++i) {
    const Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) break;
    const Result<std::u16string> name = (*property)->name();
    if (!name) break;
    if (*name == taskrecord::kVersionProperty && !versionSeen) {
      versionSeen = true;
      if (const std::optional<std::string> text = textOf(**property))
        record.version = parseVersion(*text);
    } else if (*name == taskrecord::kStateProperty && !stateSeen) {
      stateSeen = true;
      if (const std::optional<std::string> text = textOf(**property))
        record.state = parseState(*text);
    }
  }
  if (!record.version) record.state.reset();
  return record;
}

TaskRecord readTaskRecord(TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return {};
  return readTaskRecord(**properties);
}

Hresult writeTaskRecord(UserProperties& properties, const TaskRecord& record) {
  if (!record.version)
    return removeProperties(properties, {taskrecord::kVersionProperty, taskrecord::kStateProperty});
  if (const Hresult status =
          setProperty(properties, taskrecord::kVersionProperty, formatVersion(*record.version));
      failed(status))
    return status;
  // A state left from an earlier content would take a change not yet sent
  // for the state its version stood for.
  if (!record.state) return removeProperties(properties, {taskrecord::kStateProperty});
  return setProperty(properties, taskrecord::kStateProperty, stateText(*record.state));
}

std::optional<ChangeVersion> nextVersion(std::int64_t atMs, const std::string& tag,
                                         const std::optional<ChangeVersion>& stored,
                                         const std::optional<ChangeVersion>& removal) {
  std::optional<std::int64_t> at;
  if (atMs >= 0) at = atMs;
  for (const std::optional<ChangeVersion>& seen : {stored, removal}) {
    if (!seen) continue;
    const std::int64_t past = nextAfter(ChangeVersion{seen->utcMs, {}}).utcMs;
    if (!at || *at < past) at = past;
  }
  if (!at) return std::nullopt;
  return ChangeVersion{*at, tag};
}

bool wins(const ChangeVersion& version, std::uint64_t content, const ChangeVersion& other,
          std::uint64_t otherContent) {
  if (version != other) return other < version;
  return otherContent < content;
}

}  // namespace qx
