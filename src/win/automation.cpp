#include "win/automation.h"

#include <string>
#include <vector>

#include "win/bstr.h"

namespace qx::win32 {

Result<ComVariant> Automation::invoke(std::u16string_view name, WORD flags,
                                      std::initializer_list<Variant> arguments, bool isPut) {
  if (!object_) return failure(E_POINTER);
  std::u16string memberName(name);
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(memberName.data())};
  DISPID member = DISPID_UNKNOWN;
  HRESULT status = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(status)) return failure(status);

  // Invoke takes its arguments last first.
  std::vector<ComVariant> converted;
  converted.reserve(arguments.size());
  for (auto it = arguments.end(); it != arguments.begin();)
    converted.push_back(toComVariant(*--it));
  std::vector<VARIANT> raw;
  raw.reserve(converted.size());
  for (ComVariant& argument : converted) raw.push_back(*argument.get());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{raw.data(), isPut ? &putId : nullptr, static_cast<UINT>(raw.size()),
                        isPut ? 1u : 0u};
  ComVariant result;
  EXCEPINFO exception{};
  UINT badArgument = 0;
  status = object_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                           isPut ? nullptr : result.get(), &exception, &badArgument);
  // A server may leave the exception's details to be filled in on demand;
  // until then its scode is empty and only DISP_E_EXCEPTION is known.
  if (status == DISP_E_EXCEPTION && exception.pfnDeferredFillIn) {
    auto fillIn = exception.pfnDeferredFillIn;
    exception.pfnDeferredFillIn = nullptr;
    fillIn(&exception);
  }
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  if (status == DISP_E_EXCEPTION && FAILED(exception.scode)) status = exception.scode;
  if (FAILED(status)) return failure(status);
  return result;
}

Result<ComVariant> Automation::get(std::u16string_view name) {
  return invoke(name, DISPATCH_PROPERTYGET, {}, false);
}

Result<ComVariant> Automation::call(std::u16string_view name,
                                    std::initializer_list<Variant> arguments) {
  return invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments, false);
}

// Servers declare object properties as put or as put-by-reference; one that
// knows only the latter answers a put with "member not found".
Hresult Automation::putValue(std::u16string_view name, std::initializer_list<Variant> arguments,
                             const Variant& value) {
  auto result = invoke(name, DISPATCH_PROPERTYPUT, arguments, true);
  if (!result && result.error() == DISP_E_MEMBERNOTFOUND && value.type() == VarType::kDispatch)
    result = invoke(name, DISPATCH_PROPERTYPUTREF, arguments, true);
  return result ? S_OK : result.error();
}

Hresult Automation::put(std::u16string_view name, const Variant& value) {
  return putValue(name, {value}, value);
}

Result<ComVariant> Automation::getWith(std::u16string_view name,
                                       std::initializer_list<Variant> arguments) {
  return invoke(name, DISPATCH_PROPERTYGET, arguments, false);
}

Hresult Automation::putIndexed(std::u16string_view name, const Variant& index,
                               const Variant& value) {
  return putValue(name, {index, value}, value);
}

bool Automation::hasMember(std::u16string_view name) {
  if (!object_) return false;
  std::u16string memberName(name);
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(memberName.data())};
  DISPID member = DISPID_UNKNOWN;
  return SUCCEEDED(object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member));
}

Result<ComVariant> Automation::callWithLongOut(std::u16string_view name, std::int32_t& value) {
  if (!object_) return failure(E_POINTER);
  std::u16string memberName(name);
  LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(memberName.data())};
  DISPID member = DISPID_UNKNOWN;
  HRESULT status = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &member);
  if (FAILED(status)) return failure(status);
  LONG number = value;
  VARIANT argument;
  VariantInit(&argument);
  V_VT(&argument) = VT_I4 | VT_BYREF;
  V_I4REF(&argument) = &number;
  DISPPARAMS parameters{&argument, nullptr, 1, 0};
  ComVariant result;
  status = object_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters,
                           result.get(), nullptr, nullptr);
  if (FAILED(status)) return failure(status);
  value = number;
  return result;
}

Result<std::u16string> Automation::getText(std::u16string_view name) {
  auto value = get(name);
  if (!value) return failure(value.error());
  if (value->type() != VT_BSTR) {
    ComVariant text;
    HRESULT status = VariantChangeType(text.get(), value->get(), 0, VT_BSTR);
    if (FAILED(status)) return failure(status);
    return std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(text.get())),
                          SysStringLen(V_BSTR(text.get())));
  }
  return std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(value->get())),
                        SysStringLen(V_BSTR(value->get())));
}

Result<std::int32_t> Automation::getLong(std::u16string_view name) {
  auto value = get(name);
  if (!value) return failure(value.error());
  ComVariant number;
  HRESULT status = VariantChangeType(number.get(), value->get(), 0, VT_I4);
  if (FAILED(status)) return failure(status);
  return V_I4(number.get());
}

Result<bool> Automation::getBool(std::u16string_view name) {
  auto value = get(name);
  if (!value) return failure(value.error());
  ComVariant flag;
  HRESULT status = VariantChangeType(flag.get(), value->get(), 0, VT_BOOL);
  if (FAILED(status)) return failure(status);
  return V_BOOL(flag.get()) != VARIANT_FALSE;
}

Result<DateValue> Automation::getDate(std::u16string_view name) {
  auto value = get(name);
  if (!value) return failure(value.error());
  ComVariant date;
  HRESULT status = VariantChangeType(date.get(), value->get(), 0, VT_DATE);
  if (FAILED(status)) return failure(status);
  return DateValue{V_DATE(date.get())};
}

Result<ComPtr<IDispatch>> optionalObjectOf(Result<ComVariant> value) {
  if (!value) return failure(value.error());
  if (value->type() == VT_EMPTY || value->type() == VT_NULL) return ComPtr<IDispatch>();
  if (value->type() != VT_DISPATCH) return failure(DISP_E_TYPEMISMATCH);
  return ComPtr<IDispatch>(V_DISPATCH(value->get()));
}

Result<ComPtr<IDispatch>> objectOf(Result<ComVariant> value) {
  auto object = optionalObjectOf(std::move(value));
  if (object && !*object) return failure(E_POINTER);
  return object;
}

Result<ComPtr<IDispatch>> Automation::getObject(std::u16string_view name) {
  return objectOf(get(name));
}

Result<ComPtr<IDispatch>> Automation::callObject(std::u16string_view name,
                                                 std::initializer_list<Variant> arguments) {
  return objectOf(call(name, arguments));
}

Result<ComPtr<IDispatch>> Automation::callOptionalObject(std::u16string_view name,
                                                         std::initializer_list<Variant> arguments) {
  return optionalObjectOf(call(name, arguments));
}

}  // namespace qx::win32
