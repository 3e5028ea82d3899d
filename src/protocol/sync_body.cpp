#include "protocol/sync_body.h"

#include <array>
#include <cstddef>

namespace qx {
namespace {

struct Field {
  bool found = false;
  std::string text;
};

// Both markers are searched from the start of the body. When the closing one
// lies before the end of the opening one (a share name beginning with "lf"
// puts the first ":lf" inside "lf:lf..."), the text is empty rather than a
// read before its start.
Field between(std::string_view body, std::string_view open, std::string_view close) {
  const std::size_t openAt = body.find(open);
  const std::size_t closeAt = body.find(close);
  if (openAt == std::string_view::npos || closeAt == std::string_view::npos) return {};
  const std::size_t start = openAt + open.size();
  if (closeAt <= start) return {true, {}};
  return {true, std::string(body.substr(start, closeAt - start))};
}

}  // namespace

std::string buildSyncBody(std::string_view notice, SyncKind kind, std::string_view shareName,
                          std::string_view syncId, std::string_view trailingLine) {
  std::string body;
  body.reserve(notice.size() + syncmail::kGapLines + shareName.size() + syncId.size() + 40);
  body.append(notice);
  body.append(static_cast<std::size_t>(syncmail::kGapLines), '\n');
  body.append(kind == SyncKind::kChange ? syncmail::kChangeFlag : syncmail::kRemovalFlag);
  body.push_back('\n');
  body.append(syncmail::kShareOpen).append(shareName).append(syncmail::kShareClose);
  body.push_back('\n');
  body.append(syncmail::kIdOpen).append(syncId).append(syncmail::kIdClose);
  body.push_back('\n');
  body.append(trailingLine);
  return body;
}

SyncBodyFields parseSyncBodyText(std::string_view body) {
  SyncBodyFields fields;
  bool kindFound = true;
  if (body.find(syncmail::kChangeFlag) == std::string_view::npos) {
    fields.removal = body.find(syncmail::kRemovalFlag) != std::string_view::npos;
    kindFound = fields.removal;
  }
  const Field share = between(body, syncmail::kShareOpen, syncmail::kShareClose);
  Field id = between(body, syncmail::kIdOpen, syncmail::kIdClose);
  fields.syncId = std::move(id.text);
  fields.valid = kindFound && share.found && id.found;
  return fields;
}

std::string readShareNameText(std::string_view body) {
  return between(body, syncmail::kShareOpen, syncmail::kShareClose).text;
}

bool containsSyncMarker(std::string_view text) {
  static constexpr std::array kMarkers{syncmail::kChangeFlag, syncmail::kRemovalFlag,
                                       syncmail::kShareOpen,  syncmail::kShareClose,
                                       syncmail::kIdOpen,     syncmail::kIdClose};
  for (std::string_view marker : kMarkers) {
    if (text.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace qx
