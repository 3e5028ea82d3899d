#pragma once
// The locale of a simulated user: a fixed UI language and the way that
// language's locale writes a date value. German and its regional variants
// write "06.12.2026 14:53:09", Spanish ones "06/12/2026 14:53:09", every
// other language as US English: "12/6/2026 2:53:09 PM".
#include <string>

#include "platform/locale.h"
#include "sim/faults.h"

namespace qx::sim {

class LocaleSim final : public Locale {
 public:
  explicit LocaleSim(Faults& faults, LangId language = lang::kEnglishUs)
      : faults_(faults), language_(language) {}

  void setLanguage(LangId language) { language_ = language; }

  LangId threadLanguage() override { return language_; }
  // "locale.formatDate" can fail it.
  Result<std::u16string> formatDate(double hostDate) override;

 private:
  Faults& faults_;
  LangId language_;
};

}  // namespace qx::sim
