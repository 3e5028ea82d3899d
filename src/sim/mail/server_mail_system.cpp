#include "sim/mail/server_mail_system.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>

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

// What the SMTP server answered, line by line, and the last command sent.
struct Dialogue {
  std::string lastCommand;
  std::string lastReply;
  std::string queueId;
  std::string recipientRefused;  // the server's permanent refusal of RCPT
};

int watchDialogue(CURL*, curl_infotype type, char* data, std::size_t size, void* target) {
  auto* dialogue = static_cast<Dialogue*>(target);
  const std::string_view text(data, size);
  if (type == CURLINFO_HEADER_OUT) {
    dialogue->lastCommand = std::string(text.substr(0, text.find('\r')));
  } else if (type == CURLINFO_HEADER_IN) {
    dialogue->lastReply = std::string(text.substr(0, text.find('\r')));
    if (dialogue->lastCommand.starts_with("RCPT") && text.starts_with('5'))
      dialogue->recipientRefused = dialogue->lastReply;
    // Postfix: "250 2.0.0 Ok: queued as 3F2A1B4C5D"
    const std::size_t queued = text.find("queued as ");
    if (queued != std::string_view::npos) {
      std::string_view id = text.substr(queued + 10);
      dialogue->queueId = std::string(id.substr(0, id.find_first_of(" \r\n")));
    }
  }
  return 0;
}

class ServerMailSystem final : public MailSystem {
 public:
  explicit ServerMailSystem(Settings settings) : settings_(std::move(settings)) {}

  std::expected<std::string, Refusal> submit(std::string_view sender, std::string_view recipient,
                                             std::string_view message, bool hold) override {
    Easy& easy = hold ? holdingSmtp_ : smtp_;
    if (!easy) easy.reset(curl_easy_init());
    if (!easy) return std::unexpected(Refusal{false, "libcurl cannot make a handle"});
    CURL* e = easy.get();
    curl_easy_reset(e);
    // The greeting names the client: Postfix holds what comes from
    // hold.office.test (scripts/mail-server).
    const std::string url = "smtp://127.0.0.1:" + settings_.smtpPort + "/" +
                            (hold ? "hold.office.test" : "office.test");
    const std::string from = "<" + std::string(sender) + ">";
    List recipients(curl_slist_append(nullptr, ("<" + std::string(recipient) + ">").c_str()));
    Upload upload{message};
    Dialogue dialogue;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, readFrom);
    curl_easy_setopt(e, CURLOPT_READDATA, &upload);
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchDialogue);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &dialogue);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT, 60L);
    const CURLcode result = curl_easy_perform(e);
    if (result == CURLE_OK) return dialogue.queueId;
    if (!dialogue.recipientRefused.empty())
      return std::unexpected(Refusal{true, "SMTP RCPT: " + dialogue.recipientRefused});
    return std::unexpected(Refusal{false, "SMTP " + dialogue.lastCommand + ": " +
                                                (dialogue.lastReply.empty()
                                                     ? std::string(curl_easy_strerror(result))
                                                     : dialogue.lastReply)});
  }

  std::expected<void, std::string> release(const std::vector<std::string>& queueIds) override {
    if (queueIds.empty()) return {};
    // Released mail goes to the deferred queue; the flush sends it on now.
    const std::string command = "postsuper -c '" + settings_.postfixDir +
                                "' -H - >/dev/null 2>&1 && postqueue -c '" +
                                settings_.postfixDir + "' -f";
    FILE* pipe = ::popen(command.c_str(), "w");
    if (!pipe) return std::unexpected("cannot run postsuper");
    for (const std::string& id : queueIds) std::fprintf(pipe, "%s\n", id.c_str());
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

  std::expected<std::vector<std::string>, std::string> take(std::string_view address) override {
    auto search = imap(address, "INBOX", "UID SEARCH ALL");
    if (!search) return std::unexpected(search.error());
    std::vector<std::string> uids;
    const std::size_t at = search->find("SEARCH");
    if (at != std::string::npos) {
      std::size_t pos = at + 6;
      while (true) {
        const std::size_t start = search->find_first_of("0123456789", pos);
        if (start == std::string::npos) break;
        const std::size_t end = search->find_first_not_of("0123456789", start);
        uids.push_back(search->substr(start, end - start));
        if (end == std::string::npos) break;
        pos = end;
      }
    }
    std::vector<std::string> messages;
    for (const std::string& uid : uids) {
      auto message = imap(address, "INBOX;UID=" + uid, "");
      if (!message) return std::unexpected(message.error());
      messages.push_back(std::move(*message));
    }
    if (!uids.empty()) {
      std::string set;
      for (const std::string& uid : uids) set += (set.empty() ? "" : ",") + uid;
      if (auto stored = imap(address, "INBOX", "UID STORE " + set + " +FLAGS.SILENT (\\Deleted)");
          !stored)
        return std::unexpected(stored.error());
      if (auto expunged = imap(address, "INBOX", "EXPUNGE"); !expunged)
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
  // One IMAP request as `address`: a fetch of the URL's message when
  // `command` is empty, else that command (after selecting the URL's
  // mailbox). Each mailbox keeps its own connection.
  std::expected<std::string, std::string> imap(std::string_view address, const std::string& path,
                                               const std::string& command) {
    const std::string user = mail::lowerAscii(address);
    Easy& easy = imap_[user];
    if (!easy) easy.reset(curl_easy_init());
    if (!easy) return std::unexpected("libcurl cannot make a handle");
    CURL* e = easy.get();
    curl_easy_reset(e);
    const std::string url = "imap://127.0.0.1:" + settings_.imapPort + "/" + path;
    std::string answer;
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(e, CURLOPT_PASSWORD, settings_.password.c_str());
    if (!command.empty()) curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, command.c_str());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, appendTo);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(e, CURLOPT_TIMEOUT, 60L);
    const CURLcode result = curl_easy_perform(e);
    if (result != CURLE_OK)
      return std::unexpected("IMAP " + (command.empty() ? "FETCH " + path : command) + " as " +
                             user + ": " + curl_easy_strerror(result));
    return answer;
  }

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
    return std::unexpected("the mail server in " + dir.string() + " does not answer: " +
                           probe.error());
  return system;
}

}  // namespace qx::sim
