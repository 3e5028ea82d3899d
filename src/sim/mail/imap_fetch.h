#pragma once
// Reading the server's answer to one "UID FETCH set (UID BODY.PEEK[])" (a
// run of messages in one response, each as a literal inside its FETCH line)
// or to "FETCH a:b (UID RFC822.SIZE)" (their sizes). The reader takes what a
// server may legally add (other
// untagged lines, unsolicited FLAGS, items in any order, quoted or NIL
// bodies) and refuses anything it cannot account for byte by byte, naming
// where it stopped: a message cut short must never be taken for a whole one.
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim::mail {

struct FetchedMessage {
  unsigned long uid = 0;
  std::optional<std::string> text;    // the message as the server keeps it
  std::optional<unsigned long> size;  // RFC822.SIZE
};

// `response` is everything the server sent after the command, line ends and
// literals as received. Every FETCH that carries a message or its size, in
// the order of the response.
std::expected<std::vector<FetchedMessage>, std::string> parseFetchResponse(
    std::string_view response);

}  // namespace qx::sim::mail
