#pragma once
// What this add-in last sent or applied of a task: the version, and a
// fingerprint of the content that version stood for. It is kept on the task
// itself, in two user properties saved with the content they describe, so it
// outlives a restart. They travel inside the message file as well; receivers
// take the version from the mail's body and never from there.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/mail_client.h"
#include "protocol/change_version.h"

namespace qx {

namespace taskrecord {
inline constexpr std::u16string_view kVersionProperty = u"quendrilaxversion";
inline constexpr std::u16string_view kStateProperty = u"quendrilaxstate";
}  // namespace taskrecord

struct TaskRecord {
  std::optional<ChangeVersion> version;
  // The fingerprint of the content `version` stood for; none in records
  // written before it was kept.
  std::optional<std::uint64_t> state;
};

// The first property of each name; a missing or unreadable one stays none.
TaskRecord readTaskRecord(TaskItem& task);
TaskRecord readTaskRecord(UserProperties& properties);

// Writes the record into the task's working copy, adding the properties when
// there are none. A record without a version removes both: the task is then
// unversioned; one without a state removes the state. The caller saves.
Hresult writeTaskRecord(UserProperties& properties, const TaskRecord& record);

// The version of a new change of the task, later than everything the user has
// seen of it: the time of the change (`atMs`, negative when the clock could
// not be read), but at least one millisecond past the stored version and past
// a recorded removal. None when nothing gives a time.
std::optional<ChangeVersion> nextVersion(std::int64_t atMs, const std::string& tag,
                                         const std::optional<ChangeVersion>& stored,
                                         const std::optional<ChangeVersion>& removal);

// Whether the state (`version`, content fingerprint `content`) wins over the
// other. Equal versions (a copied profile's tie-breaker, in one millisecond)
// are settled by the content, the same way at every user, so both ends keep
// one state; equal content is no news.
bool wins(const ChangeVersion& version, std::uint64_t content, const ChangeVersion& other,
          std::uint64_t otherContent);

}  // namespace qx
