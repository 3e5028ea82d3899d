#pragma once
// The version of each synced field of a task, and the line of a change mail
// that carries them. The line comes after the id line and the version line;
// older add-ins pass over it, as they pass over the version line. It is a
// field list, not a copy of the task: groups "VERSION=id,id" joined by ";",
// where the id "*" stands for every field the line does not name, and fields
// the line does not name at all have the mail's own version. A mail without
// the line therefore reads as a whole-state change with the mail's version
// for every field, which is what an older add-in's mail is.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/change_version.h"
#include "protocol/synced_fields.h"

namespace qx {

namespace fieldversion {
// Neither marker holds a marker of the older fields, nor does anything
// between them: ids are escaped and versions are digits, letters and "-".
inline constexpr std::string_view kLineOpen = "fv:";
inline constexpr std::string_view kLineClose = ":fv";
inline constexpr std::string_view kEveryOther = "*";
}  // namespace fieldversion

// Every field's version: a field of `listed` has its own, every other field
// `rest`. No version (an unversioned task) is older than any version.
class FieldVersions {
 public:
  FieldVersions() = default;
  explicit FieldVersions(std::optional<ChangeVersion> rest) : rest_(std::move(rest)) {}

  std::optional<ChangeVersion> of(std::string_view id) const;
  const std::optional<ChangeVersion>& rest() const { return rest_; }
  const std::map<FieldId, ChangeVersion, std::less<>>& listed() const { return listed_; }
  // The task's version: the newest of its fields.
  std::optional<ChangeVersion> newest() const;

  void set(std::string_view id, const ChangeVersion& version);
  // Only `fields` are kept, and the version most of them share becomes the
  // rest: the shortest line that says the same of those fields.
  void compact(const std::vector<FieldId>& fields);

  friend bool operator==(const FieldVersions&, const FieldVersions&) = default;

 private:
  std::optional<ChangeVersion> rest_;
  std::map<FieldId, ChangeVersion, std::less<>> listed_;
};

// The text between the markers. `implied` is the version a reader gives to
// the fields the text does not name (the mail's version); the rest is written
// as "*" only when it differs. Versions with no rest need no line: empty.
std::string formatFieldVersions(const FieldVersions& versions,
                                const std::optional<ChangeVersion>& implied);
// Strict: an unknown id, a version formatVersion would not write, a field
// named twice, two "*" groups or a field newer than `implied` (a mail cannot
// carry a field newer than itself) make the whole text unreadable.
std::optional<FieldVersions> parseFieldVersions(std::string_view text,
                                                const std::optional<ChangeVersion>& implied);

// "fv:TEXT:fv\n", or nothing when `versions` has no rest.
std::string fieldVersionLine(const FieldVersions& versions, const ChangeVersion& mailVersion);
// The field versions a change mail's body carries, read from the first "fv:"
// after the first ":id"; none when the body has no such line or one that
// cannot be read. The mail is then a whole-state change:
// FieldVersions(mailVersion).
std::optional<FieldVersions> readFieldVersionLine(std::string_view body,
                                                  const ChangeVersion& mailVersion);

}  // namespace qx
