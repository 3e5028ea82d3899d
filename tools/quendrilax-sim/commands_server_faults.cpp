// The mail server's faults, in memory and over a real server alike:
// `postoffice smtp stop|start`, `postoffice imap stop|start`,
// `postoffice smtp refuse CODE next N`, `postoffice foreign to USER from
// ADDRESS subject TEXT [body TEXT]`.
#include "quendrilax-sim/commands_mail_server.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/mail/post_office.h"
#include "sim/office/office.h"

namespace qx::tools {

std::shared_ptr<const Step> readServerFault(ReadContext& ctx, const std::string& what) {
  Args& args = ctx.args;
  if (what == "foreign") {
    args.oneOf("foreign", "to");
    const std::string user = ctx.knownUser();
    args.oneOf("foreign", "from");
    const std::string from = args.text("sender address");
    if (from.find('@') == std::string::npos) bad("'" + from + "' is no address");
    args.oneOf("foreign", "subject");
    const std::string subject = args.longText("subject");
    std::string body;
    if (args.accept("body")) body = args.longText("body");
    args.end();
    return makeStep([user, from, subject, body](Runner& runner, const SourceLocation& where) {
      auto done = runner.office().postOffice().deliverForeign(
          runner.user(user).host->mail(), utf8ToUtf16(from), utf8ToUtf16(subject),
          utf8ToUtf16(body));
      if (!done)
        return runner.fail(where, "the foreign mail for " + user + " was not accepted: " +
                                      done.error());
      runner.say("", "a mail " + inQuotes(subject) + " from " + from + " reaches the mailbox of " +
                         user);
    });
  }
  const std::string side = what;
  const std::string action = args.oneOf(side, side == "smtp" ? "stop|start|refuse" : "stop|start");
  if (action == "refuse") {
    const int code = args.count("reply code", 599);
    if (code < 400) bad("a refusal answers 4xx (for now) or 5xx (for good), not " +
                        std::to_string(code));
    args.oneOf("refuse", "next");
    const int count = args.count("mails");
    if (count < 1) bad("refuse counts mails from 1");
    args.end();
    return makeStep([code, count](Runner& runner, const SourceLocation&) {
      runner.office().postOffice().refuseNext(code, count);
      runner.say("", "the mail server answers " + std::to_string(code) + " to the next " +
                         std::to_string(count) + " mail(s)");
    });
  }
  args.end();
  const bool running = action == "start";
  return makeStep([side, running](Runner& runner, const SourceLocation& where) {
    auto& office = runner.office().postOffice();
    auto done = side == "smtp" ? office.setSmtpRunning(running) : office.setImapRunning(running);
    if (!done)
      return runner.fail(where, "the mail server's " + side + " side did not " +
                                    (running ? "start: " : "stop: ") + done.error());
    runner.say("", std::string("the mail server's ") + (side == "smtp" ? "SMTP" : "IMAP") +
                       " side " + (running ? "starts again" : "stops"));
  });
}

}  // namespace qx::tools
