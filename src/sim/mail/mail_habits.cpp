#include "sim/mail/mail_habits.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "sim/mail/mime_text.h"

namespace qx::sim::mail {
namespace {

// A multipart message cut at its delimiter lines: the text before the first
// part, each part (headers and body) and the rest from the close delimiter.
struct Cut {
  std::string head;
  std::string boundary;
  std::vector<std::string> parts;
  std::string tail;
};

std::size_t headerEnd(std::string_view text) {
  const std::size_t end = text.find("\r\n\r\n");
  return end == std::string_view::npos ? text.size() : end + 2;
}

// The value of the header `name` (lower case) in a header block, unfolded.
std::string headerOf(std::string_view block, std::string_view name) {
  std::size_t at = 0;
  while (at < block.size()) {
    std::size_t end = block.find("\r\n", at);
    if (end == std::string_view::npos) end = block.size();
    const std::string_view line = block.substr(at, end - at);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && lowerAscii(line.substr(0, colon)) == name) {
      std::string value(line.substr(colon + 1));
      while (end + 2 < block.size() && (block[end + 2] == ' ' || block[end + 2] == '\t')) {
        const std::size_t next = block.find("\r\n", end + 2);
        value +=
            block.substr(end + 2, (next == std::string_view::npos ? block.size() : next) - end - 2);
        end = next == std::string_view::npos ? block.size() : next;
      }
      return value;
    }
    at = end + 2;
  }
  return {};
}

// The header block with the header `name` replaced by `line` (CR LF ended).
std::string replaceHeader(std::string_view block, std::string_view name, std::string_view line) {
  std::string out;
  std::size_t at = 0;
  bool skipping = false;
  while (at < block.size()) {
    std::size_t end = block.find("\r\n", at);
    if (end == std::string_view::npos) end = block.size();
    const std::string_view current = block.substr(at, end - at);
    const bool continuation = !current.empty() && (current[0] == ' ' || current[0] == '\t');
    if (!continuation) {
      const std::size_t colon = current.find(':');
      skipping = colon != std::string_view::npos && lowerAscii(current.substr(0, colon)) == name;
      if (skipping) out += line;
    }
    if (!skipping) {
      out += current;
      out += "\r\n";
    }
    at = end + 2;
  }
  return out;
}

std::optional<Cut> cut(std::string_view message) {
  const std::size_t bodyAt = headerEnd(message);
  const auto boundary =
      headerParameter(headerOf(message.substr(0, bodyAt), "content-type"), "boundary");
  if (!boundary) return std::nullopt;
  Cut result;
  result.boundary = toUtf8(*boundary);
  const std::string delimiter = "\r\n--" + result.boundary;
  std::size_t at = message.find(delimiter, bodyAt - 2);
  if (at == std::string_view::npos) return std::nullopt;
  result.head = std::string(message.substr(0, at));
  while (true) {
    at += delimiter.size();
    if (message.compare(at, 2, "--") == 0) {
      result.tail = std::string(message.substr(at - delimiter.size()));
      return result;
    }
    const std::size_t start = message.find("\r\n", at);
    if (start == std::string_view::npos) return std::nullopt;
    const std::size_t next = message.find(delimiter, start + 2);
    if (next == std::string_view::npos) return std::nullopt;
    result.parts.emplace_back(message.substr(start + 2, next - start - 2));
    at = next;
  }
}

std::string join(const Cut& c) {
  std::string out = c.head;
  for (const std::string& part : c.parts) out += "\r\n--" + c.boundary + "\r\n" + part;
  return out + c.tail;
}

bool isBodyText(std::string_view part) {
  const std::string_view headers = part.substr(0, headerEnd(part));
  return headerMainValue(headerOf(headers, "content-type")) == "text/plain" &&
         headerMainValue(headerOf(headers, "content-disposition")) != "attachment";
}

std::string withFooter(std::string_view part, std::u16string_view footer) {
  const std::size_t split = headerEnd(part);
  const std::string_view headers = part.substr(0, split);
  const std::string_view body = part.substr(std::min(split + 2, part.size()));
  const std::string encoding = lowerAscii(headerOf(headers, "content-transfer-encoding"));
  std::string text =
      encoding.find("base64") != std::string::npos ? base64Decode(body).value_or(std::string(body))
      : encoding.find("quoted-printable") != std::string::npos ? quotedPrintableDecode(body)
                                                               : std::string(body);
  text += "\r\n\r\n" + toUtf8(footer) + "\r\n";
  return replaceHeader(headers, "content-transfer-encoding",
                       "Content-Transfer-Encoding: quoted-printable\r\n") +
         "\r\n" + quotedPrintableEncode(text);
}

std::string withRfc2231Names(std::string_view part) {
  const std::size_t split = headerEnd(part);
  std::string headers(part.substr(0, split));
  for (const auto& [header, parameter] :
       {std::pair{"content-type", "name"}, std::pair{"content-disposition", "filename"}}) {
    const std::string value = headerOf(headers, header);
    const auto name = headerParameter(value, parameter);
    if (!name) continue;
    const std::string display =
        header == std::string_view("content-type") ? "Content-Type" : "Content-Disposition";
    headers = replaceHeader(headers, header,
                            display + ": " + std::string(value.substr(0, value.find(';'))) +
                                rfc2231Parameter(parameter, *name) + "\r\n");
  }
  return headers + std::string(part.substr(split));
}

}  // namespace

std::string applyHabits(std::string_view message, const MailHabits& habits) {
  std::string out(message);
  if (!habits.subject.empty()) {
    const std::size_t headersEnd = headerEnd(out);
    out = replaceHeader(std::string_view(out).substr(0, headersEnd), "subject",
                        "Subject: " + encodeHeaderText(habits.subject, 9) + "\r\n") +
          out.substr(headersEnd);
  }
  if (!habits.subjectPrefix.empty()) {
    const std::size_t headersEnd = headerEnd(out);
    std::size_t at = out.starts_with("Subject:") ? 0 : out.find("\r\nSubject:");
    if (at != std::string::npos && at < headersEnd) {
      at = out.find(':', at) + 1;
      while (at < out.size() && out[at] == ' ') ++at;
      out.insert(at, toUtf8(habits.subjectPrefix));
    }
  }
  if (habits.footer.empty() && !habits.partsReversed && !habits.rfc2231Names) return out;
  auto parts = cut(out);
  if (!parts) return out;
  for (std::string& part : parts->parts) {
    if (!habits.footer.empty() && isBodyText(part)) {
      part = withFooter(part, habits.footer);
      break;
    }
  }
  if (habits.rfc2231Names)
    for (std::string& part : parts->parts) part = withRfc2231Names(part);
  if (habits.partsReversed) std::reverse(parts->parts.begin(), parts->parts.end());
  return join(*parts);
}

}  // namespace qx::sim::mail
