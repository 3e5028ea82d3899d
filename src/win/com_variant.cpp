#include "win/com_variant.h"

#include "win/host_objects.h"

namespace qx::win32 {

ComVariant toComVariant(const Variant& value) {
  ComVariant result;
  VARIANT* v = result.get();
  switch (value.type()) {
    case VarType::kText: {
      const std::u16string& text = *value.text();
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                    static_cast<UINT>(text.size()));
      break;
    }
    case VarType::kLong:
      V_VT(v) = VT_I4;
      V_I4(v) = *value.asLong();
      break;
    case VarType::kDouble:
      V_VT(v) = VT_R8;
      V_R8(v) = *value.asDouble();
      break;
    case VarType::kBool:
      V_VT(v) = VT_BOOL;
      V_BOOL(v) = *value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VarType::kDate:
      V_VT(v) = VT_DATE;
      V_DATE(v) = value.asDate()->days;
      break;
    case VarType::kMissing:
      V_VT(v) = VT_ERROR;
      V_ERROR(v) = DISP_E_PARAMNOTFOUND;
      break;
    case VarType::kDispatch: {
      std::shared_ptr<Dispatch> object = value.asDispatch();
      auto* backed = dynamic_cast<const ComBacked*>(object.get());
      V_VT(v) = VT_DISPATCH;
      V_DISPATCH(v) = backed ? backed->comObject() : nullptr;
      if (V_DISPATCH(v)) V_DISPATCH(v)->AddRef();
      break;
    }
    case VarType::kEmpty:
      break;
  }
  return result;
}

Variant fromComVariant(const VARIANT& value) {
  // Arguments passed by reference arrive as VT_BYREF | type.
  const VARIANT* v = &value;
  VARIANT deref;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
  if (V_ISBYREF(v)) {
    VariantInit(&deref);
    V_VT(&deref) = V_VT(v) & ~VT_BYREF;
    switch (V_VT(&deref)) {
      case VT_DISPATCH:
        V_DISPATCH(&deref) = *V_DISPATCHREF(v);
        break;
      case VT_BSTR:
        V_BSTR(&deref) = *V_BSTRREF(v);
        break;
      case VT_I4:
        V_I4(&deref) = *V_I4REF(v);
        break;
      case VT_BOOL:
        V_BOOL(&deref) = *V_BOOLREF(v);
        break;
      default:
        return Variant();
    }
    v = &deref;  // borrowed, never cleared
  }
  switch (V_VT(v)) {
    case VT_BSTR:
      return Variant(std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(v) ? V_BSTR(v) : L""),
                                    SysStringLen(V_BSTR(v))));
    case VT_I4:
    case VT_INT:
      return Variant(static_cast<std::int32_t>(V_I4(v)));
    case VT_I2:
      return Variant(static_cast<std::int32_t>(V_I2(v)));
    case VT_UI1:
      return Variant(static_cast<std::int32_t>(V_UI1(v)));
    case VT_R8:
      return Variant(V_R8(v));
    case VT_BOOL:
      return Variant(V_BOOL(v) != VARIANT_FALSE);
    case VT_DATE:
      return Variant(DateValue{V_DATE(v)});
    case VT_DISPATCH:
      return V_DISPATCH(v) ? Variant(makeHostObject(ComPtr<IDispatch>(V_DISPATCH(v)))) : Variant();
    case VT_ERROR:
      return V_ERROR(v) == DISP_E_PARAMNOTFOUND ? Variant::missing() : Variant();
    default:
      return Variant();
  }
}

}  // namespace qx::win32
