#pragma once
// Members of an automation object called by name, as a script would: the
// name is looked up with GetIDsOfNames, then Invoke runs it with the
// arguments in their natural order.
#include <windows.h>

#include <oaidl.h>

#include <initializer_list>
#include <string_view>

#include "platform/status.h"
#include "win/com_ptr.h"
#include "win/com_variant.h"

namespace qx::win32 {

class Automation {
 public:
  explicit Automation(ComPtr<IDispatch> object) : object_(std::move(object)) {}

  IDispatch* object() const { return object_.get(); }

  // A property's value.
  Result<ComVariant> get(std::u16string_view name);
  // A method (or a property with arguments); its result, empty for none.
  Result<ComVariant> call(std::u16string_view name, std::initializer_list<Variant> arguments = {});
  // Sets a property; an object is set by reference where the server wants it.
  Hresult put(std::u16string_view name, const Variant& value);
  // A property with arguments (an indexed property).
  Result<ComVariant> getWith(std::u16string_view name, std::initializer_list<Variant> arguments);
  // Sets a property with one index argument.
  Hresult putIndexed(std::u16string_view name, const Variant& index, const Variant& value);
  // Whether the object knows a member of that name.
  bool hasMember(std::u16string_view name);
  // Runs a method whose one argument is a number passed by reference.
  Result<ComVariant> callWithLongOut(std::u16string_view name, std::int32_t& value);

  // Typed reads of a property or call result.
  Result<std::u16string> getText(std::u16string_view name);
  Result<std::int32_t> getLong(std::u16string_view name);
  Result<bool> getBool(std::u16string_view name);
  Result<DateValue> getDate(std::u16string_view name);
  // An object the host must give: an empty or null answer fails (E_POINTER),
  // so that no caller ever holds a successful null.
  Result<ComPtr<IDispatch>> getObject(std::u16string_view name);
  Result<ComPtr<IDispatch>> callObject(std::u16string_view name,
                                       std::initializer_list<Variant> arguments);
  // A call that may answer "none" (a search without a match, no explorer):
  // empty or null is a null pointer, not a failure.
  Result<ComPtr<IDispatch>> callOptionalObject(std::u16string_view name,
                                               std::initializer_list<Variant> arguments);

 private:
  Result<ComVariant> invoke(std::u16string_view name, WORD flags,
                            std::initializer_list<Variant> arguments, bool isPut);
  Hresult putValue(std::u16string_view name, std::initializer_list<Variant> arguments,
                   const Variant& value);
  ComPtr<IDispatch> object_;
};

// The object a result holds, or an error; an empty result fails.
Result<ComPtr<IDispatch>> objectOf(Result<ComVariant> value);
// The same, where an empty result is no object.
Result<ComPtr<IDispatch>> optionalObjectOf(Result<ComVariant> value);

}  // namespace qx::win32
