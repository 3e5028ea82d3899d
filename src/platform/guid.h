#pragma once
// GUID generation and the host's text form of a GUID.
#include <array>
#include <cstdint>
#include <span>

#include "platform/status.h"

namespace qx {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

class GuidSource {
 public:
  virtual ~GuidSource() = default;
  // CoCreateGuid.
  virtual Hresult create(Guid& guid) = 0;
  // StringFromGUID2: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case with
  // terminator; returns the characters written including the terminator, or 0
  // when the buffer holds fewer than 39.
  virtual int toString(const Guid& guid, std::span<char16_t> buffer) = 0;
};

}  // namespace qx
