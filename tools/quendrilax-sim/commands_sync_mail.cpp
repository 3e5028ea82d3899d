// Sync mails as a user's folder holds them (the Outbox while waiting, the
// Inbox after transport): how many, and for the N-th its To line, kind, share
// name, attachments and the task its attachment carries. The kind and share
// name are read with the add-in's own body reader, the attachment decoded
// with its codec and the message file read by the stand-in's library, so a
// mail that the add-in would misread fails here too. Documented in
// docs/scenarios.md "Sync mails".
#include <algorithm>

#include "protocol/change_version.h"
#include "protocol/sync_body.h"
#include "protocol/sync_envelope.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/commands_tasks.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/sync_mail_contents.h"
#include "quendrilax-sim/task_fields.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/codepage_sim.h"
#include "sim/mail/mail_store.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

std::vector<sim::MailItemInfo> syncMails(OfficeUser& u, const std::u16string& folder) {
  std::vector<sim::MailItemInfo> mails;
  for (sim::MailItemInfo& item : u.host->mail().folderItems(folder))
    if (item.data.subject == syncmail::kSubjectText) mails.push_back(std::move(item));
  return mails;
}

// The N-th sync mail of a folder, or why there is none.
struct MailLookup {
  std::optional<sim::MailItemInfo> mail;
  std::string problem;
};

MailLookup nthSyncMail(Runner& runner, OfficeUser& u, const std::string& folder, int n) {
  const std::u16string id = runner.folderId(u, folder);
  if (id.empty()) return {std::nullopt, "no folder " + inQuotes(folder)};
  auto mails = syncMails(u, id);
  if (n < 1 || static_cast<std::size_t>(n) > mails.size())
    return {std::nullopt, std::to_string(mails.size()) + " sync mail(s) in " + folder};
  return {std::move(mails[static_cast<std::size_t>(n - 1)]), {}};
}

std::string bodyAnsi(const sim::mail::ItemData& mail) {
  return sim::CodePageSim::narrow(mail.body);
}

std::string kindOf(const sim::mail::ItemData& mail) {
  const SyncBodyFields fields = parseSyncBodyText(bodyAnsi(mail));
  if (!fields.valid) return "invalid";
  return fields.removal ? "removal" : "change";
}

std::string shareOf(const sim::mail::ItemData& mail) {
  return ansiToUtf8(readShareNameText(bodyAnsi(mail)));
}

std::optional<std::string> headerIdOf(const sim::mail::ItemData& mail) {
  for (const auto& [key, value] : mail.namedProperties)
    if (key.name == syncmail::kHeaderIdName) return utf16ToUtf8(sim::mail::variantKeyText(value));
  return std::nullopt;
}

// The version line's text as written, garbage included: between the first
// "ver:" after the id field and the ":ver" after it.
std::optional<std::string> versionTextOf(const sim::mail::ItemData& mail) {
  const std::string body = bodyAnsi(mail);
  const std::size_t idClose = body.find(syncmail::kIdClose);
  if (idClose == std::string::npos) return std::nullopt;
  const std::size_t open = body.find(changeversion::kLineOpen, idClose);
  if (open == std::string::npos) return std::nullopt;
  const std::size_t start = open + changeversion::kLineOpen.size();
  const std::size_t close = body.find(changeversion::kLineClose, start);
  if (close == std::string::npos) return std::nullopt;
  return ansiToUtf8(body.substr(start, close - start));
}

enum class MailCheck { kTo, kKind, kShare, kCarries, kAttachments, kAttachmentName, kVersion };

std::optional<std::string> checkMail(const sim::mail::ItemData& mail, const std::string& label,
                                     MailCheck check, const std::string& text, int n) {
  auto compare = [&](const std::string& what,
                     const std::string& found) -> std::optional<std::string> {
    if (found == text) return std::nullopt;
    return expected(label + " " + what + " " + inQuotes(text), inQuotes(found));
  };
  switch (check) {
    case MailCheck::kTo:
      return compare("to", utf16ToUtf8(mail.to));
    case MailCheck::kKind: {
      const std::string kind = kindOf(mail);
      if (kind == text) return std::nullopt;
      return expected(label + " kind " + text, kind);
    }
    case MailCheck::kShare:
      return compare("share", shareOf(mail));
    case MailCheck::kVersion: {
      // `n` is 0 for `version none`.
      const std::optional<std::string> version = versionTextOf(mail);
      const std::optional<std::string> wanted = n == 0 ? std::nullopt : std::optional(text);
      if (version == wanted) return std::nullopt;
      return expected(label + (wanted ? " version " + inQuotes(*wanted) : " without a version line"),
                      version ? "version " + inQuotes(*version) : std::string("no version line"));
    }
    case MailCheck::kCarries: {
      const Carried carried = carriedTask(mail);
      if (!carried.task) return expected(label + " to carry " + inQuotes(text), carried.problem);
      return compare("carrying a task", utf16ToUtf8(carried.task->subject));
    }
    case MailCheck::kAttachmentName:
      // Readers take the first attachment, whatever its name.
      if (mail.attachments.empty()) return expected(label + " with an attachment", "none");
      return compare("attachment name", utf16ToUtf8(mail.attachments.front().displayName));
    case MailCheck::kAttachments:
      if (static_cast<int>(mail.attachments.size()) == n) return std::nullopt;
      return expected(label + " with " + std::to_string(n) + " attachment(s)",
                      std::to_string(mail.attachments.size()));
  }
  return std::nullopt;
}

void showMail(Runner& runner, const sim::mail::ItemData& mail) {
  std::ostream& out = runner.out();
  out << "    to: " << inQuotes(utf16ToUtf8(mail.to)) << '\n';
  if (!mail.sentOnBehalfOfName.empty())
    out << "    on behalf of: " << inQuotes(utf16ToUtf8(mail.sentOnBehalfOfName)) << '\n';
  out << "    importance " << mail.importance << ", sensitivity " << mail.sensitivity
      << (mail.readReceiptRequested ? ", read receipt" : "")
      << (mail.deleteAfterSubmit ? ", delete after submit" : "") << '\n';
  const SyncBodyFields fields = parseSyncBodyText(bodyAnsi(mail));
  out << "    body reads as: " << kindOf(mail) << ", share " << inQuotes(shareOf(mail))
      << ", sync id " << inQuotes(ansiToUtf8(fields.syncId)) << '\n';
  // The notice and the gap of blank lines are left out: the fields are what
  // a reader takes.
  std::string body = utf16ToUtf8(mail.body);
  std::string shown;
  for (std::size_t start = 0; start <= body.size();) {
    std::size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    std::string line = body.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) shown += "      | " + printable(line) + "\n";
    start = end + 1;
  }
  out << "    body lines:\n" << shown;
  const auto header = headerIdOf(mail);
  out << "    header " << utf16ToUtf8(syncmail::kHeaderIdName) << ": "
      << (header ? inQuotes(*header) : std::string("none")) << '\n';
  out << "    attachments: " << mail.attachments.size() << '\n';
  for (const auto& a : mail.attachments)
    out << "      " << inQuotes(utf16ToUtf8(a.displayName)) << " (" << a.content.size()
        << " bytes)\n";
  const Carried carried = carriedTask(mail);
  if (!carried.task) {
    out << "    carries: " << carried.problem << '\n';
    return;
  }
  out << "    carries a task:\n";
  for (TaskField field : allTaskFields())
    out << "      " << fieldName(field) << ": " << inQuotes(fieldText(*carried.task, field))
        << '\n';
  const std::string id = syncIdOf(*carried.task);
  out << "      sync id: " << (id.empty() ? std::string("none") : inQuotes(id)) << '\n';
}

}  // namespace

void registerSyncMailCommands(CommandTable& table) {
  table.expectation("sync-mails", [](ReadContext& ctx) {
    Args& args = ctx.args;
    if (!args.accept("in")) bad("expect USER sync-mails in PATH N");
    std::string folder = args.text("folder path");
    const int n = args.count("number of sync mails");
    return makeExpectation([=](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      const std::u16string id = runner.folderId(u, folder);
      if (id.empty()) return expected("a folder " + inQuotes(folder), "none");
      const std::size_t found = syncMails(u, id).size();
      if (static_cast<int>(found) == n) return std::nullopt;
      return expected(std::to_string(n) + " sync mail(s) in " + folder, std::to_string(found));
    });
  });
  table.expectation("sync-mail", [](ReadContext& ctx) {
    Args& args = ctx.args;
    const int n = args.count("sync mail number");
    if (n < 1) bad("sync mails count from 1");
    if (!args.accept("in"))
      bad("expect USER sync-mail N in PATH "
          "to|kind|share|carries|attachments|attachment-name|version");
    std::string folder = args.text("folder path");
    const std::string what = args.oneOf(
        "sync mail check", "to|kind|share|carries|attachments|attachment-name|version");
    MailCheck check = MailCheck::kTo;
    std::string text;
    int count = 0;
    if (what == "to") {
      text = args.text("recipient line");
    } else if (what == "kind") {
      check = MailCheck::kKind;
      text = args.oneOf("sync mail kind", "change|removal");
    } else if (what == "share") {
      check = MailCheck::kShare;
      text = args.text("share name");
    } else if (what == "carries") {
      check = MailCheck::kCarries;
      text = args.text("subject");
    } else if (what == "version") {
      check = MailCheck::kVersion;
      if (!args.accept("none")) {
        text = args.text("version text");
        count = 1;
      }
    } else if (what == "attachment-name") {
      check = MailCheck::kAttachmentName;
      text = args.text("attachment name");
    } else {
      check = MailCheck::kAttachments;
      count = args.count("number of attachments");
    }
    return makeExpectation([=](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      const std::string label = "sync mail " + std::to_string(n) + " in " + folder;
      const MailLookup lookup = nthSyncMail(runner, u, folder, n);
      if (!lookup.mail) return expected(label, lookup.problem);
      return checkMail(lookup.mail->data, label, check, text, count);
    });
  });
  table.show("sync-mail", [](ReadContext& ctx, const std::string& user) {
    Args& args = ctx.args;
    const int n = args.count("sync mail number");
    if (n < 1) bad("sync mails count from 1");
    if (!args.accept("in")) bad("show USER sync-mail N in PATH");
    std::string folder = args.text("folder path");
    return makeStep([=](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      runner.catchUp(u);
      const MailLookup lookup = nthSyncMail(runner, u, folder, n);
      if (!lookup.mail)
        return runner.fail(where, "no sync mail " + std::to_string(n) + " in " + folder + " of " +
                                      user + ": " + lookup.problem);
      runner.say(user, "sync mail " + std::to_string(n) + " in " + folder +
                           (lookup.mail->submitted ? " (submitted)" : ""));
      showMail(runner, lookup.mail->data);
    });
  });
  table.help("  expect USER sync-mails in PATH N");
  table.help("  expect USER sync-mail N in PATH to TEXT | kind change|removal | share TEXT");
  table.help("                              | carries SUBJECT | attachments N");
  table.help("                              | attachment-name TEXT | version TEXT|none");
  table.help("  show USER sync-mail N in PATH");
}

}  // namespace qx::tools
