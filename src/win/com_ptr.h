#pragma once
// A counted COM interface pointer: AddRef on copy, Release when it goes.
#include <windows.h>

#include <unknwn.h>

#include <utility>

namespace qx::win32 {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a reference of its own.
  explicit ComPtr(T* pointer) : pointer_(pointer) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.pointer_) {}
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Adopts a reference the caller already owns.
  static ComPtr adopt(T* pointer) {
    ComPtr result;
    result.pointer_ = pointer;
    return result;
  }

  void reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out arguments: releases what is held first.
  T** put() {
    reset();
    return &pointer_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(pointer_, nullptr); }

  template <class U>
  HRESULT queryInterface(REFIID iid, ComPtr<U>& result) const {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(iid, result.putVoid());
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace qx::win32
