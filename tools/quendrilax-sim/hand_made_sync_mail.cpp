#include "quendrilax-sim/hand_made_sync_mail.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <expected>

#include "common/messages.h"
#include "platform/mail_ids.h"
#include "platform/safe_mail_item.h"
#include "platform/safe_utilities.h"
#include "platform/utf_text.h"
#include "protocol/change_version.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/sync_envelope.h"
#include "quendrilax-sim/command_table.h"
#include "quendrilax-sim/outbox_watch.h"
#include "quendrilax-sim/runner.h"
#include "quendrilax-sim/runner_text.h"
#include "quendrilax-sim/scenario_args.h"
#include "quendrilax-sim/text_utf.h"
#include "sim/codepage_sim.h"
#include "sim/mail/mail_client.h"
#include "sim/mail/mail_store.h"
#include "sim/mail/msg_file.h"
#include "sim/office/host_process.h"

namespace qx::tools {

namespace {

constexpr std::u16string_view kSyncIdProperty = u"quendrilaxid";
constexpr std::u16string_view kLastShareNameProperty = u"lastsharename";
constexpr std::u16string_view kAttachmentName = u"sync.huf";
// The icon index field, below the named range.
constexpr std::uint16_t kIconIndexId = static_cast<std::uint16_t>(prop_tag::kIconIndex >> 16);
constexpr std::int32_t kImportanceLow = 0;
constexpr std::int32_t kSensitivityConfidential = 3;

sim::mail::UserProp textProperty(std::u16string_view name, const std::string& ansi) {
  return {std::u16string(name), user_property_type::kText, Variant(sim::CodePageSim::widen(ansi))};
}

// The task as the sender's store holds it after sending: its fields, its
// sync id and the share name it went out under.
sim::mail::ItemData carriedTask(const HandMadeSyncMail& mail) {
  sim::mail::ItemData task = sim::mail::ItemData::newTask();
  for (const FieldValue& field : mail.fields) applyField(task, field);
  task.userProperties.push_back(textProperty(kSyncIdProperty, mail.syncId));
  task.userProperties.push_back(textProperty(kLastShareNameProperty, mail.shareName));
  for (const HandMadeProperty& property : mail.properties) {
    sim::mail::UserProp made{sim::CodePageSim::widen(property.name), property.type, property.value};
    const auto same = std::ranges::find(task.userProperties, made.name, &sim::mail::UserProp::name);
    if (same != task.userProperties.end())
      *same = std::move(made);
    else
      task.userProperties.push_back(std::move(made));
  }
  return task;
}

}  // namespace

std::string handMadeTag(const std::string& userName) {
  // "FE" and the user's name byte by byte in hexadecimal: a tie-breaker of
  // the form the add-in accepts, and another for each user.
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string tag = "FE";
  for (char c : userName) {
    if (tag.size() + 2 > changeversion::kMaxTagLength) break;
    const auto byte = static_cast<unsigned char>(c);
    tag.push_back(kDigits[byte >> 4]);
    tag.push_back(kDigits[byte & 0xF]);
  }
  return tag;
}

Result<sim::mail::ItemData> buildHandMadeSyncMail(const HandMadeSyncMail& mail, LangId language,
                                                  const std::u16string& senderAddress) {
  sim::mail::ItemData data = sim::mail::ItemData::newMail();
  data.subject = std::u16string(syncmail::kSubjectText);
  data.to = sim::CodePageSim::widen(mail.to);
  data.senderAddress = senderAddress;
  data.importance = kImportanceLow;
  data.sensitivity = kSensitivityConfidential;
  data.readReceiptRequested = false;
  data.deleteAfterSubmit = true;
  data.rawProperties[kIconIndexId] = Variant(syncmail::kIconIndex);

  std::string versionLine;
  if (mail.version) {
    versionLine.append(changeversion::kLineOpen)
        .append(*mail.version)
        .append(changeversion::kLineClose)
        .push_back('\n');
  }
  const std::string notice = sim::CodePageSim::narrow(loadMessage(language, msg::kMailNotice));
  data.body = mail.rawBody ? *mail.rawBody
                           : sim::CodePageSim::widen(buildSyncBody(
                                 notice, mail.kind, mail.shareName, mail.syncId, versionLine));

  if (mail.kind == SyncKind::kChange) {
    data.namedProperties[{std::u16string(prop_set::kInternetHeaders),
                          std::u16string(syncmail::kHeaderIdName)}] =
        Variant(sim::CodePageSim::widen(mail.syncId));
    auto compressed = mail.attachment
                          ? std::expected<std::vector<std::uint8_t>, CodecError>(*mail.attachment)
                          : huffmanCompress(sim::mail::encodeMessageFile(carriedTask(mail)));
    if (!compressed) return failure(hr::kFail);
    sim::mail::AttachmentData attachment;
    attachment.id = 1;
    attachment.displayName = std::u16string(kAttachmentName);
    attachment.fileName = std::u16string(kAttachmentName);
    attachment.content = std::move(*compressed);
    data.attachments.push_back(std::move(attachment));
  }
  return data;
}

}  // namespace qx::tools

namespace qx::tools {

namespace {

HandMadeProperty readProperty(Args& args) {
  HandMadeProperty property{args.ansiText("property name"), user_property_type::kText, Variant()};
  const std::string type = args.oneOf("property type", "text|number|yesno");
  if (type == "text") {
    property.value = Variant(sim::CodePageSim::widen(args.longAnsiText("property text")));
  } else if (type == "number") {
    const std::string text = args.text("property number");
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
      bad("property number: not a 32-bit number: '" + text + "'");
    property.type = user_property_type::kNumber;
    property.value = Variant(number);
  } else {
    property.type = user_property_type::kYesNo;
    property.value = Variant(args.oneOf("property yes/no", "yes|no") == "yes");
  }
  return property;
}

}  // namespace

std::shared_ptr<const Step> readHandMadeSyncMail(ReadContext& ctx, const std::string& user) {
  Args& args = ctx.args;
  HandMadeSyncMail mail;
  const std::string kind = args.oneOf("sync mail kind", "change|removal");
  mail.kind = kind == "change" ? SyncKind::kChange : SyncKind::kRemoval;
  const std::string usage =
      "mail USER send " + kind +
      " to ADDRESSES share SHARENAME id SYNCID [version TEXT|none] [raw-body TEXT]" +
      (kind == "change" ? " [attachment-file NAME] [property NAME TYPE VALUE]... [FIELD VALUE]..."
                        : "");
  if (!args.accept("to")) bad(usage);
  mail.to = args.ansiText("addresses");
  if (!args.accept("share")) bad(usage);
  mail.shareName = args.longAnsiText("share name");
  if (!args.accept("id")) bad(usage);
  mail.syncId = args.ansiText("sync id");
  bool versionGiven = false;
  if (args.accept("version")) {
    versionGiven = true;
    if (!args.accept("none")) mail.version = args.longAnsiText("version text");
  }
  if (args.accept("raw-body")) mail.rawBody = utf8ToUtf16(args.longText("body text"));
  if (mail.kind == SyncKind::kRemoval) {
    if (!args.done()) bad("a removal carries no task: " + usage);
  } else {
    if (args.accept("attachment-file")) {
      const std::string bytes = ctx.readFile(args.text("file name"));
      mail.attachment.emplace(bytes.begin(), bytes.end());
    }
    while (!args.done()) {
      if (args.accept("property"))
        mail.properties.push_back(readProperty(args));
      else
        mail.fields.push_back(readFieldValue(args));
    }
  }
  return makeStep([mail, versionGiven, user](Runner& runner, const SourceLocation& where) {
    OfficeUser& u = runner.user(user);
    HandMadeSyncMail made = mail;
    if (!versionGiven)
      made.version = std::to_string(u.host->clockReadingMs()) + "-" + handMadeTag(user);
    auto& client = u.host->mail();
    const Result<sim::mail::ItemData> data =
        buildHandMadeSyncMail(made, u.setup.language, client.address());
    if (!data) return runner.fail(where, "cannot compress the task of the hand-made mail");
    auto& core = client.core();
    const std::u16string entryId = core.insertItem(
        core.defaultStore(), client.defaultFolderId(default_folder::kOutbox), *data, true);
    u.outbox.known(entryId, outboxSignature(*data));
    runner.say(user, std::string("sends a hand-made ") +
                         (made.kind == SyncKind::kChange ? "change" : "removal") + " of " +
                         ansiToUtf8(made.syncId) + " in " + inQuotes(ansiToUtf8(made.shareName)) +
                         " to " + ansiToUtf8(made.to) + ", " +
                         (made.version ? "version " + inQuotes(ansiToUtf8(*made.version))
                                       : std::string("no version")) +
                         " (waits in the Outbox)");
  });
}

}  // namespace qx::tools
