#pragma once
// The mail system that scripts/mail-server starts on loopback: Postfix for
// SMTP, Dovecot for IMAP, reached with libcurl's SMTP and IMAP clients.
#include <expected>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/mail/mail_system.h"

namespace qx::sim {

// Connects to the server started in `dir` (it reads dir/server.conf); an
// error when none runs there.
std::expected<std::unique_ptr<MailSystem>, std::string> connectMailServer(
    const std::filesystem::path& dir);

}  // namespace qx::sim
