#pragma once
// Reading the server's answer to one "UID FETCH set (UID BODY.PEEK[])": the
// whole mailbox comes back in one response, each message as a literal inside
// its FETCH line. The reader takes what a server may legally add (other
// untagged lines, unsolicited FLAGS, items in any order, quoted or NIL
// bodies) and refuses anything it cannot account for byte by byte, naming
// where it stopped: a message cut short must never be taken for a whole one.
#include <expected>
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim::mail {

struct FetchedMessage {
  unsigned long uid = 0;
  std::string text;  // the message as the server keeps it
};

// `response` is everything the server sent after the command, line ends and
// literals as received. Messages in the order of the response.
std::expected<std::vector<FetchedMessage>, std::string> parseFetchResponse(
    std::string_view response);

}  // namespace qx::sim::mail
