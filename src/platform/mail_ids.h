#pragma once
// Interface ids and numeric constants of the mail client's object model, with
// the host's published values.
#include <cstdint>

#include "platform/guid.h"

namespace qx {

// The host's interface ids share the tail C000-000000000046.
constexpr Guid hostInterfaceId(std::uint32_t data1) {
  return Guid{data1, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}

namespace iid {
inline constexpr Guid kApplication = hostInterfaceId(0x00063001);
inline constexpr Guid kFolder = hostInterfaceId(0x00063006);
inline constexpr Guid kMailItem = hostInterfaceId(0x00063034);
inline constexpr Guid kTaskItem = hostInterfaceId(0x00063035);
inline constexpr Guid kPropertyPages = hostInterfaceId(0x00063080);
inline constexpr Guid kPropertyPage = hostInterfaceId(0x0006307E);
inline constexpr Guid kPropertyPageSite = hostInterfaceId(0x0006307F);
inline constexpr Guid kCommandBarButton = hostInterfaceId(0x000C030E);
inline constexpr Guid kComAddIn = hostInterfaceId(0x000C033A);
// Event interfaces.
inline constexpr Guid kApplicationEvents = hostInterfaceId(0x0006304E);
inline constexpr Guid kNamespaceEvents = hostInterfaceId(0x0006308C);
inline constexpr Guid kItemsEvents = hostInterfaceId(0x00063077);
}  // namespace iid

// Dispatch ids of the events.
namespace dispid {
inline constexpr std::int32_t kItemAdd = 0xF001;     // (item)
inline constexpr std::int32_t kItemChange = 0xF002;  // (item)
inline constexpr std::int32_t kItemRemove = 0xF003;  // ()
inline constexpr std::int32_t kNewMail = 0xF003;     // application events, ()
inline constexpr std::int32_t kOptionsPagesAdd =
    0xF005;  // application (pages); namespace (pages, folder)
}  // namespace dispid

// CreateItem kinds.
namespace item_kind {
inline constexpr std::int32_t kMail = 0;
inline constexpr std::int32_t kTask = 3;
}  // namespace item_kind

// GetDefaultFolder numbers.
namespace default_folder {
inline constexpr std::int32_t kDeletedItems = 3;
inline constexpr std::int32_t kOutbox = 4;
inline constexpr std::int32_t kSentMail = 5;
inline constexpr std::int32_t kInbox = 6;
inline constexpr std::int32_t kCalendar = 9;
inline constexpr std::int32_t kTasks = 13;
inline constexpr std::int32_t kDrafts = 16;
}  // namespace default_folder

// Sensitivity and importance values.
namespace sensitivity {
inline constexpr std::int32_t kNormal = 0;
inline constexpr std::int32_t kPersonal = 1;
inline constexpr std::int32_t kPrivate = 2;
inline constexpr std::int32_t kConfidential = 3;
}  // namespace sensitivity
namespace importance {
inline constexpr std::int32_t kLow = 0;
inline constexpr std::int32_t kNormal = 1;
inline constexpr std::int32_t kHigh = 2;
}  // namespace importance

// UserProperties.Add types.
namespace user_property_type {
inline constexpr std::int32_t kText = 1;
inline constexpr std::int32_t kNumber = 3;
inline constexpr std::int32_t kDateTime = 5;
inline constexpr std::int32_t kYesNo = 6;
}  // namespace user_property_type

// Attachments.Add type.
namespace attachment_type {
inline constexpr std::int32_t kByValue = 1;
}  // namespace attachment_type

// Task status values.
namespace task_status {
inline constexpr std::int32_t kNotStarted = 0;
inline constexpr std::int32_t kInProgress = 1;
inline constexpr std::int32_t kComplete = 2;
inline constexpr std::int32_t kWaiting = 3;
inline constexpr std::int32_t kDeferred = 4;
}  // namespace task_status

}  // namespace qx
