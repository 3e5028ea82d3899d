#pragma once
// Scenarios are written in UTF-8; the host speaks UTF-16 and the add-in's
// files and registry hold Windows-1252 bytes. These convert between them.
#include <string>
#include <string_view>

namespace qx::tools {

// Malformed UTF-8 becomes U+FFFD, so a stray byte cannot hide a mismatch.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);
// Windows-1252 bytes, as the add-in writes them.
std::string ansiToUtf8(std::string_view ansi);
std::string utf8ToAnsi(std::string_view text);
// Whether every character of the UTF-8 text has a byte in Windows-1252, so
// that the registry and files can hold it as written.
bool fitsCodePage(std::string_view text);

// Makes control characters visible for the transcript and failure messages.
std::string printable(std::string_view utf8);

}  // namespace qx::tools
