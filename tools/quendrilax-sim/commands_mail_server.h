#pragma once
// The post office over a real mail server (scripts/mail-server) and the
// habits of mail gateways: `postoffice server DIR`, `postoffice footer TEXT`,
// `postoffice subject-prefix TEXT`, `postoffice parts reversed|in-order`,
// `postoffice attachment-names rfc2231|quoted`, and the runner's
// --mail-server DIR; the server's faults (`postoffice smtp|imap|foreign`,
// commands_server_faults.cpp).
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "quendrilax-sim/command_table.h"

namespace qx::tools {

class Runner;

// Whether `postoffice WORD ...` is one of the forms read here.
bool isMailServerSetting(const std::string& word);
std::shared_ptr<const Step> readMailServerSetting(ReadContext& ctx);
std::shared_ptr<const Step> readServerFault(ReadContext& ctx, const std::string& what);

// Puts the runner's office onto the server started in `dir`; the error says
// why it cannot.
std::optional<std::string> useMailServer(Runner& runner, const std::filesystem::path& dir);

}  // namespace qx::tools
