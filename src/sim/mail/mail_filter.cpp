#include "sim/mail/mail_filter.h"

#include "sim/mail/mail_text.h"

namespace qx::sim::mail {

namespace {
bool isSpace(char16_t c) { return c == u' ' || c == u'\t'; }

void skipSpaces(std::u16string_view& text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
}

// Takes "[name]" from the front of `text`.
std::optional<FieldRef> takeFieldRef(std::u16string_view& text) {
  if (text.empty() || text.front() != u'[') return std::nullopt;
  std::size_t close = text.find(u']');
  if (close == std::u16string_view::npos) return std::nullopt;
  std::u16string_view name = text.substr(1, close - 1);
  while (!name.empty() && isSpace(name.front())) name.remove_prefix(1);
  while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
  if (name.empty() || name.find(u'[') != std::u16string_view::npos) return std::nullopt;
  text.remove_prefix(close + 1);
  FieldRef ref;
  ref.folded = foldCase(name);
  ref.isSubject = ref.folded == u"subject";
  if (ref.isSubject) ref.folded.clear();
  return ref;
}

std::optional<std::u16string> takeQuoted(std::u16string_view& text) {
  if (text.empty() || (text.front() != u'\'' && text.front() != u'"')) return std::nullopt;
  char16_t quote = text.front();
  std::u16string value;
  std::size_t i = 1;
  for (;;) {
    if (i >= text.size()) return std::nullopt;
    if (text[i] == quote) {
      if (i + 1 < text.size() && text[i + 1] == quote) {
        value.push_back(quote);
        i += 2;
        continue;
      }
      break;
    }
    value.push_back(text[i++]);
  }
  text.remove_prefix(i + 1);
  return value;
}
}  // namespace

std::optional<FieldRef> parseFieldRef(std::u16string_view text) {
  skipSpaces(text);
  auto ref = takeFieldRef(text);
  skipSpaces(text);
  if (!ref || !text.empty()) return std::nullopt;
  return ref;
}

std::optional<Filter> parseFilter(std::u16string_view text) {
  skipSpaces(text);
  auto ref = takeFieldRef(text);
  if (!ref) return std::nullopt;
  skipSpaces(text);
  if (text.empty() || text.front() != u'=') return std::nullopt;
  text.remove_prefix(1);
  skipSpaces(text);
  auto value = takeQuoted(text);
  skipSpaces(text);
  if (!value || !text.empty()) return std::nullopt;
  return Filter{*ref, foldCase(*value)};
}

}  // namespace qx::sim::mail
