#include "sim/mail/mime_message.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/safe_utilities.h"
#include "sim/clock_sim.h"
#include "sim/mail/mail_text.h"
#include "sim/mail/mime_text.h"

namespace qx::sim::mail {
namespace {

constexpr std::string_view kBoundary = "=_qx_part_boundary";
constexpr std::array<std::string_view, 4> kSensitivity = {"", "Personal", "Private",
                                                          "Company-Confidential"};
constexpr std::array<std::string_view, 3> kImportance = {"low", "normal", "high"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Thu", "Fri", "Sat", "Sun",
                                                       "Mon", "Tue", "Wed"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr double kHostDaysAtEpoch = 25569.0;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

struct Part {
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string_view body;
  bool hasHeaderBlock = false;
  std::string header(std::string_view name) const {
    for (const auto& [key, value] : headers)
      if (key == name) return value;
    return {};
  }
};

// Headers (unfolded) and body of a message or a MIME part. A part that
// starts with its blank line has no headers (the defaults apply).
Part splitPart(std::string_view text) {
  Part part;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = std::min(end + 1, text.size());
    if (line.empty()) {
      part.hasHeaderBlock = true;
      break;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !part.headers.empty()) {
      part.headers.back().second += " ";
      part.headers.back().second += std::string(trim(line));
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) continue;  // not a header: skip it
    part.headers.emplace_back(lowerAscii(trim(line.substr(0, colon))),
                              std::string(trim(line.substr(colon + 1))));
  }
  part.body = text.substr(at);
  return part;
}

// The bodies of a multipart, between its delimiter lines.
std::vector<std::string_view> subparts(std::string_view body, std::string_view boundary) {
  std::vector<std::string_view> parts;
  const std::string delimiter = "--" + std::string(boundary);
  std::size_t start = std::string_view::npos;
  std::size_t at = 0;
  while (at <= body.size()) {
    std::size_t end = body.find('\n', at);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = trim(body.substr(at, end - at));
    if (line.starts_with(delimiter)) {
      const std::string_view rest = line.substr(delimiter.size());
      if (rest.empty() || rest == "--") {
        if (start != std::string_view::npos) {
          // The line break before a delimiter belongs to the delimiter.
          std::size_t stop = at;
          if (stop > start && body[stop - 1] == '\n') --stop;
          if (stop > start && body[stop - 1] == '\r') --stop;
          parts.push_back(body.substr(start, stop - start));
        }
        if (rest == "--") return parts;
        start = std::min(end + 1, body.size());
      }
    }
    if (end >= body.size()) break;
    at = end + 1;
  }
  return parts;  // a missing close delimiter ends the last part at the end
}

std::optional<std::string> decodeContent(const Part& part) {
  const std::string encoding = lowerAscii(trim(part.header("content-transfer-encoding")));
  if (encoding == "base64") return base64Decode(part.body);
  if (encoding == "quoted-printable") return quotedPrintableDecode(part.body);
  return std::string(part.body);
}

// The bare addresses of an address list, in order: "Name <addr>", "addr" or
// "addr (comment)", separated by ',' (or ';', as hosts write them).
std::vector<std::string> addresses(std::string_view list) {
  std::vector<std::string> out;
  std::string bare;
  std::string inAngle;
  enum { kOutside, kInAngle, kAfterAngle } angle = kOutside;
  bool quoted = false;
  int comment = 0;
  auto finish = [&] {
    const std::string address(trim(angle == kOutside ? bare : inAngle));
    if (!address.empty()) out.push_back(address);
    bare.clear();
    inAngle.clear();
    angle = kOutside;
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    const char c = list[i];
    if (quoted) {
      if (c == '\\') ++i;
      if (c == '"') quoted = false;
    } else if (comment > 0) {
      comment += c == '(' ? 1 : c == ')' ? -1 : 0;
    } else if (c == '"') {
      quoted = true;
      bare.clear();
    } else if (c == '(') {
      ++comment;
    } else if (c == '<' && angle == kOutside) {
      angle = kInAngle;
    } else if (c == '>' && angle == kInAngle) {
      angle = kAfterAngle;
    } else if ((c == ',' || c == ';') && angle != kInAngle) {
      finish();
    } else if (angle == kInAngle) {
      inAngle += c;
    } else if (angle == kOutside && c != ' ' && c != '\t') {
      bare += c;
    }
  }
  finish();
  return out;
}

// The display name of a mailbox ("Name <addr>" or "addr (Name)").
std::u16string displayName(std::string_view mailbox) {
  const std::size_t angle = mailbox.find('<');
  std::string_view phrase = trim(mailbox.substr(0, angle));
  if (angle == std::string_view::npos) return {};
  if (phrase.size() >= 2 && phrase.front() == '"' && phrase.back() == '"') {
    std::string unquoted;
    for (std::size_t i = 1; i + 1 < phrase.size(); ++i) {
      if (phrase[i] == '\\' && i + 2 < phrase.size()) ++i;
      unquoted += phrase[i];
    }
    return decodeHeaderText(unquoted);
  }
  return decodeHeaderText(phrase);
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A header line, folded at blanks so that no line grows past 76 characters
// where a blank allows it (encoded words come folded already).
std::string headerLine(std::string_view name, std::string_view value) {
  std::string line = std::string(name) + ": ";
  std::size_t column = line.size();
  std::size_t at = 0;
  while (at < value.size()) {
    std::size_t end = value.find(' ', at + 1);
    if (end == std::string_view::npos) end = value.size();
    std::string_view word = value.substr(at, end - at);
    if (column + word.size() > 76 && column > name.size() + 2 && word.front() == ' ') {
      line += "\r\n";
      column = 0;
    }
    line += word;
    const std::size_t lineBreak = word.rfind('\n');
    column = lineBreak == std::string_view::npos ? column + word.size() : word.size() - lineBreak - 1;
    at = end;
  }
  return line + "\r\n";
}

std::string mailbox(std::u16string_view name, std::u16string_view address) {
  const std::string encoded = encodeHeaderText(name, 8);  // "Sender: "
  const std::string phrase = encoded.starts_with("=?") ? encoded : quoted(encoded);
  return phrase + " <" + toUtf8(address) + ">";
}

struct Walk {
  ItemData& mail;
  bool bodyFound = false;
  std::uint32_t nextId = 1;
};

bool collect(const Part& part, Walk& walk, int depth) {
  if (depth > 16) return false;
  const std::string contentType = part.header("content-type");
  const std::string type = contentType.empty() ? "text/plain" : headerMainValue(contentType);
  if (type.starts_with("multipart/")) {
    const auto boundary = headerParameter(contentType, "boundary");
    if (!boundary || boundary->empty()) return false;
    for (std::string_view text : subparts(part.body, toUtf8(*boundary))) {
      if (!collect(splitPart(text), walk, depth + 1)) return false;
    }
    return true;
  }
  const std::string dispositionHeader = part.header("content-disposition");
  const std::string disposition = headerMainValue(dispositionHeader);
  auto fileName = headerParameter(dispositionHeader, "filename");
  auto name = headerParameter(contentType, "name");
  auto content = decodeContent(part);
  if (!content) return false;
  const bool attached = disposition == "attachment" || fileName || name;
  if (!attached && type.starts_with("text/")) {
    // The first plain text is the body; other texts (an HTML alternative, a
    // footer part a mail system added) are not attachments either.
    if (!walk.bodyFound && type == "text/plain") {
      // Text travels with CR LF line ends (its canonical form); the host
      // keeps its own, LF.
      std::u16string body = decodeCharset(*content, headerParameter(contentType, "charset")
                                                        .transform([](const std::u16string& c) {
                                                          return toUtf8(c);
                                                        })
                                                        .value_or(""))
                                .value_or(fromUtf8(*content));
      walk.mail.body.clear();
      for (std::size_t i = 0; i < body.size(); ++i)
        if (body[i] != u'\r' || i + 1 == body.size() || body[i + 1] != u'\n')
          walk.mail.body.push_back(body[i]);
      walk.bodyFound = true;
    }
    return true;
  }
  AttachmentData attachment;
  attachment.id = walk.nextId++;
  attachment.displayName = name.value_or(fileName.value_or(u""));
  attachment.fileName = fileName.value_or(name.value_or(u""));
  attachment.content.assign(content->begin(), content->end());
  walk.mail.attachments.push_back(std::move(attachment));
  return true;
}

std::int64_t daysFromCivil(int year, unsigned month, unsigned day) {
  using namespace std::chrono;
  return sys_days(std::chrono::year(year) / std::chrono::month(month) / std::chrono::day(day))
      .time_since_epoch()
      .count();
}

}  // namespace

std::string rfc5322Date(std::int64_t seconds) {
  using namespace std::chrono;
  const std::int64_t days = seconds >= 0 ? seconds / kSecondsPerDay
                                         : -((kSecondsPerDay - 1 - seconds) / kSecondsPerDay);
  const std::int64_t secondOfDay = seconds - days * kSecondsPerDay;
  const year_month_day date{sys_days{std::chrono::days{days}}};
  char text[64];
  std::snprintf(text, sizeof text, "%s, %u %s %d %02d:%02d:%02d +0000",
                std::string(kWeekdays[static_cast<std::size_t>(((days % 7) + 7) % 7)]).c_str(),
                static_cast<unsigned>(date.day()),
                std::string(kMonths[static_cast<unsigned>(date.month()) - 1]).c_str(),
                static_cast<int>(date.year()), static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

std::optional<std::int64_t> parseRfc5322Date(std::string_view text) {
  // [day-of-week ","] day month year hour ":" minute [":" second] zone,
  // with comments and extra blanks allowed.
  std::string clean;
  int comment = 0;
  for (char c : text) {
    if (c == '(') ++comment;
    if (comment == 0) clean += c == ',' ? ' ' : c;
    if (c == ')' && comment > 0) --comment;
  }
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < clean.size()) {
    const std::size_t start = clean.find_first_not_of(" \t\r\n", at);
    if (start == std::string::npos) break;
    const std::size_t end = clean.find_first_of(" \t\r\n", start);
    words.push_back(clean.substr(start, end == std::string::npos ? end : end - start));
    at = end == std::string::npos ? clean.size() : end;
  }
  if (!words.empty() && !words[0].empty() && !std::isdigit(static_cast<unsigned char>(words[0][0])))
    words.erase(words.begin());
  if (words.size() < 4) return std::nullopt;
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (std::sscanf(words[0].c_str(), "%d", &day) != 1) return std::nullopt;
  unsigned month = 0;
  for (unsigned m = 0; m < kMonths.size(); ++m)
    if (lowerAscii(words[1]) == lowerAscii(kMonths[m])) month = m + 1;
  if (month == 0 || std::sscanf(words[2].c_str(), "%d", &year) != 1) return std::nullopt;
  if (year < 50) year += 2000;
  else if (year < 1000) year += 1900;
  const int fields = std::sscanf(words[3].c_str(), "%d:%d:%d", &hour, &minute, &second);
  if (fields < 2 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  int offsetMinutes = 0;
  if (words.size() > 4) {
    const std::string& zone = words[4];
    if ((zone[0] == '+' || zone[0] == '-') && zone.size() == 5) {
      const int value = std::atoi(zone.c_str() + 1);
      offsetMinutes = (value / 100) * 60 + value % 100;
      if (zone[0] == '-') offsetMinutes = -offsetMinutes;
    }
  }
  return daysFromCivil(year, month, static_cast<unsigned>(day)) * kSecondsPerDay + hour * 3600 +
         minute * 60 + second - offsetMinutes * 60;
}

std::string renderMessage(const ItemData& mail, std::u16string_view sender,
                          const MessageStamp& stamp) {
  std::string out;
  out += headerLine("From", toUtf8(sender));
  std::string to;
  for (const std::u16string& address : splitAddresses(mail.to))
    to += (to.empty() ? "" : ", ") + toUtf8(address);
  if (!to.empty()) out += headerLine("To", to);
  out += headerLine("Subject", encodeHeaderText(mail.subject, 9));
  if (stamp.sentSeconds) out += headerLine("Date", rfc5322Date(*stamp.sentSeconds));
  if (!stamp.messageId.empty()) out += headerLine("Message-ID", "<" + stamp.messageId + ">");
  if (!mail.sentOnBehalfOfName.empty())
    out += headerLine("Sender", mailbox(mail.sentOnBehalfOfName, sender));
  if (mail.importance >= 0 && mail.importance < 3)
    out += headerLine("Importance", kImportance[static_cast<std::size_t>(mail.importance)]);
  if (mail.sensitivity > 0 && mail.sensitivity < 4)
    out += headerLine("Sensitivity", kSensitivity[static_cast<std::size_t>(mail.sensitivity)]);
  if (mail.readReceiptRequested)
    out += headerLine("Disposition-Notification-To", toUtf8(sender));
  for (const auto& [key, value] : mail.namedProperties) {
    if (key.set != prop_set::kInternetHeaders || !value.text()) continue;
    out += headerLine(toUtf8(key.name), encodeHeaderText(*value.text(), key.name.size() + 2));
  }
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: multipart/mixed; boundary=\"" + std::string(kBoundary) + "\"\r\n\r\n";
  out += "This is a multi-part message in MIME format.\r\n";
  out += "--" + std::string(kBoundary) + "\r\n";
  out += "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  // Text is encoded in its canonical form, with CR LF line ends.
  std::string body;
  for (const char c : toUtf8(mail.body)) {
    if (c == '\n' && (body.empty() || body.back() != '\r')) body += '\r';
    body += c;
  }
  out += base64Encode(body, 76);
  for (const AttachmentData& attachment : mail.attachments) {
    out += "--" + std::string(kBoundary) + "\r\n";
    out += headerLine("Content-Type", "application/octet-stream" +
                                          headerParameterText("name", attachment.displayName));
    out += "Content-Transfer-Encoding: base64\r\n";
    out += headerLine("Content-Disposition",
                      "attachment" + headerParameterText("filename", attachment.fileName));
    out += "\r\n";
    out += base64Encode(std::string_view(reinterpret_cast<const char*>(attachment.content.data()),
                                         attachment.content.size()),
                        76);
  }
  out += "--" + std::string(kBoundary) + "--\r\n";
  return out;
}

std::optional<ItemData> parseMessage(std::string_view text) {
  const Part message = splitPart(text);
  if (!message.hasHeaderBlock || message.header("from").empty()) return std::nullopt;

  ItemData mail = ItemData::newMail();
  const auto from = addresses(message.header("from"));
  mail.senderAddress = from.empty() ? u"" : fromUtf8(from.front());
  for (const std::string& address : addresses(message.header("to")))
    mail.to += fromUtf8(address) + u";";
  mail.subject = decodeHeaderText(message.header("subject"));
  mail.sentOnBehalfOfName = displayName(message.header("sender"));
  mail.readReceiptRequested = !message.header("disposition-notification-to").empty();
  const std::string importance = lowerAscii(trim(message.header("importance")));
  for (std::size_t i = 0; i < kImportance.size(); ++i)
    if (importance == kImportance[i]) mail.importance = static_cast<std::int32_t>(i);
  const std::string sensitivity = lowerAscii(trim(message.header("sensitivity")));
  for (std::size_t i = 1; i < kSensitivity.size(); ++i)
    if (sensitivity == lowerAscii(kSensitivity[i])) mail.sensitivity = static_cast<std::int32_t>(i);
  if (auto sent = parseRfc5322Date(message.header("date")))
    mail.sentOn = DateValue{hostDateOf(*sent, 0)};
  // The newest Received line comes first; its time follows the last ';'.
  const std::string received = message.header("received");
  if (const std::size_t semicolon = received.rfind(';'); semicolon != std::string::npos) {
    if (auto at = parseRfc5322Date(std::string_view(received).substr(semicolon + 1)))
      mail.receivedTime = DateValue{hostDateOf(*at, 0)};
  }
  for (const auto& [name, value] : message.headers) {
    if (name.starts_with("x-"))
      mail.namedProperties[NamedKey{std::u16string(prop_set::kInternetHeaders), fromUtf8(name)}] =
          Variant(decodeHeaderText(value));
  }
  Walk walk{mail};
  if (!collect(message, walk, 0)) return std::nullopt;
  return mail;
}

std::string messageIdOf(std::string_view text) {
  const Part message = splitPart(text);
  std::string id(trim(message.header("message-id")));
  if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
  return id;
}

}  // namespace qx::sim::mail
