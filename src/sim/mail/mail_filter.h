#pragma once
// Field references and Find filters of the simulated item collections.
#include <optional>
#include <string>
#include <string_view>

namespace qx::sim::mail {

// "[Subject]" or a user field "[name]".
struct FieldRef {
  bool isSubject = false;
  std::u16string folded;  // the user field's folded name
  friend bool operator==(const FieldRef&, const FieldRef&) = default;
};

// "[Field] = 'value'" (or "value" in double quotes; a doubled quote stands for
// itself). Comparison is without regard to case, so the value is kept folded.
struct Filter {
  FieldRef field;
  std::u16string foldedValue;
};

std::optional<FieldRef> parseFieldRef(std::u16string_view text);
std::optional<Filter> parseFilter(std::u16string_view text);

}  // namespace qx::sim::mail
