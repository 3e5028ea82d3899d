#pragma once
// The basic synchronization's queue files as the add-in reads them (see
// commands_queue.cpp).
#include <string>
#include <string_view>
#include <vector>

namespace qx::sim::mail {
struct BarState;
}

namespace qx::tools {

struct OfficeUser;

// The add-in's indicator toolbar in the user's active explorer, if it is up.
const sim::mail::BarState* indicatorBar(OfficeUser& user);

// The entries of a queue file's content: read in text mode (CR LF as LF), in
// pieces of at most 511 characters that end at a line break, each piece one
// entry (an empty line an empty entry).
std::vector<std::string> queueEntries(std::string_view content);

}  // namespace qx::tools
