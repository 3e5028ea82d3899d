#pragma once
// Scenarios are written in UTF-8; the host speaks UTF-16 and the add-in's
// files and registry hold Windows-1252 bytes. These convert between them.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/utf_text.h"

namespace qx::tools {

// Windows-1252 bytes, as the add-in writes them.
std::string ansiToUtf8(std::string_view ansi);
std::string utf8ToAnsi(std::string_view text);
// Whether every character of the UTF-8 text has a byte in Windows-1252, so
// that the registry and files can hold it as written.
bool fitsCodePage(std::string_view text);

// Where the first ill-formed part of UTF-8 text starts (a stray or missing
// continuation byte, an overlong form, an encoded surrogate, a code point
// beyond U+10FFFF), as a byte offset; none when the text is well formed.
std::optional<std::size_t> invalidUtf8At(std::string_view text);

// Makes control characters visible for the transcript and failure messages.
std::string printable(std::string_view utf8);

}  // namespace qx::tools
