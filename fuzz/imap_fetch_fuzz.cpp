// Arbitrary server answers through the FETCH reader: it must neither crash nor
// read outside the text, and every message it returns must be bytes of the
// answer, under a UID that comes once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "sim/mail/imap_fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  const std::string response(reinterpret_cast<const char*>(data), size);
  const auto messages = qx::sim::mail::parseFetchResponse(response);
  if (!messages) {
    if (messages.error().empty()) std::abort();
    return 0;
  }
  std::set<unsigned long> uids;
  for (const auto& message : *messages) {
    if (!uids.insert(message.uid).second) std::abort();
    if (message.text && message.text->size() > response.size()) std::abort();
    if (!message.text && !message.size) std::abort();
  }
  return 0;
}
