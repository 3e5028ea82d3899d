#pragma once
// The safe-item library: a separately registered in-process COM library. Its
// objects are made by ProgID, as the add-in does: the class id from the ProgID,
// then an instance of the in-process server, then the interface asked for.
// When the library is not installed the ProgID is unknown
// (hr::kInvalidClassString) or the class is not registered
// (hr::kClassNotRegistered).
#include <memory>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/guid.h"
#include "platform/safe_mail_item.h"
#include "platform/safe_message.h"
#include "platform/safe_session.h"
#include "platform/safe_task_item.h"
#include "platform/safe_utilities.h"

namespace qx {

namespace progid {
inline constexpr std::u16string_view kSafeMailItem = u"Hessaplex.SafeMailItem";
inline constexpr std::u16string_view kSafeTaskItem = u"Hessaplex.SafeTaskItem";
inline constexpr std::u16string_view kMapiUtilities = u"Hessaplex.MapiUtilities";
inline constexpr std::u16string_view kSafeSession = u"Hessaplex.SafeSession";
}  // namespace progid

class SafeLibrary {
 public:
  virtual ~SafeLibrary() = default;
  // CLSIDFromProgID.
  virtual Result<Guid> classIdFromProgId(std::u16string_view progId) = 0;
  // CoCreateInstance as an in-process server.
  virtual Result<std::shared_ptr<Dispatch>> createInstance(const Guid& classId) = 0;
};

// The three steps in one, for each of the library's classes; the first failing
// step's status is the result.
namespace detail {
template <class T, class Query>
Result<std::shared_ptr<T>> createSafeObject(SafeLibrary& library, std::u16string_view progId,
                                            Query query) {
  auto classId = library.classIdFromProgId(progId);
  if (!classId) return failure(classId.error());
  auto object = library.createInstance(*classId);
  if (!object) return failure(object.error());
  if (!*object) return failure(hr::kPointer);
  return query(**object);
}
}  // namespace detail

inline Result<std::shared_ptr<SafeMailItem>> createSafeMailItem(SafeLibrary& library) {
  return detail::createSafeObject<SafeMailItem>(library, progid::kSafeMailItem,
                                                [](Dispatch& d) { return d.querySafeMailItem(); });
}
inline Result<std::shared_ptr<SafeTaskItem>> createSafeTaskItem(SafeLibrary& library) {
  return detail::createSafeObject<SafeTaskItem>(library, progid::kSafeTaskItem,
                                                [](Dispatch& d) { return d.querySafeTaskItem(); });
}
inline Result<std::shared_ptr<MapiUtilities>> createMapiUtilities(SafeLibrary& library) {
  return detail::createSafeObject<MapiUtilities>(
      library, progid::kMapiUtilities, [](Dispatch& d) { return d.queryMapiUtilities(); });
}
inline Result<std::shared_ptr<SafeSession>> createSafeSession(SafeLibrary& library) {
  return detail::createSafeObject<SafeSession>(library, progid::kSafeSession,
                                               [](Dispatch& d) { return d.querySafeSession(); });
}

}  // namespace qx
