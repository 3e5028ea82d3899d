#include "sim/mail/safe_library_sim.h"

#include "sim/mail/mail_text.h"
#include "sim/mail/safe_objects.h"

namespace qx::sim {

namespace {
struct LibraryClass {
  std::u16string_view progId;
  std::uint32_t number;
  std::shared_ptr<Dispatch> (*make)(std::shared_ptr<mail::ClientCore>);
};
constexpr LibraryClass kClasses[] = {
    {progid::kSafeMailItem, 1, &mail::makeSafeMailItem},
    {progid::kSafeTaskItem, 2, &mail::makeSafeTaskItem},
    {progid::kMapiUtilities, 3, &mail::makeMapiUtilities},
    {progid::kSafeSession, 4, &mail::makeSafeSession},
};
constexpr Guid classGuid(std::uint32_t number) {
  return Guid{
      0x7C3E5A10u + number, 0x4B2D, 0x4E61, {0x9A, 0x35, 0x1F, 0x6C, 0x20, 0x8D, 0x41, 0x5B}};
}
}  // namespace

Guid SafeLibrarySim::classIdOf(std::u16string_view progId) {
  for (const LibraryClass& c : kClasses) {
    if (mail::equalsIgnoreCase(c.progId, progId)) return classGuid(c.number);
  }
  return Guid{};
}

Result<Guid> SafeLibrarySim::classIdFromProgId(std::u16string_view progId) {
  if (auto f = core_->fault("safe.CLSIDFromProgID")) return failure(*f);
  if (core_->libraryState == mail::LibraryState::kProgIdUnknown) {
    return failure(hr::kInvalidClassString);
  }
  Guid id = classIdOf(progId);
  if (id == Guid{}) return failure(hr::kInvalidClassString);
  return id;
}

Result<std::shared_ptr<Dispatch>> SafeLibrarySim::createInstance(const Guid& classId) {
  if (auto f = core_->fault("safe.CreateInstance")) return failure(*f);
  if (core_->libraryState != mail::LibraryState::kInstalled) {
    return failure(hr::kClassNotRegistered);
  }
  for (const LibraryClass& c : kClasses) {
    if (classGuid(c.number) == classId) return c.make(core_);
  }
  return failure(hr::kClassNotRegistered);
}

}  // namespace qx::sim
