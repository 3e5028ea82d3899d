#pragma once
// The host's VARIANT as far as the add-in and the host exchange values: empty,
// an omitted optional argument, text (the host's BSTR), a 32-bit long, a double,
// a boolean, a date and an object reference.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace qx {

class Dispatch;

// The host's variant type codes, so that logs and adapters can name them.
enum class VarType : std::uint16_t {
  kEmpty = 0,     // VT_EMPTY
  kLong = 3,      // VT_I4
  kDouble = 5,    // VT_R8
  kDate = 7,      // VT_DATE
  kText = 8,      // VT_BSTR
  kDispatch = 9,  // VT_DISPATCH
  kMissing = 10,  // VT_ERROR holding "parameter not found": an omitted optional argument
  kBool = 11,     // VT_BOOL
};

// A date value of the host: days since 1899-12-30, the fraction is the time of
// day. The host's "no date" is 4501-01-01 (949998).
struct DateValue {
  double days = 0;
  friend bool operator==(const DateValue&, const DateValue&) = default;
};
inline constexpr DateValue kNoDate{949998.0};

class Variant {
 public:
  Variant() = default;
  Variant(std::u16string text) : value_(std::move(text)) {}
  Variant(std::u16string_view text) : value_(std::u16string(text)) {}
  Variant(const char16_t* text) : value_(std::u16string(text)) {}
  Variant(std::int32_t number) : value_(number) {}
  Variant(double number) : value_(number) {}
  Variant(bool flag) : value_(flag) {}
  Variant(DateValue date) : value_(date) {}
  Variant(std::shared_ptr<Dispatch> object) : value_(std::move(object)) {}
  // Narrow texts are never host texts: they must be converted first.
  Variant(const char*) = delete;

  // An omitted optional argument.
  static Variant missing() {
    Variant v;
    v.value_ = Missing{};
    return v;
  }

  VarType type() const {
    switch (value_.index()) {
      case 1:
        return VarType::kMissing;
      case 2:
        return VarType::kText;
      case 3:
        return VarType::kLong;
      case 4:
        return VarType::kDouble;
      case 5:
        return VarType::kBool;
      case 6:
        return VarType::kDate;
      case 7:
        return VarType::kDispatch;
      default:
        return VarType::kEmpty;
    }
  }
  bool isEmpty() const { return type() == VarType::kEmpty; }
  bool isMissing() const { return type() == VarType::kMissing; }

  // The value when the variant holds that type, none otherwise (no coercion).
  const std::u16string* text() const { return std::get_if<std::u16string>(&value_); }
  std::optional<std::int32_t> asLong() const { return get<std::int32_t>(); }
  std::optional<double> asDouble() const { return get<double>(); }
  std::optional<bool> asBool() const { return get<bool>(); }
  std::optional<DateValue> asDate() const { return get<DateValue>(); }
  std::shared_ptr<Dispatch> asDispatch() const {
    auto* p = std::get_if<std::shared_ptr<Dispatch>>(&value_);
    return p ? *p : nullptr;
  }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  struct Missing {
    friend bool operator==(const Missing&, const Missing&) = default;
  };
  template <class T>
  std::optional<T> get() const {
    auto* p = std::get_if<T>(&value_);
    return p ? std::optional<T>(*p) : std::nullopt;
  }
  std::variant<std::monostate, Missing, std::u16string, std::int32_t, double, bool, DateValue,
               std::shared_ptr<Dispatch>>
      value_;
};

}  // namespace qx
