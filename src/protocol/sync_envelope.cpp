#include "protocol/sync_envelope.h"

#include "common/messages.h"
#include "platform/mail_ids.h"
#include "protocol/sync_prop_tag.h"

namespace qx {

void setSyncMailFlags(MailItem& mail) {
  (void)mail.setImportance(importance::kLow);
  (void)mail.setReadReceiptRequested(false);
  (void)mail.setSensitivity(sensitivity::kConfidential);
}

Hresult setSyncMailRecipients(MailItem& mail, std::u16string_view recipientLine,
                              const std::optional<std::u16string>& senderName) {
  const Hresult status = mail.setTo(recipientLine);
  if (failed(status)) return status;
  if (senderName && !senderName->empty()) (void)mail.setSentOnBehalfOfName(*senderName);
  return status;
}

Hresult setSyncIconIndex(SafeMailItem& safeMail) {
  return safeMail.setField(prop_tag::kIconIndex, Variant(syncmail::kIconIndex));
}

Hresult setSyncHeaderId(SafeLibrary& library, const std::shared_ptr<SafeMailItem>& safeMail,
                        std::u16string_view syncId) {
  const Result<std::shared_ptr<MapiUtilities>> utilities = createMapiUtilities(library);
  if (!utilities) return utilities.error();
  const Result<std::int32_t> tag =
      (*utilities)
          ->getIdsFromNames(safeMail, prop_set::kInternetHeaders, syncmail::kHeaderIdName, true);
  if (!tag) return tag.error();
  return safeMail->setField(asString8Tag(*tag), Variant(syncId));
}

Result<std::u16string> readSyncHeaderId(MapiUtilities& utilities,
                                        const std::shared_ptr<SafeMailItem>& safeMail) {
  const Result<std::int32_t> tag = utilities.getIdsFromNames(safeMail, prop_set::kInternetHeaders,
                                                             syncmail::kHeaderIdName, false);
  if (!tag) return failure(tag.error());
  const Result<Variant> value = safeMail->field(asString8Tag(*tag));
  if (!value) return failure(value.error());
  const std::u16string* text = value->text();
  if (text == nullptr) return failure(hr::kTypeMismatch);
  return *text;
}

Hresult setSyncSubject(MailItem& mail) { return mail.setSubject(syncmail::kSubjectText); }

Hresult writeSyncBody(SafeMailItem& safeMail, CodePage& codePage, LangId language, SyncKind kind,
                      std::string_view shareName, std::string_view syncId,
                      std::string_view trailingLine) {
  const Result<std::string> notice = codePage.toAnsi(loadMessage(language, msg::kMailNotice));
  if (!notice) return notice.error();
  const Result<std::u16string> body =
      codePage.toWide(buildSyncBody(*notice, kind, shareName, syncId, trailingLine));
  if (!body) return body.error();
  return safeMail.setBody(*body);
}

void finishSyncMail(MailItem& mail, SafeMailItem& safeMail) {
  (void)mail.setDeleteAfterSubmit(true);
  const Result<std::shared_ptr<SafeRecipients>> recipients = safeMail.recipients();
  if (!recipients) return;
  std::int32_t unresolved = -1;
  (void)(*recipients)->resolveAll(unresolved);
}

}  // namespace qx
