#pragma once
// The text of a sync mail's body, the part of the wire format that every peer
// reads. Both ends run the same reader, so its quirks are part of the format:
// plain case-sensitive substring searches over the whole body, the opening and
// the closing marker of a field each found from the start independently, and
// nothing that depends on line ends or on the notice before the markers.
#include <string>
#include <string_view>

namespace qx {

enum class SyncKind { kChange, kRemoval };

namespace syncmail {
inline constexpr std::string_view kChangeFlag = "is:TRUE:is";
inline constexpr std::string_view kRemovalFlag = "is:FALSE:is";
inline constexpr std::string_view kShareOpen = "lf:";
inline constexpr std::string_view kShareClose = ":lf";
inline constexpr std::string_view kIdOpen = "id:";
inline constexpr std::string_view kIdClose = ":id";
// Blank lines that push the machine-readable part out of a reader's sight.
inline constexpr int kGapLines = 40;
}  // namespace syncmail

// What a reader takes from a body. The sync id is filled in whether or not
// the body was valid, as peers expect.
struct SyncBodyFields {
  bool valid = false;
  bool removal = false;
  std::string syncId;
};

// The body in the user's ANSI code page: the notice, the gap, the kind flag,
// the share name and the sync id, each field on its own line, and then the
// trailing line as given (a removal's version line), which older readers pass
// over.
std::string buildSyncBody(std::string_view notice, SyncKind kind, std::string_view shareName,
                          std::string_view syncId, std::string_view trailingLine = {});

// Reads a body already converted to ANSI.
SyncBodyFields parseSyncBodyText(std::string_view body);

// The share name between the first "lf:" and the first ":lf"; empty when either
// is missing or the closing marker comes first.
std::string readShareNameText(std::string_view body);

// True when `text` holds any of the body's marker texts: such a notice would
// make every mail read wrongly.
bool containsSyncMarker(std::string_view text);

}  // namespace qx
