#pragma once
// Text that came with a mail, as a log line quotes it.
#include <cstddef>
#include <string>
#include <string_view>

namespace qx {

// Longest text of a mail that a log line quotes.
inline constexpr std::size_t kMaxLoggedValue = 200;

// A text that came with a mail (a share name, a sender, a sync id) as a log
// line may quote it: each control character written as \r, \n, \t or \xHH,
// so that no text of a mail starts a line of its own, and the text cut after
// kMaxLoggedValue characters with "[...]" behind, so that no mail makes the
// logs grow by more than a line.
std::string logValue(std::string_view text);

}  // namespace qx
