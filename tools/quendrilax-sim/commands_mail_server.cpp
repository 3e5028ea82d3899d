#include "quendrilax-sim/commands_mail_server.h"

#include <set>

#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/post_office.h"
#include "sim/mail/server_mail_system.h"
#include "sim/office/office.h"

namespace qx::tools {

bool isMailServerSetting(const std::string& word) {
  static const std::set<std::string> kWords = {
      "server",      "footer", "subject", "subject-prefix", "parts", "attachment-names",
      "watch-queue", "smtp",   "imap",    "foreign"};
  return kWords.contains(word);
}

std::optional<std::string> useMailServer(Runner& runner, const std::filesystem::path& dir) {
  auto system = sim::connectMailServer(dir);
  if (!system) return system.error();
  runner.office().postOffice().useMailSystem(std::move(*system));
  return std::nullopt;
}

std::shared_ptr<const Step> readMailServerSetting(ReadContext& ctx) {
  Args& args = ctx.args;
  const std::string what = args.oneOf(
      "post office setting",
      "server|footer|subject|subject-prefix|parts|attachment-names|watch-queue|smtp|imap|foreign");
  if (what == "smtp" || what == "imap" || what == "foreign") return readServerFault(ctx, what);
  if (what == "server") {
    const std::string dir = args.text("the mail server's folder");
    args.end();
    return makeStep([dir](Runner& runner, const SourceLocation& where) {
      if (runner.office().postOffice().overMailSystem()) {
        runner.say("", "the post office already carries mail through a mail server");
        return;
      }
      if (auto error = useMailServer(runner, dir)) return runner.fail(where, *error);
      runner.say("", "the post office now carries mail through the mail server in " + dir);
    });
  }
  if (what == "watch-queue") {
    const bool on = args.oneOf("watch-queue", "on|off") == "on";
    args.end();
    return makeStep([on](Runner& runner, const SourceLocation&) {
      runner.office().postOffice().watchQueue(on);
      runner.say("", on ? "the post office now measures the mail server's queue"
                        : "the post office no longer measures the mail server's queue");
    });
  }
  std::string text;
  bool on = false;
  if (what == "footer" || what == "subject" || what == "subject-prefix") {
    text = args.longText(what == "footer"    ? "footer text"
                         : what == "subject" ? "subject"
                                             : "subject prefix");
  } else if (what == "parts") {
    on = args.oneOf("part order", "reversed|in-order") == "reversed";
  } else {
    on = args.oneOf("attachment name form", "rfc2231|quoted") == "rfc2231";
  }
  args.end();
  return makeStep([what, text, on](Runner& runner, const SourceLocation&) {
    auto& quirks = runner.slot<sim::PostOffice::Quirks>();
    std::string note;
    if (what == "footer") {
      quirks.habits.footer = utf8ToUtf16(text);
      note = text.empty() ? "appends no footer" : "appends " + inQuotes(text) + " to each text";
    } else if (what == "subject") {
      quirks.habits.subject = utf8ToUtf16(text);
      note = text.empty() ? "keeps subjects" : "rewrites each subject to " + inQuotes(text);
    } else if (what == "subject-prefix") {
      quirks.habits.subjectPrefix = utf8ToUtf16(text);
      note = text.empty() ? "keeps subjects" : "puts " + inQuotes(text) + " before each subject";
    } else if (what == "parts") {
      quirks.habits.partsReversed = on;
      note = on ? "puts each mail's parts in reverse order" : "keeps the order of parts";
    } else {
      quirks.habits.rfc2231Names = on;
      note = on ? "writes attachment names in RFC 2231 form" : "keeps attachment names";
    }
    runner.office().postOffice().setQuirks(quirks);
    runner.say("", "the post office now " + note);
  });
}

}  // namespace qx::tools
