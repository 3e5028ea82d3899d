#include "core/trusted_senders.h"

#include <algorithm>

namespace qx {
namespace {

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool sameAddress(std::u16string_view a, std::u16string_view b) {
  return std::ranges::equal(a, b, [](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

std::u16string_view trimmed(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool TrustedSenders::accepts(std::u16string_view sender,
                             const std::vector<std::u16string>& recipients) const {
  if (!on) return true;
  if (trimmed(sender).empty()) return false;
  const auto matches = [&](const std::u16string& address) {
    return sameAddress(trimmed(address), trimmed(sender));
  };
  return std::ranges::any_of(recipients, matches) || std::ranges::any_of(extra, matches);
}

TrustedSenders parseTrustedSenders(std::u16string_view value) {
  TrustedSenders senders;
  const std::u16string_view whole = trimmed(value);
  if (whole.empty() || sameAddress(whole, u"off")) return senders;
  senders.on = true;
  while (!value.empty()) {
    const std::size_t end = std::min(value.find(u';'), value.size());
    const std::u16string_view part = trimmed(value.substr(0, end));
    if (!part.empty() && !sameAddress(part, u"on")) senders.extra.emplace_back(part);
    value.remove_prefix(std::min(end + 1, value.size()));
  }
  return senders;
}

}  // namespace qx
