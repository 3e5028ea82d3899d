#include "mail_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/safe_utilities.h"

namespace qx::e2e {
namespace {

using sim::mail::AttachmentData;
using sim::mail::ItemData;
using sim::mail::NamedKey;

constexpr std::string_view kBoundary = "=_qx_part_boundary";
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(std::string_view bytes, std::size_t lineLength) {
  std::string out;
  std::size_t column = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t chunk = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) chunk |= static_cast<std::uint8_t>(bytes[i + 2]);
    std::size_t present = std::min<std::size_t>(3, bytes.size() - i) + 1;
    for (std::size_t k = 0; k < 4; ++k)
      out += k < present ? kAlphabet[(chunk >> (18 - 6 * k)) & 0x3F] : '=';
    column += 4;
    if (lineLength && column >= lineLength) {
      out += "\r\n";
      column = 0;
    }
  }
  if (lineLength && column) out += "\r\n";
  return out;
}

std::optional<std::string> unbase64(std::string_view text) {
  std::string out;
  std::uint32_t chunk = 0;
  int bits = 0;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    if (c == '=') break;
    auto at = kAlphabet.find(c);
    if (at == std::string_view::npos) return std::nullopt;
    chunk = (chunk << 6) | static_cast<std::uint32_t>(at);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((chunk >> bits) & 0xFF);
    }
  }
  return out;
}

bool ascii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\r' || c == '\n') return false;
  }
  return true;
}

// A header value: as it is when plain ASCII, else one encoded word.
std::string headerText(std::u16string_view text) {
  std::string utf8 = toUtf8(text);
  if (ascii(utf8)) return utf8;
  return "=?utf-8?B?" + base64(utf8, 0) + "?=";
}

std::u16string headerValue(std::string_view value) {
  if (value.starts_with("=?utf-8?B?") && value.ends_with("?=")) {
    auto decoded = unbase64(value.substr(10, value.size() - 12));
    if (decoded) return fromUtf8(*decoded);
  }
  return fromUtf8(value);
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

struct Part {
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;
  std::string header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) return value;
    }
    return {};
  }
};

// Headers (unfolded) and body of a message or a MIME part.
Part splitPart(std::string_view text) {
  Part part;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    if (line.empty()) break;
    if ((line.front() == ' ' || line.front() == '\t') && !part.headers.empty()) {
      part.headers.back().second += std::string(trim(line));
      continue;
    }
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    part.headers.emplace_back(lower(line.substr(0, colon)),
                              std::string(trim(line.substr(colon + 1))));
  }
  if (at < text.size()) part.body = std::string(text.substr(at));
  return part;
}

// A parameter of a structured header value, such as name="x".
std::string parameter(std::string_view value, std::string_view name) {
  std::string key = std::string(name) + "=";
  std::size_t at = lower(value).find(key);
  if (at == std::string::npos) return {};
  std::string_view rest = value.substr(at + key.size());
  if (rest.starts_with('"')) {
    std::size_t end = rest.find('"', 1);
    return std::string(rest.substr(1, end == std::string_view::npos ? rest.npos : end - 1));
  }
  std::size_t end = rest.find(';');
  return std::string(trim(rest.substr(0, end)));
}

constexpr std::array<std::string_view, 4> kSensitivity = {"", "Personal", "Private",
                                                          "Company-Confidential"};
constexpr std::array<std::string_view, 3> kImportance = {"low", "normal", "high"};

}  // namespace

std::string toUtf8(std::u16string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    auto byte = static_cast<std::uint8_t>(text[i]);
    int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    std::uint32_t c = extra == 0 ? byte : byte & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && i < text.size(); ++k, ++i)
      c = (c << 6) | (static_cast<std::uint8_t>(text[i]) & 0x3F);
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string writeMailFile(const ItemData& mail, std::u16string_view sender) {
  std::string out;
  out += "From: " + headerText(sender) + "\r\n";
  out += "To: " + headerText(mail.to) + "\r\n";
  out += "Subject: " + headerText(mail.subject) + "\r\n";
  if (!mail.sentOnBehalfOfName.empty())
    out += "Sender: " + headerText(mail.sentOnBehalfOfName) + "\r\n";
  if (mail.importance >= 0 && mail.importance < 3)
    out += "Importance: " + std::string(kImportance[mail.importance]) + "\r\n";
  if (mail.sensitivity > 0 && mail.sensitivity < 4)
    out += "Sensitivity: " + std::string(kSensitivity[mail.sensitivity]) + "\r\n";
  if (mail.readReceiptRequested)
    out += "Disposition-Notification-To: " + headerText(sender) + "\r\n";
  for (const auto& [key, value] : mail.namedProperties) {
    if (key.set != prop_set::kInternetHeaders || !value.text()) continue;
    out += toUtf8(key.name) + ": " + headerText(*value.text()) + "\r\n";
  }
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: multipart/mixed; boundary=\"" + std::string(kBoundary) + "\"\r\n\r\n";
  out += "--" + std::string(kBoundary) + "\r\n";
  out += "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  out += base64(toUtf8(mail.body), 76);
  for (const AttachmentData& attachment : mail.attachments) {
    std::string name = headerText(attachment.displayName);
    out += "--" + std::string(kBoundary) + "\r\n";
    out += "Content-Type: application/octet-stream; name=\"" + name + "\"\r\n";
    out += "Content-Transfer-Encoding: base64\r\n";
    out += "Content-Disposition: attachment; filename=\"" + headerText(attachment.fileName) +
           "\"\r\n\r\n";
    out += base64(std::string_view(reinterpret_cast<const char*>(attachment.content.data()),
                                   attachment.content.size()),
                  76);
  }
  out += "--" + std::string(kBoundary) + "--\r\n";
  return out;
}

std::optional<ItemData> readMailFile(std::string_view text) {
  Part message = splitPart(text);
  std::string type = message.header("content-type");
  std::string boundary = parameter(type, "boundary");
  if (boundary.empty() || message.header("from").empty()) return std::nullopt;

  ItemData mail = ItemData::newMail();
  mail.senderAddress = headerValue(message.header("from"));
  mail.to = headerValue(message.header("to"));
  mail.subject = headerValue(message.header("subject"));
  mail.sentOnBehalfOfName = headerValue(message.header("sender"));
  mail.readReceiptRequested = !message.header("disposition-notification-to").empty();
  std::string importance = lower(message.header("importance"));
  for (std::size_t i = 0; i < kImportance.size(); ++i) {
    if (importance == kImportance[i]) mail.importance = static_cast<std::int32_t>(i);
  }
  std::string sensitivity = message.header("sensitivity");
  for (std::size_t i = 1; i < kSensitivity.size(); ++i) {
    if (lower(sensitivity) == lower(kSensitivity[i]))
      mail.sensitivity = static_cast<std::int32_t>(i);
  }
  for (const auto& [name, value] : message.headers) {
    if (name.starts_with("x-"))
      mail.namedProperties[NamedKey{std::u16string(prop_set::kInternetHeaders), fromUtf8(name)}] =
          Variant(headerValue(value));
  }

  std::string delimiter = "--" + boundary;
  std::size_t at = message.body.find(delimiter);
  bool first = true;
  std::uint32_t nextId = 1;
  while (at != std::string::npos) {
    at += delimiter.size();
    if (message.body.compare(at, 2, "--") == 0) break;
    at = message.body.find('\n', at);
    if (at == std::string::npos) return std::nullopt;
    ++at;
    std::size_t end = message.body.find(delimiter, at);
    if (end == std::string::npos) return std::nullopt;
    Part part = splitPart(std::string_view(message.body).substr(at, end - at));
    auto content = unbase64(part.body);
    if (!content) return std::nullopt;
    if (first) {
      mail.body = fromUtf8(*content);
    } else {
      AttachmentData attachment;
      attachment.id = nextId++;
      attachment.displayName = headerValue(parameter(part.header("content-type"), "name"));
      attachment.fileName = headerValue(parameter(part.header("content-disposition"), "filename"));
      attachment.content.assign(content->begin(), content->end());
      mail.attachments.push_back(std::move(attachment));
    }
    first = false;
    at = end;
  }
  return mail;
}

}  // namespace qx::e2e
