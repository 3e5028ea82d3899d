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
  std::string control;  // the script that started the server, for its faults
  std::string dir;
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
  Settings settings{values["smtp"], values["imap"],    values["password"],
                    values["postfix"], values["control"], dir.string()};
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
  std::vector<std::string> deferred;
  std::string deferredReply;
  bool quitting = false;  // the answer to QUIT says nothing about the mail
};

std::string firstLine(std::string_view text) {
  return std::string(text.substr(0, text.find('\r')));
}

int watchDialogue(CURL*, curl_infotype type, char* data, std::size_t size, void* target) {
  auto* dialogue = static_cast<Dialogue*>(target);
  const std::string_view text(data, size);
  if (dialogue->quitting) return 0;
  if (type == CURLINFO_HEADER_OUT) {
    if (text.starts_with("QUIT")) {
      dialogue->quitting = true;
      return 0;
    }
    dialogue->lastCommand = firstLine(text);
    dialogue->rcptFor.clear();
    // "RCPT TO:<user@office.test>"
    if (dialogue->lastCommand.starts_with("RCPT TO:<")) {
      const std::string_view rest = std::string_view(dialogue->lastCommand).substr(9);
      dialogue->rcptFor = std::string(rest.substr(0, rest.find('>')));
    }
  } else if (type == CURLINFO_HEADER_IN) {
    dialogue->lastReply = firstLine(text);
    if (!dialogue->rcptFor.empty() && text.starts_with('5'))
      dialogue->refused.emplace_back(dialogue->rcptFor, dialogue->lastReply);
    if (!dialogue->rcptFor.empty() && text.starts_with('4')) {
      dialogue->deferred.push_back(dialogue->rcptFor);
      dialogue->deferredReply = dialogue->lastReply;
    }
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

// The search keys of IMAP SEARCH (the mark is digits, dots and an address).
std::string messageIdHas(std::string_view mark) {
  return "HEADER Message-ID \"" + std::string(mark) + "\"";
}
const std::string kForeign = "NOT " + messageIdHas(kOfficeMessageIdEnd);

bool connectionFailed(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
      return true;
    default:
      return false;
  }
}

class ServerMailSystem final : public MailSystem {
 public:
  explicit ServerMailSystem(Settings settings) : settings_(std::move(settings)) {}

  // One transaction for all recipients, over a connection kept from one
  // submission to the next.
  std::expected<Accepted, Failure> submit(std::string_view sender,
                                          const std::vector<std::string>& recipients,
                                          std::string_view message, bool hold) override {
    // The greeting names the client: Postfix holds what comes from
    // hold.office.test and refuses, at DATA, what comes from
    // refuse-CODE.office.test with CODE (scripts/mail-server).
    std::string greeting = hold ? "hold.office.test" : "office.test";
    if (refusalsLeft_ > 0) {
      --refusalsLeft_;
      greeting = "refuse-" + std::to_string(refusalCode_) + ".office.test";
    }
    Easy& easy = smtp_[greeting];
    if (!easy) easy.reset(curl_easy_init());
    if (!easy) return std::unexpected(Failure{Failure::Kind::kUnreachable, "", "libcurl cannot make a handle"});
    CURL* e = easy.get();
    const std::string url = "smtp://127.0.0.1:" + settings_.smtpPort + "/" + greeting;
    const std::string from = "<" + std::string(sender) + ">";
    List list;
    for (const std::string& recipient : recipients) {
      curl_slist* grown = curl_slist_append(list.get(), ("<" + recipient + ">").c_str());
      if (!grown)
        return std::unexpected(
            Failure{Failure::Kind::kUnreachable, "", "libcurl cannot make a recipient list"});
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
    setTimeouts(e);
    const CURLcode result = curl_easy_perform(e);
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, nullptr);
    if (result == CURLE_OK && !dialogue.queueId.empty())
      return Accepted{dialogue.queueId, std::move(dialogue.refused), std::move(dialogue.deferred),
                      dialogue.deferredReply};
    // Nobody accepted: the transaction ends at the last RCPT.
    if (!dialogue.refused.empty() &&
        dialogue.refused.size() + dialogue.deferred.size() == recipients.size())
      return Accepted{"", std::move(dialogue.refused), std::move(dialogue.deferred),
                      dialogue.deferredReply};
    // The connection may be half gone: the next transaction opens a new one.
    easy.reset();
    const std::string detail =
        "SMTP " + (dialogue.lastCommand.empty() ? std::string("connection") : dialogue.lastCommand) +
        ": " + (dialogue.lastReply.empty() ? std::string(curl_easy_strerror(result)) : dialogue.lastReply);
    if (!dialogue.deferred.empty() && dialogue.deferred.size() == recipients.size())
      return std::unexpected(Failure{Failure::Kind::kTemporary, dialogue.deferredReply, detail});
    const char first = dialogue.lastReply.empty() ? '\0' : dialogue.lastReply[0];
    if (result == CURLE_OK)
      return std::unexpected(Failure{Failure::Kind::kUnreachable, "",
                                     "SMTP: the server accepted the mail but named no queue id (" +
                                         dialogue.lastReply + ")"});
    if (first == '4' && !connectionFailed(result))
      return std::unexpected(Failure{Failure::Kind::kTemporary, dialogue.lastReply, detail});
    if (first == '5' && !connectionFailed(result))
      return std::unexpected(Failure{Failure::Kind::kPermanent, dialogue.lastReply, detail});
    if (first == '4' || first == '5')
      return std::unexpected(Failure{first == '4' ? Failure::Kind::kTemporary
                                                  : Failure::Kind::kPermanent,
                                     dialogue.lastReply, detail});
    return std::unexpected(Failure{Failure::Kind::kUnreachable, "", detail});
  }

  std::expected<void, std::string> release(const std::vector<std::string>& queueIds) override {
    if (queueIds.empty()) return {};
    // Released mail goes to the deferred queue; the flush sends it on now.
    const std::string postsuper =
        "postsuper -c '" + settings_.postfixDir + "' -H - >/dev/null 2>&1";
    FILE* pipe = ::popen(postsuper.c_str(), "w");
    if (!pipe) return std::unexpected("cannot run postsuper");
    std::set<std::string> once;
    for (const std::string& id : queueIds)
      if (once.insert(id).second) std::fprintf(pipe, "%s\n", id.c_str());
    if (::pclose(pipe) != 0)
      return std::unexpected("postsuper -H could not release held mail in " +
                             settings_.postfixDir);
    if (auto flushed = run("postqueue -c '" + settings_.postfixDir + "' -f"); !flushed)
      return std::unexpected("postqueue -f could not send released mail on: " + flushed.error());
    return {};
  }

  std::expected<std::size_t, std::string> waiting(std::string_view address,
                                                  std::string_view mark) override {
    auto uids = search(address, messageIdHas(mark));
    if (!uids) return std::unexpected(uids.error());
    return uids->size();
  }

  // The mailbox in few commands: its UIDs, its messages a few to a FETCH,
  // then STORE and EXPUNGE.
  std::expected<std::vector<std::string>, std::string> take(std::string_view address,
                                                            std::string_view mark) override {
    auto uids = search(address, "OR " + messageIdHas(mark) + " " + kForeign);
    if (!uids) return std::unexpected(uids.error());
    std::vector<std::string> messages;
    std::vector<unsigned long> taken;
    for (std::size_t first = 0; first < uids->size(); first += kMessagesPerFetch) {
      const std::vector<unsigned long> batch(
          uids->begin() + static_cast<std::ptrdiff_t>(first),
          uids->begin() +
              static_cast<std::ptrdiff_t>(std::min(uids->size(), first + kMessagesPerFetch)));
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
    if (auto removed = remove(address, std::move(taken)); !removed)
      return std::unexpected(removed.error());
    return messages;
  }

  std::expected<void, std::string> clearLeftovers(std::string_view address) override {
    // OLDER is the WITHIN extension: seconds since the server took it.
    auto uids = search(address, "OR " + kForeign + " OLDER 3600");
    if (!uids) return std::unexpected(uids.error());
    return remove(address, std::move(*uids));
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

  std::expected<void, std::string> setSmtpRunning(bool running) override {
    smtp_.clear();
    return control("smtp", running);
  }
  std::expected<void, std::string> setImapRunning(bool running) override {
    imap_.clear();
    return control("imap", running);
  }
  void refuseNext(int code, int count) override {
    refusalCode_ = code;
    refusalsLeft_ = count;
  }

  // Whether both sides answer: a connection and a greeting from each.
  std::expected<void, std::string> probe() {
    for (const std::string& url : {"smtp://127.0.0.1:" + settings_.smtpPort + "/office.test",
                                   "imap://127.0.0.1:" + settings_.imapPort + "/"}) {
      Easy easy(curl_easy_init());
      if (!easy) return std::unexpected("libcurl cannot make a handle");
      curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy.get(), CURLOPT_CONNECT_ONLY, 1L);
      setTimeouts(easy.get());
      if (const CURLcode result = curl_easy_perform(easy.get()); result != CURLE_OK)
        return std::unexpected(url.substr(0, 4) + " on 127.0.0.1:" +
                               (url[0] == 's' ? settings_.smtpPort : settings_.imapPort) + ": " +
                               curl_easy_strerror(result));
    }
    return {};
  }

 private:
  static void setTimeouts(CURL* e) {
    // Loopback answers at once or not at all; a whole FETCH of a piled-up
    // mailbox may take its time, a silent server may not.
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 5L);
    curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, 10L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT, 60L);
  }

  // A command of the server's tools; its error output is the error.
  static std::expected<void, std::string> run(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return std::unexpected("cannot run " + command);
    std::string output;
    for (int c; (c = std::fgetc(pipe)) != EOF;) output.push_back(static_cast<char>(c));
    if (::pclose(pipe) != 0) {
      while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
      return std::unexpected(output.empty() ? command + " failed" : output);
    }
    return {};
  }

  std::expected<void, std::string> control(const std::string& side, bool running) {
    if (settings_.control.empty())
      return std::unexpected("the mail server's server.conf names no control script");
    return run("'" + settings_.control + "' " + side + (running ? " start '" : " stop '") +
               settings_.dir + "'");
  }

  std::expected<std::vector<unsigned long>, std::string> search(std::string_view address,
                                                                const std::string& keys) {
    auto answer = imap(address, "INBOX", "UID SEARCH " + keys);
    if (!answer) return std::unexpected(answer.error());
    // "* SEARCH 3 7 9": the numbers of that line only; other untagged
    // lines (a new message's "* 4 EXISTS") may come with it.
    std::vector<unsigned long> uids;
    if (const std::size_t at = answer->find("* SEARCH"); at != std::string::npos) {
      const std::size_t end = std::min(answer->find_first_of("\r\n", at), answer->size());
      for (std::size_t pos = at + 8; pos < end;) {
        const std::size_t start = answer->find_first_of("0123456789", pos);
        if (start == std::string::npos || start >= end) break;
        uids.push_back(std::strtoul(answer->c_str() + start, nullptr, 10));
        pos = answer->find_first_not_of("0123456789", start);
        if (pos == std::string::npos) break;
      }
    }
    std::sort(uids.begin(), uids.end());
    return uids;
  }

  std::expected<void, std::string> remove(std::string_view address,
                                          std::vector<unsigned long> uids) {
    std::sort(uids.begin(), uids.end());
    for (std::size_t first = 0; first < uids.size(); first += kExpungedPerCommand) {
      const std::vector<unsigned long> slice(
          uids.begin() + static_cast<std::ptrdiff_t>(first),
          uids.begin() +
              static_cast<std::ptrdiff_t>(std::min(uids.size(), first + kExpungedPerCommand)));
      const std::string set = uidSet(slice);
      if (auto stored = imap(address, "INBOX", "UID STORE " + set + " +FLAGS.SILENT (\\Deleted)");
          !stored)
        return std::unexpected(stored.error());
      if (auto expunged = imap(address, "INBOX", "UID EXPUNGE " + set); !expunged)
        return std::unexpected(expunged.error());
    }
    return {};
  }

  // One IMAP command as `address`, after selecting the URL's mailbox when
  // `path` names one. Each mailbox keeps its own handle, and with it its
  // connection and login, from one command to the next; a failed command
  // drops it, so that the next one starts on a fresh connection. The answer
  // is what libcurl passes on, or with `whole` everything the server sent
  // after the command.
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
      setTimeouts(e);
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
    if (result != CURLE_OK) {
      imap_.erase(user);
      return std::unexpected("IMAP " + command + " as " + user + ": " + curl_easy_strerror(result));
    }
    if (whole && !exchange.sent)
      return std::unexpected("IMAP " + command + " as " + user + ": the command was never sent");
    return whole ? std::move(exchange.response) : answer;
  }

  // libcurl gives up on a custom command's answer of many lines that arrive
  // at once: the commands stay small (a few messages, a few EXPUNGE lines).
  static constexpr std::size_t kMessagesPerFetch = 8;
  static constexpr std::size_t kExpungedPerCommand = 200;

  Settings settings_;
  std::map<std::string, Easy> smtp_;  // by greeting
  std::map<std::string, Easy> imap_;
  int refusalCode_ = 0;
  int refusalsLeft_ = 0;
};

}  // namespace

std::expected<std::unique_ptr<MailSystem>, std::string> connectMailServer(const fs::path& dir) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  auto settings = readSettings(dir);
  if (!settings) return std::unexpected(settings.error());
  auto system = std::make_unique<ServerMailSystem>(std::move(*settings));
  // A server that does not answer is named now, not at the first delivery.
  if (auto probe = system->probe(); !probe)
    return std::unexpected("the mail server in " + dir.string() +
                           " does not answer: " + probe.error());
  return std::unique_ptr<MailSystem>(std::move(system));
}

}  // namespace qx::sim
