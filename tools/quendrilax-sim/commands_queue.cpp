// The basic synchronization as the user sees it: the folders' queue files in
// the data directory, the indicator toolbar, the progress windows. Documented
// in docs/scenarios.md "Basic synchronization".
#include "quendrilax-sim/commands_queue.h"

#include "basicsync/progress_dialog.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/host_file_system.h"
#include "sim/mail/mail_client.h"
#include "sim/office/host_process.h"
#include "sim/window_system_sim.h"

namespace qx::tools {

namespace {

// A reader takes at most this many characters at a time, up to a line break.
constexpr std::size_t kQueuePiece = 511;

std::optional<std::string> queuePath(Runner& runner, OfficeUser& u, const std::string& folder,
                                     std::string& problem) {
  const std::u16string id = runner.folderId(u, folder);
  if (id.empty()) {
    problem = "no folder " + inQuotes(folder) + " for " + u.setup.name;
    return std::nullopt;
  }
  return runner.dataDirectory(u) + utf8ToAnsi(utf16ToUtf8(id)) + ".ids";
}

// The progress windows the user's add-in has shown, oldest first, open or
// closed.
std::vector<const sim::DialogRecord*> progressListings(OfficeUser& u) {
  const auto& windows = dynamic_cast<const sim::WindowSystemSim&>(u.host->platform().windows);
  std::vector<const sim::DialogRecord*> listings;
  for (const sim::DialogRecord& record : windows.dialogHistory())
    if (record.templateId == progress_dialog::kTemplateId && record.shown)
      listings.push_back(&record);
  return listings;
}

}  // namespace

const sim::mail::BarState* indicatorBar(OfficeUser& u) {
  for (const sim::mail::BarState& bar : u.host->mail().commandBars())
    if (bar.name.starts_with(u"Vantrosse")) return &bar;
  return nullptr;
}

// The entries a queue file holds as the add-in reads it: the file in text
// mode (CR LF read as LF), taken in pieces of at most 511 characters that end
// at a line break, each piece one entry.
std::vector<std::string> queueEntries(std::string_view content) {
  std::string text;
  for (std::size_t i = 0; i < content.size(); ++i)
    if (!(content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n'))
      text += content[i];
  std::vector<std::string> entries;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t limit = start + kQueuePiece;
    std::size_t next = 0;
    if (end != std::string::npos && end < limit) {
      next = end + 1;
    } else {
      end = std::min(limit, text.size());
      next = end;
    }
    entries.push_back(text.substr(start, end - start));
    start = next;
  }
  return entries;
}

void registerQueueCommands(CommandTable& table) {
  table.command(
      "queue",
      [](ReadContext& ctx) {
        Args& args = ctx.args;
        std::string user = ctx.knownUser();
        std::string folder = args.text("folder path");
        args.oneOf("queue action", "write");
        if (!ctx.block()) bad("queue USER PATH write <<END ... END");
        // The lines as the user's disk holds them: CR LF after each.
        std::string content;
        const std::string& block = *ctx.block();
        for (std::size_t start = 0; start < block.size();) {
          const std::size_t end = block.find('\n', start);
          content += block.substr(start, end - start) + "\r\n";
          start = end + 1;
        }
        return makeStep([=](Runner& runner, const SourceLocation& where) {
          OfficeUser& u = runner.user(user);
          std::string problem;
          const auto path = queuePath(runner, u, folder, problem);
          if (!path) return runner.fail(where, problem);
          if (!u.host->disk().writeText(*path, utf8ToAnsi(content)))
            return runner.fail(where, "cannot write " + ansiToUtf8(*path));
          runner.say(user, "queue file " + ansiToUtf8(*path) + " written (" +
                               std::to_string(queueEntries(content).size()) + " entries)");
        });
      },
      true);

  table.expectation("queue", [](ReadContext& ctx) {
    Args& args = ctx.args;
    std::string folder = args.text("folder path");
    // `entries N`, `entries absent`, or `absent` alone.
    std::optional<int> count;
    if (!args.accept("absent")) {
      args.oneOf("queue check", "entries|absent");
      if (!args.accept("absent")) count = args.count("number of entries or absent");
    }
    return makeExpectation([=](Runner& runner, OfficeUser& u) -> std::optional<std::string> {
      std::string problem;
      const auto path = queuePath(runner, u, folder, problem);
      if (!path) return expected("the queue of " + inQuotes(folder), problem);
      const auto content = u.host->disk().readText(*path);
      const std::string label = "the queue file of " + folder;
      if (!count) return content ? expected(label + " absent", "it exists") : std::nullopt;
      if (!content)
        return expected(label + " with " + std::to_string(*count) + " entries", "no file");
      const auto entries = queueEntries(*content);
      if (static_cast<int>(entries.size()) == *count) return std::nullopt;
      return expected(label + " with " + std::to_string(*count) + " entries",
                      std::to_string(entries.size()));
    });
  });

  table.expectation("indicator", [](ReadContext& ctx) {
    Args& args = ctx.args;
    const std::string what = args.oneOf("indicator check", "absent|shown|removed|caption|tooltip");
    std::string text;
    if (what == "caption" || what == "tooltip") text = args.text(what + " text");
    return makeExpectation([=](Runner&, OfficeUser& u) -> std::optional<std::string> {
      const sim::mail::BarState* bar = indicatorBar(u);
      const std::string state = bar ? "shown" : u.indicatorSeen ? "removed" : "absent";
      if (what == "absent" || what == "shown" || what == "removed") {
        if (state == what) return std::nullopt;
        return expected("the indicator " + what, state);
      }
      if (!bar || bar->buttons.empty())
        return expected("the indicator's " + what + " " + inQuotes(text), "no indicator button");
      const sim::mail::ButtonState& button = bar->buttons.front();
      const std::string found =
          utf16ToUtf8(what == "caption" ? button.caption : button.tooltipText);
      if (found == text) return std::nullopt;
      return expected("the indicator's " + what + " " + inQuotes(text), inQuotes(found));
    });
  });

  table.show("queue", [](ReadContext& ctx, const std::string& user) {
    std::string folder = ctx.args.text("folder path");
    return makeStep([=](Runner& runner, const SourceLocation& where) {
      OfficeUser& u = runner.user(user);
      runner.catchUp(u);
      std::string problem;
      const auto path = queuePath(runner, u, folder, problem);
      if (!path) return runner.fail(where, problem);
      const auto content = u.host->disk().readText(*path);
      if (!content) return runner.say(user, "no queue file for " + folder);
      const auto entries = queueEntries(ansiToUtf8(*content));
      runner.say(user, "queue file of " + folder + ": " + counted(entries.size(), "entry", "entries") +
                           " (tasks waiting to be sent)");
      for (std::size_t i = 0; i < entries.size(); ++i)
        runner.out() << "    " << i + 1 << ". " << inQuotes(entries[i]) << '\n';
    });
  });
  table.show("indicator", [](ReadContext&, const std::string& user) {
    return makeStep([user](Runner& runner, const SourceLocation&) {
      OfficeUser& u = runner.user(user);
      runner.catchUp(u);
      const sim::mail::BarState* bar = indicatorBar(u);
      if (!bar) {
        runner.say(user, u.indicatorSeen ? "the indicator was removed" : "no indicator shown");
        return;
      }
      runner.say(user, "the indicator is shown");
      if (bar->buttons.empty()) return runner.out() << "    no button\n", void();
      const sim::mail::ButtonState& button = bar->buttons.front();
      runner.out() << "    caption " << inQuotes(utf16ToUtf8(button.caption)) << '\n'
                   << "    tooltip " << inQuotes(utf16ToUtf8(button.tooltipText)) << '\n';
    });
  });

  // The progress windows of a listing open and close inside one host call;
  // the window stand-in keeps each dialog's record after it closes.
  table.expectation("progress", [](ReadContext& ctx) {
    ctx.args.oneOf("progress check", "listings");
    const int count = ctx.args.count("number of listings");
    return makeExpectation([count](Runner&, OfficeUser& u) -> std::optional<std::string> {
      const std::size_t found = progressListings(u).size();
      if (found == static_cast<std::size_t>(count)) return std::nullopt;
      return expected(std::to_string(count) + " progress listing(s)", std::to_string(found));
    });
  });
  table.show("progress", [](ReadContext&, const std::string& user) {
    return makeStep([user](Runner& runner, const SourceLocation&) {
      const auto listings = progressListings(runner.user(user));
      runner.say(user, std::to_string(listings.size()) + " progress listing(s)");
      for (std::size_t i = 0; i < listings.size(); ++i) {
        const sim::DialogRecord& record = *listings[i];
        const sim::ControlHistory* bar = record.control(progress_dialog::kBarId);
        const sim::ControlHistory* text = record.control(progress_dialog::kTextId);
        std::string range = "none";
        if (bar && !bar->ranges.empty())
          range = std::to_string(bar->ranges.back().first) + ".." +
                  std::to_string(bar->ranges.back().second);
        runner.out() << "    " << i + 1 << ". " << inQuotes(utf16ToUtf8(record.caption))
                     << ", range " << range << ", last position " << (bar ? bar->lastPosition : 0)
                     << (record.open ? ", still open" : "") << '\n';
        if (text)
          for (const std::u16string& line : text->texts)
            runner.out() << "       " << inQuotes(utf16ToUtf8(line)) << '\n';
      }
    });
  });

  table.help("  queue USER PATH write <<END ... END");
  table.help("  expect USER queue PATH entries N|absent");
  table.help("  expect USER indicator absent|shown|removed | caption TEXT | tooltip TEXT");
  table.help("  expect USER progress listings N | show USER progress");
  table.help("  show USER queue PATH | show USER indicator");
}

}  // namespace qx::tools
