#pragma once
// UTF-16 (the host's text) and UTF-8 (files, mail, scenarios, resource
// scripts) into each other, for every layer that needs it: the stand-in, the
// tools and the module's build.
#include <string>
#include <string_view>

namespace qx {

// A surrogate without its partner becomes U+FFFD: UTF-8 has no form for it.
std::string utf16ToUtf8(std::u16string_view text);
// Appends the UTF-8 form of a code point (U+10FFFF at most).
void appendUtf8(std::string& out, char32_t codePoint);
// Each ill-formed part (a stray or missing continuation byte, an overlong
// form, an encoded surrogate, a code point beyond U+10FFFF) becomes one
// U+FFFD, as readers show it, so that a stray byte can never hide a
// mismatch nor swallow the characters after it.
std::u16string utf8ToUtf16(std::string_view text);

}  // namespace qx
