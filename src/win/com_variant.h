#pragma once
// The host's VARIANT owned (cleared when it goes), and its conversion to and
// from the port's Variant. Objects cross as the port's generic objects.
#include <windows.h>

#include <oaidl.h>

#include <memory>

#include "platform/variant.h"

namespace qx::win32 {

class ComVariant {
 public:
  ComVariant() { VariantInit(&value_); }
  ~ComVariant() { VariantClear(&value_); }
  ComVariant(const ComVariant& other) : ComVariant() {
    VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
  }
  ComVariant& operator=(const ComVariant& other) {
    if (this != &other) VariantCopy(&value_, const_cast<VARIANT*>(&other.value_));
    return *this;
  }
  VARIANT* get() { return &value_; }
  const VARIANT* get() const { return &value_; }
  VARTYPE type() const { return V_VT(&value_); }

 private:
  VARIANT value_;
};

// The port's value as a VARIANT: objects must be adapters of this module's
// (they carry their IDispatch); others become VT_EMPTY.
ComVariant toComVariant(const Variant& value);

// A VARIANT as the port's value: BSTR, I4 (and the smaller integers), R8,
// BOOL, DATE, DISPATCH, and an omitted argument; other types become empty.
Variant fromComVariant(const VARIANT& value);

}  // namespace qx::win32
