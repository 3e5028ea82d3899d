#pragma once
// The folders a user's configuration shares, as the registry holds them
// (Folders\<entry id> with "used" 1 and a "ShareName").
#include <optional>
#include <string>

namespace qx::tools {

class Runner;
struct OfficeUser;

// The entry id of the user's first folder shared under `shareName` (byte for
// byte in the code page, as the add-in compares), none when there is none.
std::optional<std::u16string> sharedFolder(OfficeUser& user, const std::string& shareName);

}  // namespace qx::tools
