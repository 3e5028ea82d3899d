#pragma once
// The version of each synced field of a task, and the line of a change mail
// that carries them. The line comes after the id line and the version line;
// older add-ins pass over it, as they pass over the version line. It is a
// field list, not a copy of the task: groups "VERSION=id,id" joined by ";",
// where the id "*" stands for every field the line does not name, and fields
// the line does not name at all have the mail's own version. A mail without
// the line therefore reads as a change of every field it carries at the
// mail's version.
#include <map>
#include <optional>
#include <set>
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
// as "*" only when it differs. `named` are written by name even where the
// rest would stand for them. Versions with no rest need no line: empty.
std::string formatFieldVersions(const FieldVersions& versions,
                                const std::optional<ChangeVersion>& implied,
                                const std::vector<FieldId>& named = {});
// Strict, for the add-in's own record: an unknown id, a version formatVersion
// would not write, a field named twice, two "*" groups or a field newer than
// `implied` make the whole text unreadable.
std::optional<FieldVersions> parseFieldVersions(std::string_view text,
                                                const std::optional<ChangeVersion>& implied);

// "fv:TEXT:fv\n", or nothing when `versions` has no rest and names nothing.
std::string fieldVersionLine(const FieldVersions& versions, const ChangeVersion& mailVersion,
                             const std::vector<FieldId>& named = {});

// A change mail's field-version line as read: the versions, and the fields the
// line names (a user property it names that the mail's task lacks was removed
// at that version; one it neither names nor carries is none of its business).
struct FieldVersionLine {
  FieldVersions versions;
  std::set<FieldId, std::less<>> named;
  // Text of which no group could be read at all: no field line of any add-in.
  bool unreadable = false;
};
// The line of a change mail's body, from the first "fv:" after the first
// ":id"; none when the body has none (every field the mail carries is then
// at the mail's version). A later add-in may name fields this one does not
// know, and a broken one may write a group oddly: the line is read group by
// group, and what cannot be read says nothing. A group whose version cannot
// be read or is newer than the mail, and every id this add-in does not know,
// are passed over; a field named twice has the older of its versions, as does
// "*" given twice. A field the line does not name has the "*" version, or the
// mail's.
std::optional<FieldVersionLine> readFieldVersionLine(std::string_view body,
                                                     const ChangeVersion& mailVersion);

}  // namespace qx
