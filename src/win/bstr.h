#pragma once
// An owned BSTR: freed when it goes, handed out as the host's wide string.
#include <windows.h>

#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace qx::win32 {

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::u16string_view text)
      : bstr_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(bstr_); }
  Bstr(Bstr&& other) noexcept : bstr_(std::exchange(other.bstr_, nullptr)) {}
  Bstr& operator=(Bstr&& other) noexcept {
    std::swap(bstr_, other.bstr_);
    return *this;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR get() const { return bstr_; }
  // For out arguments: frees what is held first.
  BSTR* out() {
    SysFreeString(std::exchange(bstr_, nullptr));
    return &bstr_;
  }
  BSTR release() { return std::exchange(bstr_, nullptr); }
  std::u16string text() const {
    return std::u16string(reinterpret_cast<const char16_t*>(bstr_ ? bstr_ : L""),
                          SysStringLen(bstr_));
  }

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace qx::win32
