#pragma once
// The encodings of internet mail that the stand-in writes and reads: UTF-8,
// base64, quoted-printable, encoded words in headers (RFC 2047) and
// parameter values in RFC 2231 form. Readers accept what any standard mail
// system may legally write, not only what the stand-in writes itself.
#include <optional>
#include <string>
#include <string_view>

#include "platform/utf_text.h"

namespace qx::sim::mail {

// The mail code's short names for the converters every layer shares.
inline std::string toUtf8(std::u16string_view text) { return utf16ToUtf8(text); }
inline std::u16string fromUtf8(std::string_view text) { return utf8ToUtf16(text); }
// Text in a charset that mail labels name: UTF-8, US-ASCII, ISO-8859-1 and
// Windows-1252 (ISO-8859-1 as the web reads it); none for any other.
std::optional<std::u16string> decodeCharset(std::string_view bytes, std::string_view charset);

// Lines of `lineLength` characters ended by CR LF (0: one line, no end).
std::string base64Encode(std::string_view bytes, std::size_t lineLength);
// Ignores line breaks and blanks; none for any other character outside the
// alphabet.
std::optional<std::string> base64Decode(std::string_view text);
// Soft line breaks and =XX escapes; a malformed escape is taken literally.
std::string quotedPrintableDecode(std::string_view text);
// Lines of at most 76 characters ended by CR LF; line breaks of the text
// stay hard line breaks.
std::string quotedPrintableEncode(std::string_view bytes);

// A header text: as it is when plain printable ASCII that can be folded
// within 998 characters a line, else encoded words of UTF-8 in base64,
// folded, no line longer than 76 when `firstLineUsed` characters of the
// first line ("Subject: ") come before the text.
std::string encodeHeaderText(std::u16string_view text, std::size_t firstLineUsed = 0);
// A parameter of a structured header, with its "; " before it: name="value"
// for short plain ASCII, else in RFC 2231 form (name*0*=utf-8''%XX...;
// name*1*=...) in sections short enough for a header line.
std::string headerParameterText(std::string_view name, std::u16string_view value);
// Always in RFC 2231 form, as some gateways rewrite every name.
std::string rfc2231Parameter(std::string_view name, std::u16string_view value);
// Decodes the encoded words of an unstructured header (B or Q, in any
// charset decodeCharset knows); the blanks between adjacent encoded words
// vanish. Raw 8-bit text is read as UTF-8.
std::u16string decodeHeaderText(std::string_view text);

// A parameter of a structured header such as Content-Type: plain, quoted,
// RFC 2231 (name*=charset'lang'%XX...) with continuations (name*0, name*1*),
// or an encoded word inside quotes as many clients write it. None when the
// header has no such parameter.
std::optional<std::u16string> headerParameter(std::string_view value, std::string_view name);
// The value before the first ';', lower case and trimmed (a media type).
std::string headerMainValue(std::string_view value);

std::string lowerAscii(std::string_view text);

}  // namespace qx::sim::mail
