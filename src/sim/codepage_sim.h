#pragma once
// The ANSI code page of a simulated user's thread: Windows-1252, in both
// directions, as the system converts it.
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "sim/faults.h"

namespace qx::sim {

class CodePageSim final : public CodePage {
 public:
  explicit CodePageSim(Faults& faults) : faults_(faults) {}

  Result<std::string> toAnsi(std::u16string_view wide) override;
  Result<std::u16string> toWide(std::string_view ansi) override;

  // The plain conversions, for other stand-ins that hold ANSI texts (the
  // registry's .reg files) and must not count as calls of the add-in.
  static char16_t toWideChar(unsigned char byte);
  // '?' when the character has no byte in the code page.
  static char toAnsiChar(char16_t c);
  static std::u16string widen(std::string_view ansi);
  static std::string narrow(std::u16string_view wide);

 private:
  Faults& faults_;
};

}  // namespace qx::sim
