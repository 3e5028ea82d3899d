#include "protocol/change_version.h"

#include <charconv>

#include "protocol/sync_body.h"
#include "protocol/sync_identity.h"

namespace qx {
namespace {

bool isTagCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string narrow(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    // Versions are plain ASCII; anything else makes the text unreadable.
    out.push_back(c < 0x80 ? static_cast<char>(c) : '\x7f');
  }
  return out;
}

}  // namespace

bool isVersionTag(std::string_view tag) {
  if (tag.empty() || tag.size() > changeversion::kMaxTagLength) return false;
  for (char c : tag)
    if (!isTagCharacter(c)) return false;
  return true;
}

std::string formatVersion(const ChangeVersion& version) {
  return std::to_string(version.utcMs) + "-" + version.tag;
}

std::optional<ChangeVersion> parseVersion(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 19) return std::nullopt;
  ChangeVersion version;
  const char* first = text.data();
  const char* last = first + dash;
  for (const char* c = first; c != last; ++c)
    if (*c < '0' || *c > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(first, last, version.utcMs);
  if (error != std::errc() || end != last) return std::nullopt;
  version.tag = std::string(text.substr(dash + 1));
  if (!isVersionTag(version.tag)) return std::nullopt;
  return version;
}

std::string removalVersionLine(const ChangeVersion& version) {
  std::string line(changeversion::kLineOpen);
  line.append(formatVersion(version)).append(changeversion::kLineClose).push_back('\n');
  return line;
}

std::optional<ChangeVersion> readRemovalVersionText(std::string_view body) {
  // After the id field, so that a share name holding the marker text cannot
  // pass for a version.
  const std::size_t idClose = body.find(syncmail::kIdClose);
  if (idClose == std::string_view::npos) return std::nullopt;
  const std::size_t open = body.find(changeversion::kLineOpen, idClose);
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t start = open + changeversion::kLineOpen.size();
  const std::size_t close = body.find(changeversion::kLineClose, start);
  if (close == std::string_view::npos) return std::nullopt;
  return parseVersion(body.substr(start, close - start));
}

std::optional<ChangeVersion> readTaskVersion(TaskItem& task) {
  const Result<std::shared_ptr<UserProperties>> properties = task.userProperties();
  if (!properties) return std::nullopt;
  const Result<std::int32_t> count = (*properties)->count();
  if (!count) return std::nullopt;
  for (std::int32_t i = 1; i <= *count; ++i) {
    const Result<std::shared_ptr<UserProperty>> property = (*properties)->item(i);
    if (!property) return std::nullopt;
    const Result<std::u16string> name = (*property)->name();
    if (!name) return std::nullopt;
    if (*name != changeversion::kPropertyName) continue;
    const Result<Variant> value = (*property)->value();
    if (!value || value->text() == nullptr) return std::nullopt;
    return parseVersion(narrow(*value->text()));
  }
  return std::nullopt;
}

Hresult stampTaskVersion(UserProperties& properties, const ChangeVersion& version) {
  const Result<std::int32_t> count = properties.count();
  if (!count) return count.error();
  std::shared_ptr<UserProperty> target;
  for (std::int32_t i = 1; i <= *count && !target; ++i) {
    Result<std::shared_ptr<UserProperty>> property = properties.item(i);
    if (!property) return property.error();
    const Result<std::u16string> name = (*property)->name();
    if (!name) return name.error();
    if (*name == changeversion::kPropertyName) target = std::move(*property);
  }
  if (!target) {
    Result<std::shared_ptr<UserProperty>> added =
        properties.add(changeversion::kPropertyName, user_property_type::kText);
    if (!added) return added.error();
    target = std::move(*added);
  }
  const std::string text = formatVersion(version);
  return target->setValue(Variant(std::u16string(text.begin(), text.end())));
}

Result<ReceivedStamp> readReceivedStamp(SafeLibrary& library,
                                        const std::shared_ptr<Dispatch>& received) {
  const Result<std::shared_ptr<MapiUtilities>> utilities = createMapiUtilities(library);
  if (!utilities) return failure(utilities.error());
  ReceivedStamp stamp;
  stamp.syncId = readReceivedText(**utilities, received, syncid::kPropertyName);
  // A store that never saw the name holds no version: the sender knew none.
  if (const std::optional<std::u16string> text =
          readReceivedText(**utilities, received, changeversion::kPropertyName)) {
    stamp.version = parseVersion(narrow(*text));
  }
  return stamp;
}

}  // namespace qx
