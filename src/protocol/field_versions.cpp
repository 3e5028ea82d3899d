#include "protocol/field_versions.h"

#include <set>

#include "protocol/sync_body.h"

namespace qx {
namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::optional<ChangeVersion> FieldVersions::of(std::string_view id) const {
  if (const auto found = listed_.find(id); found != listed_.end()) return found->second;
  return rest_;
}

std::optional<ChangeVersion> FieldVersions::newest() const {
  std::optional<ChangeVersion> newest = rest_;
  for (const auto& [id, version] : listed_)
    if (!newest || *newest < version) newest = version;
  return newest;
}

void FieldVersions::set(std::string_view id, const ChangeVersion& version) {
  if (rest_ && *rest_ == version) {
    if (const auto found = listed_.find(id); found != listed_.end()) listed_.erase(found);
    return;
  }
  listed_.insert_or_assign(FieldId(id), version);
}

void FieldVersions::compact(const std::vector<FieldId>& fields) {
  if (fields.empty()) return;
  std::map<FieldId, std::optional<ChangeVersion>, std::less<>> versions;
  std::map<std::optional<ChangeVersion>, std::size_t> shares;
  for (const FieldId& id : fields) {
    const std::optional<ChangeVersion> version = of(id);
    versions.emplace(id, version);
    ++shares[version];
  }
  // The newest of the most shared versions: usually the mail's own, which
  // the line need not write.
  auto most = shares.begin();
  for (auto it = shares.begin(); it != shares.end(); ++it)
    if (it->second >= most->second) most = it;
  rest_ = most->first;
  listed_.clear();
  for (const auto& [id, version] : versions) {
    // A field without a version has the rest's: there is no other.
    if (version && version != rest_) listed_.emplace(id, *version);
  }
}

std::string formatFieldVersions(const FieldVersions& versions,
                                const std::optional<ChangeVersion>& implied,
                                const std::vector<FieldId>& named) {
  std::map<ChangeVersion, std::set<std::string_view>> groups;
  for (const auto& [id, version] : versions.listed()) groups[version].insert(id);
  for (const FieldId& id : named)
    if (const std::optional<ChangeVersion> version = versions.of(id)) groups[*version].insert(id);
  std::string text;
  auto group = [&text](const ChangeVersion& version) {
    if (!text.empty()) text.push_back(';');
    text.append(formatVersion(version)).push_back('=');
  };
  if (versions.rest() && versions.rest() != implied) {
    group(*versions.rest());
    text.append(fieldversion::kEveryOther);
  }
  for (const auto& [version, ids] : groups) {
    group(version);
    bool first = true;
    for (std::string_view id : ids) {
      if (!first) text.push_back(',');
      first = false;
      text.append(id);
    }
  }
  return text;
}

std::optional<FieldVersions> parseFieldVersions(std::string_view text,
                                                const std::optional<ChangeVersion>& implied) {
  if (text.empty()) return FieldVersions(implied);
  std::optional<ChangeVersion> rest;
  std::vector<std::pair<std::string_view, ChangeVersion>> listed;
  std::set<std::string_view> named;
  for (std::string_view group : split(text, ';')) {
    const std::size_t equals = group.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::optional<ChangeVersion> version = parseVersion(group.substr(0, equals));
    if (!version || (implied && *implied < *version)) return std::nullopt;
    const std::string_view ids = group.substr(equals + 1);
    if (ids == fieldversion::kEveryOther) {
      if (rest) return std::nullopt;
      rest = version;
      continue;
    }
    for (std::string_view id : split(ids, ',')) {
      if (!isFieldId(id) || !named.insert(id).second) return std::nullopt;
      listed.emplace_back(id, *version);
    }
  }
  FieldVersions versions(rest ? rest : implied);
  for (const auto& [id, version] : listed) versions.set(id, version);
  return versions;
}

std::string fieldVersionLine(const FieldVersions& versions, const ChangeVersion& mailVersion,
                             const std::vector<FieldId>& named) {
  if (!versions.rest() && named.empty()) return {};
  std::string line(fieldversion::kLineOpen);
  line.append(formatFieldVersions(versions, mailVersion, named))
      .append(fieldversion::kLineClose)
      .push_back('\n');
  return line;
}

namespace {

std::optional<ChangeVersion> older(const std::optional<ChangeVersion>& a, const ChangeVersion& b) {
  return a && *a < b ? a : std::optional<ChangeVersion>(b);
}

FieldVersionLine readLine(std::string_view text, const ChangeVersion& mailVersion) {
  std::optional<ChangeVersion> rest;
  std::map<FieldId, ChangeVersion, std::less<>> listed;
  bool anyGroup = text.empty();
  if (!text.empty()) {
    for (std::string_view group : split(text, ';')) {
      const std::size_t equals = group.find('=');
      if (equals == std::string_view::npos) continue;
      const std::optional<ChangeVersion> version = parseVersion(group.substr(0, equals));
      if (!version) continue;
      anyGroup = true;
      if (mailVersion < *version) continue;
      const std::string_view ids = group.substr(equals + 1);
      if (ids == fieldversion::kEveryOther) {
        rest = older(rest, *version);
        continue;
      }
      for (std::string_view id : split(ids, ',')) {
        if (!isFieldId(id)) continue;
        const auto [entry, added] = listed.try_emplace(FieldId(id), *version);
        if (!added && *version < entry->second) entry->second = *version;
      }
    }
  }
  FieldVersionLine line{
      FieldVersions(rest ? rest : std::optional<ChangeVersion>(mailVersion)), {}, !anyGroup};
  for (const auto& [id, version] : listed) {
    line.versions.set(id, version);
    line.named.insert(id);
  }
  return line;
}

}  // namespace

std::optional<FieldVersionLine> readFieldVersionLine(std::string_view body,
                                                     const ChangeVersion& mailVersion) {
  // After the id field, so that a share name holding the marker text cannot
  // pass for the line.
  const std::size_t idClose = body.find(syncmail::kIdClose);
  if (idClose == std::string_view::npos) return std::nullopt;
  const std::size_t open = body.find(fieldversion::kLineOpen, idClose);
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t start = open + fieldversion::kLineOpen.size();
  const std::size_t close = body.find(fieldversion::kLineClose, start);
  if (close == std::string_view::npos) return std::nullopt;
  return readLine(body.substr(start, close - start), mailVersion);
}

}  // namespace qx
