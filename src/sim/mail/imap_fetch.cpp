#include "sim/mail/imap_fetch.h"

#include <optional>
#include <set>

namespace qx::sim::mail {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A cursor over the response; every step either advances or says why not.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool atEnd() const { return at_ >= text_.size(); }
  char peek() const { return atEnd() ? '\0' : text_[at_]; }
  bool take(char c) {
    if (peek() != c || atEnd()) return false;
    ++at_;
    return true;
  }
  bool takeText(std::string_view word) {
    if (!equalsNoCase(text_.substr(at_, word.size()), word)) return false;
    at_ += word.size();
    return true;
  }
  bool takeLineEnd() { return takeText("\r\n"); }

  std::optional<unsigned long> number() {
    std::size_t end = at_;
    while (end < text_.size() && isDigit(text_[end]) && end - at_ < 10) ++end;
    if (end == at_ || (end < text_.size() && isDigit(text_[end]))) return std::nullopt;
    const unsigned long value = std::stoul(std::string(text_.substr(at_, end - at_)));
    at_ = end;
    return value;
  }

  // An atom-like word (an item name such as BODY[] or RFC822.SIZE, a flag).
  std::string_view word() {
    const std::size_t start = at_;
    int brackets = 0;
    while (!atEnd()) {
      const char c = text_[at_];
      if (c == '[') ++brackets;
      if (c == ']') --brackets;
      if (brackets == 0 &&
          (c == ' ' || c == '(' || c == ')' || c == '\r' || c == '\n' || c == '{' || c == '"'))
        break;
      ++at_;
    }
    return text_.substr(start, at_ - start);
  }

  // A string value: "{n}" CRLF and n bytes, a quoted string, or NIL.
  std::expected<std::optional<std::string>, std::string> string() {
    if (take('{')) {
      const auto size = number();
      (void)take('+');
      if (!size || !take('}') || !takeLineEnd()) return fail("a literal's size");
      if (text_.size() - at_ < *size)
        return std::unexpected("the response ends inside a literal (" +
                               std::to_string(text_.size() - at_) + " of " + std::to_string(*size) +
                               " bytes)");
      std::string value(text_.substr(at_, *size));
      at_ += *size;
      return value;
    }
    if (take('"')) {
      std::string value;
      while (!atEnd() && peek() != '"') {
        if (peek() == '\r' || peek() == '\n') return fail("a quoted string's end");
        if (take('\\') && atEnd()) break;
        value.push_back(text_[at_++]);
      }
      if (!take('"')) return fail("a quoted string's end");
      return value;
    }
    if (takeText("NIL")) return std::optional<std::string>();
    return fail("a string");
  }

  // Any value: a number, an atom, a string, or a parenthesised list of them.
  std::expected<void, std::string> skipValue(int depth = 0) {
    if (depth > 32) return fail("a list of sensible depth");
    if (take('(')) {
      while (!take(')')) {
        if (atEnd()) return fail("the end of a list");
        if (take(' ')) continue;
        if (auto skipped = skipValue(depth + 1); !skipped) return skipped;
      }
      return {};
    }
    if (peek() == '{' || peek() == '"') {
      if (auto value = string(); !value) return std::unexpected(value.error());
      return {};
    }
    if (word().empty()) return fail("a value");
    return {};
  }

  // The rest of a line that is not ours, literals inside it included.
  std::expected<void, std::string> skipLine() {
    while (!takeLineEnd()) {
      if (atEnd()) return fail("a line end");
      if (peek() == '{') {
        if (auto value = string(); !value) return std::unexpected(value.error());
      } else {
        ++at_;
      }
    }
    return {};
  }

  std::unexpected<std::string> fail(std::string_view expected) const {
    std::string found(text_.substr(at_, 24));
    for (char& c : found)
      if (c == '\r' || c == '\n') c = ' ';
    return std::unexpected("expected " + std::string(expected) + " at byte " + std::to_string(at_) +
                           " of the response, found \"" + found + "\"");
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// One "* N FETCH (...)" after "FETCH "; the message when it carries a body or
// a size.
std::expected<std::optional<FetchedMessage>, std::string> readFetch(Reader& in) {
  if (!in.take('(')) return in.fail("\"(\" after FETCH");
  std::optional<unsigned long> uid;
  std::optional<std::string> body;
  std::optional<unsigned long> size;
  bool first = true;
  while (!in.take(')')) {
    if (!first && !in.take(' ')) return in.fail("\" \" or \")\" between FETCH items");
    first = false;
    const std::string_view item = in.word();
    if (item.empty()) return in.fail("a FETCH item");
    if (!in.take(' ')) return in.fail("\" \" after " + std::string(item));
    if (equalsNoCase(item, "UID")) {
      uid = in.number();
      if (!uid) return in.fail("a UID");
    } else if (equalsNoCase(item, "BODY[]") || equalsNoCase(item.substr(0, 7), "BODY[]<")) {
      auto value = in.string();
      if (!value) return std::unexpected(value.error());
      // NIL: the message went away meanwhile; nothing to deliver.
      body = std::move(*value);
    } else if (equalsNoCase(item, "RFC822.SIZE")) {
      size = in.number();
      if (!size) return in.fail("a size");
    } else if (auto skipped = in.skipValue(); !skipped) {
      return std::unexpected(skipped.error());
    }
  }
  if (!in.takeLineEnd()) return in.fail("the FETCH line's end");
  if (!body && !size) return std::optional<FetchedMessage>();
  if (!uid) return std::unexpected("a FETCH response carries a message but no UID");
  return FetchedMessage{*uid, std::move(body), size};
}

}  // namespace

std::expected<std::vector<FetchedMessage>, std::string> parseFetchResponse(
    std::string_view response) {
  Reader in(response);
  std::vector<FetchedMessage> messages;
  std::set<unsigned long> seen;
  while (!in.atEnd()) {
    if (in.takeText("* ")) {
      if (in.number() && in.takeText(" FETCH ")) {
        auto message = readFetch(in);
        if (!message) return std::unexpected(message.error());
        if (*message) {
          if (!seen.insert((*message)->uid).second)
            return std::unexpected("UID " + std::to_string((*message)->uid) +
                                   " comes twice in one response");
          messages.push_back(std::move(**message));
        }
        continue;
      }
      if (auto skipped = in.skipLine(); !skipped) return std::unexpected(skipped.error());
      continue;
    }
    // The tagged completion ends the response; a failure never gets here
    // (the transfer itself fails).
    const std::string_view tag = in.word();
    if (tag.empty() || !in.take(' ')) return in.fail("an untagged or tagged response line");
    if (!in.takeText("OK")) return in.fail("OK after the tag");
    if (auto skipped = in.skipLine(); !skipped) return std::unexpected(skipped.error());
    if (!in.atEnd()) return in.fail("nothing after the tagged completion");
  }
  return messages;
}

}  // namespace qx::sim::mail
