#include "core/task_fingerprint.h"

#include <bit>
#include <string>

namespace qx {
namespace {

class Hash {
 public:
  void add(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) {
      state_ ^= (value >> (8 * i)) & 0xFF;
      state_ *= 0x100000001B3ull;
    }
  }
  void add(const std::u16string& text) {
    add(text.size());
    for (char16_t c : text) add(static_cast<std::uint64_t>(c));
  }
  std::uint64_t value() const { return state_; }

 private:
  std::uint64_t state_ = 0xCBF29CE484222325ull;
};

}  // namespace

std::optional<std::uint64_t> taskFingerprint(TaskItem& task) {
  Hash hash;
  bool ok = true;
  auto text = [&](Result<std::u16string> value) {
    if (value) hash.add(*value); else ok = false;
  };
  auto number = [&](Result<std::int32_t> value) {
    if (value) hash.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(*value)));
    else ok = false;
  };
  auto date = [&](Result<DateValue> value) {
    if (value) hash.add(std::bit_cast<std::uint64_t>(value->days));
    else ok = false;
  };
  text(task.subject());
  text(task.body());
  text(task.categories());
  text(task.owner());
  number(task.sensitivity());
  number(task.importance());
  number(task.status());
  number(task.percentComplete());
  date(task.startDate());
  date(task.dueDate());
  if (const Result<bool> complete = task.complete()) hash.add(*complete ? 1 : 0); else ok = false;
  if (!ok) return std::nullopt;
  return hash.value();
}

}  // namespace qx
