#pragma once
// The thread's locale: its UI language and the way it writes a date value.
#include <cstdint>
#include <string>

#include "platform/status.h"

namespace qx {

// A Windows language id: primary language in the low 10 bits, sublanguage above.
using LangId = std::uint16_t;

namespace lang {
inline constexpr LangId kNeutral = 0x0000;
inline constexpr LangId kEnglishUs = 0x0409;
inline constexpr LangId kGerman = 0x0407;
inline constexpr LangId kSpanish = 0x0C0A;
inline constexpr LangId primary(LangId id) { return id & 0x3FF; }
inline constexpr LangId kPrimaryGerman = 0x07;
inline constexpr LangId kPrimarySpanish = 0x0A;
}  // namespace lang

class Locale {
 public:
  virtual ~Locale() = default;
  // LANGIDFROMLCID(GetThreadLocale()).
  virtual LangId threadLanguage() = 0;
  // VarBstrFromDate for the user's default locale, no flags: the date and the
  // time as the locale writes them. Fails for dates it cannot convert.
  virtual Result<std::u16string> formatDate(double hostDate) = 0;
};

}  // namespace qx
