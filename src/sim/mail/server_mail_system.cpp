#include "sim/mail/server_mail_system.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "sim/mail/imap_fetch.h"
#include "sim/mail/mime_text.h"

namespace qx::sim {
namespace {

namespace fs = std::filesystem;

struct Settings {
  std::string smtpPort, imapPort, password, postfixDir;
};

std::expected<Settings, std::string> readSettings(const fs::path& dir) {
  std::ifstream in(dir / "server.conf");
  if (!in)
    return std::unexpected("no mail server runs in " + dir.string() +
                           " (start one with scripts/mail-server start " + dir.string() + ")");
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  Settings settings{values["smtp"], values["imap"], values["password"], values["postfix"]};
  if (settings.smtpPort.empty() || settings.imapPort.empty() || settings.postfixDir.empty())
    return std::unexpected((dir / "server.conf").string() + " names no SMTP or IMAP port");
  return settings;
}

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using List = std::unique_ptr<curl_slist, ListDeleter>;

std::size_t appendTo(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

struct Upload {
  std::string_view text;
  std::size_t at = 0;
};

std::size_t readFrom(char* buffer, std::size_t size, std::size_t count, void* source) {
  auto* upload = static_cast<Upload*>(source);
  const std::size_t n = std::min(size * count, upload->text.size() - upload->at);
  std::copy_n(upload->text.data() + upload->at, n, buffer);
  upload->at += n;
  return n;
}

// What the SMTP server answered to the last command, and to each RCPT.
struct Dialogue {
  std::string lastCommand;
  std::string lastReply;
  std::string queueId;
  std::string rcptFor;  // the recipient of the RCPT awaiting its answer
  std::vector<std::pair<std::string, std::string>> refused;
};

std::string firstLine(std::string_view text) {
  return std::string(text.substr(0, text.find('\r')));
}

int watchDialogue(CURL*, curl_infotype type, char* data, std::size_t size, void* target) {
  auto* dialogue = static_cast<Dialogue*>(target);
  const std::string_view text(data, size);
  if (type == CURLINFO_HEADER_OUT) {
    dialogue->lastCommand = firstLine(text);
    dialogue->rcptFor.clear();
    // "RCPT TO:<user@office.test>"
    if (dialogue->lastCommand.starts_with("RCPT TO:<")) {
      const std::string_view rest = std::string_view(dialogue->lastCommand).substr(9);
      dialogue->rcptFor = std::string(rest.substr(0, rest.find('>')));
    }
  } else if (type == CURLINFO_HEADER_IN) {
    dialogue->lastReply = firstLine(text);
    // Only a permanent refusal is about the recipient; a temporary one ends
    // the whole transaction as an error.
    if (!dialogue->rcptFor.empty() && text.starts_with('5'))
      dialogue->refused.emplace_back(dialogue->rcptFor, dialogue->lastReply);
    // Postfix: "250 2.0.0 Ok: queued as 3F2A1B4C5D"
    const std::size_t queued = text.find("queued as ");
    if (queued != std::string_view::npos) {
      std::string_view id = text.substr(queued + 10);
      dialogue->queueId = std::string(id.substr(0, id.find_first_of(" \r\n")));
    }
  }
  return 0;
}

// The server's side of an IMAP command: every line it sent after the
// command went out, literals included (libcurl hands a custom command's
// untagged lines to the write callback but not the literals inside them).
struct Exchange {
  std::string command;
  bool sent = false;
  std::string response;
};

int watchExchange(CURL*, curl_infotype type, char* data, std::size_t size, void* target) {
  auto* exchange = static_cast<Exchange*>(target);
  const std::string_view text(data, size);
  if (type == CURLINFO_HEADER_OUT) {
    // "A012 UID FETCH ...": the tag, then the command.
    const std::size_t space = text.find(' ');
    exchange->sent =
        space != std::string_view::npos && text.substr(space + 1).starts_with(exchange->command);
    if (exchange->sent) exchange->response.clear();
  } else if (type == CURLINFO_HEADER_IN && exchange->sent) {
    exchange->response.append(text);
  }
  return 0;
}

// "3:7,9,12:13" for the UIDs given in ascending order.
std::string uidSet(const std::vector<unsigned long>& uids) {
  std::string set;
  for (std::size_t i = 0; i < uids.size();) {
    std::size_t j = i;
    while (j + 1 < uids.size() && uids[j + 1] == uids[j] + 1) ++j;
    if (!set.empty()) set += ',';
    set += std::to_string(uids[i]);
    if (j > i) set += ':' + std::to_string(uids[j]);
    i = j + 1;
  }
  return set;
}

class ServerMailSystem final : public MailSystem {
 public:
  explicit ServerMailSystem(Settings settings) : settings_(std::move(settings)) {}

  // One transaction for all recipients, over a connection kept from one
  // submission to the next.
  std::expected<Accepted, std::string> submit(std::string_view sender,
                                              const std::vector<std::string>& recipients,
                                              std::string_view message, bool hold) override {
    Easy& easy = hold ? holdingSmtp_ : smtp_;
    if (!easy) easy.reset(curl_easy_init());
    if (!easy) return std::unexpected("libcurl cannot make a handle");
    CURL* e = easy.get();
    // The greeting names the client: Postfix holds what comes from
    // hold.office.test (scripts/mail-server).
    const std::string url = "smtp://127.0.0.1:" + settings_.smtpPort + "/" +
                            (hold ? "hold.office.test" : "office.test");
    const std::string from = "<" + std::string(sender) + ">";
    List list;
    for (const std::string& recipient : recipients) {
      curl_slist* grown = curl_slist_append(list.get(), ("<" + recipient + ">").c_str());
      if (!grown) return std::unexpected("libcurl cannot make a recipient list");
      (void)list.release();
      list.reset(grown);
    }
    Upload upload{message};
    Dialogue dialogue;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, list.get());
    // One unknown recipient must not stop the mail for the others.
#if LIBCURL_VERSION_NUM >= 0x080200
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT_ALLOWFAILS, 1L);
#else
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT_ALLLOWFAILS, 1L);
#endif
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, readFrom);
    curl_easy_setopt(e, CURLOPT_READDATA, &upload);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchDialogue);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT, 60L);
    const CURLcode result = curl_easy_perform(e);
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, nullptr);
    if (result == CURLE_OK && !dialogue.queueId.empty())
      return Accepted{dialogue.queueId, std::move(dialogue.refused)};
    // Everybody refused: the transaction ends at the last RCPT.
    if (dialogue.refused.size() == recipients.size())
      return Accepted{"", std::move(dialogue.refused)};
    if (result == CURLE_OK)
      return std::unexpected("SMTP: the server accepted the mail but named no queue id (" +
                             dialogue.lastReply + ")");
    return std::unexpected("SMTP " + dialogue.lastCommand + ": " +
                           (dialogue.lastReply.empty() ? std::string(curl_easy_strerror(result))
                                                       : dialogue.lastReply));
  }

  std::expected<void, std::string> release(const std::vector<std::string>& queueIds) override {
    if (queueIds.empty()) return {};
    // Released mail goes to the deferred queue; the flush sends it on now.
    const std::string command = "postsuper -c '" + settings_.postfixDir +
                                "' -H - >/dev/null 2>&1 && postqueue -c '" + settings_.postfixDir +
                                "' -f";
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe) return std::unexpected("cannot run postsuper");
    std::set<std::string> once;
    for (const std::string& id : queueIds)
      if (once.insert(id).second) std::fprintf(pipe, "%s\n", id.c_str());
    if (::pclose(pipe) != 0) return std::unexpected("postsuper -H failed (is this root?)");
    return {};
  }

  std::expected<std::size_t, std::string> waiting(std::string_view address) override {
    // Selecting again shows what arrived meanwhile (a STATUS of the selected
    // mailbox may answer from the session's older view).
    auto answer = imap(address, "", "SELECT INBOX");
    if (!answer) return std::unexpected(answer.error());
    const std::size_t at = answer->find(" EXISTS");
    if (at == std::string::npos) return std::unexpected("IMAP SELECT: " + *answer);
    const std::size_t start = answer->rfind('*', at);
    if (start == std::string::npos) return std::unexpected("IMAP SELECT: " + *answer);
    return static_cast<std::size_t>(std::strtoul(answer->c_str() + start + 1, nullptr, 10));
  }

  // The mailbox in few commands: its UIDs, its messages a few to a FETCH,
  // then STORE and EXPUNGE.
  std::expected<std::vector<std::string>, std::string> take(std::string_view address) override {
    auto search = imap(address, "INBOX", "UID SEARCH ALL");
    if (!search) return std::unexpected(search.error());
    std::vector<unsigned long> uids;
    if (const std::size_t at = search->find("SEARCH"); at != std::string::npos) {
      for (std::size_t pos = at + 6;;) {
        const std::size_t start = search->find_first_of("0123456789", pos);
        if (start == std::string::npos) break;
        uids.push_back(std::strtoul(search->c_str() + start, nullptr, 10));
        pos = search->find_first_not_of("0123456789", start);
        if (pos == std::string::npos) break;
      }
    }
    std::sort(uids.begin(), uids.end());
    std::vector<std::string> messages;
    std::vector<unsigned long> taken;
    for (std::size_t first = 0; first < uids.size(); first += kMessagesPerFetch) {
      const std::vector<unsigned long> batch(
          uids.begin() + static_cast<std::ptrdiff_t>(first),
          uids.begin() +
              static_cast<std::ptrdiff_t>(std::min(uids.size(), first + kMessagesPerFetch)));
      const std::string command = "UID FETCH " + uidSet(batch) + " (UID BODY.PEEK[])";
      auto response = imap(address, "INBOX", command, true);
      if (!response) {
        // libcurl gives up on a custom command's answer that arrives in
        // large pieces (it counts the lines as response headers): each
        // message then comes by libcurl's own fetch, which takes the literal
        // as the transfer's data.
        for (const unsigned long uid : batch) {
          auto one = imap(address, "INBOX;UID=" + std::to_string(uid), "");
          if (!one) return std::unexpected(one.error());
          taken.push_back(uid);
          messages.push_back(std::move(*one));
        }
        continue;
      }
      auto fetched = mail::parseFetchResponse(*response);
      if (!fetched)
        return std::unexpected("IMAP UID FETCH as " + std::string(address) +
                               ": the server's answer cannot be read: " + fetched.error());
      for (mail::FetchedMessage& m : *fetched) {
        if (!m.text) continue;  // gone meanwhile
        taken.push_back(m.uid);
        messages.push_back(std::move(*m.text));
      }
    }
    std::sort(taken.begin(), taken.end());
    for (std::size_t first = 0; first < taken.size(); first += kExpungedPerCommand) {
      const std::vector<unsigned long> slice(
          taken.begin() + static_cast<std::ptrdiff_t>(first),
          taken.begin() +
              static_cast<std::ptrdiff_t>(std::min(taken.size(), first + kExpungedPerCommand)));
      const std::string set = uidSet(slice);
      if (auto stored = imap(address, "INBOX", "UID STORE " + set + " +FLAGS.SILENT (\\Deleted)");
          !stored)
        return std::unexpected(stored.error());
      if (auto expunged = imap(address, "INBOX", "UID EXPUNGE " + set); !expunged)
        return std::unexpected(expunged.error());
    }
    return messages;
  }

  std::expected<std::size_t, std::string> queued() override {
    const std::string command = "postqueue -c '" + settings_.postfixDir + "' -j 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::unexpected("cannot run postqueue");
    std::size_t lines = 0;
    for (int c; (c = std::fgetc(pipe)) != EOF;) lines += c == '\n' ? 1 : 0;
    if (::pclose(pipe) != 0) return std::unexpected("postqueue -j failed");
    return lines;
  }

 private:
  // One IMAP command as `address`, after selecting the URL's mailbox when
  // `path` names one. Each mailbox keeps its own handle, and with it its
  // connection and login, from one command to the next. The answer is what
  // libcurl passes on, or with `whole` everything the server sent after the
  // command.
  std::expected<std::string, std::string> imap(std::string_view address, const std::string& path,
                                               const std::string& command, bool whole = false) {
    const std::string user = mail::lowerAscii(address);
    Easy& easy = imap_[user];
    if (!easy) {
      easy.reset(curl_easy_init());
      if (!easy) return std::unexpected("libcurl cannot make a handle");
      CURL* e = easy.get();
      curl_easy_setopt(e, CURLOPT_USERNAME, user.c_str());
      curl_easy_setopt(e, CURLOPT_PASSWORD, settings_.password.c_str());
      curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, appendTo);
      curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchExchange);
      curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 10L);
      curl_easy_setopt(e, CURLOPT_TIMEOUT, 60L);
    }
    CURL* e = easy.get();
    const std::string url = "imap://127.0.0.1:" + settings_.imapPort + "/" + path;
    std::string answer;
    Exchange exchange;
    exchange.command = command;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    // No command: libcurl's own fetch of the message the URL names.
    curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, command.empty() ? nullptr : command.c_str());
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(e, CURLOPT_VERBOSE, whole ? 1L : 0L);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &exchange);
    const CURLcode result = curl_easy_perform(e);
    if (result != CURLE_OK)
      return std::unexpected("IMAP " + command + " as " + user + ": " + curl_easy_strerror(result));
    if (whole && !exchange.sent)
      return std::unexpected("IMAP " + command + " as " + user + ": the command was never sent");
    return whole ? std::move(exchange.response) : answer;
  }

  // libcurl gives up on a custom command's answer of many lines that arrive
  // at once: the commands stay small (a few messages, a few EXPUNGE lines).
  static constexpr std::size_t kMessagesPerFetch = 8;
  static constexpr std::size_t kExpungedPerCommand = 200;

  Settings settings_;
  Easy smtp_;
  Easy holdingSmtp_;
  std::map<std::string, Easy> imap_;
};

}  // namespace

std::expected<std::unique_ptr<MailSystem>, std::string> connectMailServer(const fs::path& dir) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  auto settings = readSettings(dir);
  if (!settings) return std::unexpected(settings.error());
  std::unique_ptr<MailSystem> system = std::make_unique<ServerMailSystem>(std::move(*settings));
  // A server that does not answer is named now, not at the first delivery.
  if (auto probe = system->queued(); !probe)
    return std::unexpected("the mail server in " + dir.string() +
                           " does not answer: " + probe.error());
  return system;
}

}  // namespace qx::sim
