#include "protocol/sync_id.h"

#include <array>

namespace qx {

Result<std::u16string> makeSyncId(GuidSource& guids) {
  Guid guid;
  if (const Hresult status = guids.create(guid); failed(status)) return failure(status);
  std::array<char16_t, kSyncIdLength + 1> buffer{};
  const int written = guids.toString(guid, buffer);
  // Anything shorter than the full text would travel as a broken id that no
  // peer could match; it is refused like a failed formatter.
  std::u16string id(buffer.data(), kSyncIdLength);
  if (written != static_cast<int>(buffer.size()) || !hasSyncIdForm(id)) return failure(hr::kFail);
  return id;
}

bool hasSyncIdForm(std::u16string_view text) {
  if (text.size() != kSyncIdLength || text.front() != u'{' || text.back() != u'}') return false;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    const char16_t c = text[i];
    if (i == 9 || i == 14 || i == 19 || i == 24) {
      if (c != u'-') return false;
    } else if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) {
      return false;
    }
  }
  return true;
}

}  // namespace qx
