#pragma once
// A mail item of the mail client; a working copy like a task item.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"
#include "platform/variant.h"

namespace qx {

class Attachments;

class MailItem : public Dispatch {
 public:
  virtual Result<std::u16string> entryId() = 0;
  // Recipient addresses separated by ";".
  virtual Result<std::u16string> to() = 0;
  virtual Hresult setTo(std::u16string_view text) = 0;
  virtual Result<std::u16string> sentOnBehalfOfName() = 0;
  virtual Hresult setSentOnBehalfOfName(std::u16string_view text) = 0;
  virtual Result<std::int32_t> importance() = 0;
  virtual Hresult setImportance(std::int32_t value) = 0;
  virtual Result<bool> readReceiptRequested() = 0;
  virtual Hresult setReadReceiptRequested(bool value) = 0;
  virtual Result<std::int32_t> sensitivity() = 0;
  virtual Hresult setSensitivity(std::int32_t value) = 0;
  virtual Result<std::u16string> subject() = 0;
  virtual Hresult setSubject(std::u16string_view text) = 0;
  // No copy is kept in Sent Items when set.
  virtual Result<bool> deleteAfterSubmit() = 0;
  virtual Hresult setDeleteAfterSubmit(bool value) = 0;
  // When the mail left its sender, in local time; a mail never sent gives
  // the host's "no date".
  virtual Result<DateValue> sentOn() = 0;
  virtual Result<std::u16string> body() = 0;
  virtual Hresult setBody(std::u16string_view text) = 0;
  virtual Result<std::shared_ptr<Attachments>> attachments() = 0;
  virtual Result<std::shared_ptr<Dispatch>> parent() = 0;
  virtual Hresult save() = 0;
  // Outside Deleted Items: moves the item there. In Deleted Items: removes it
  // for good.
  virtual Hresult deleteItem() = 0;
  // As TaskItem::move.
  virtual Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) = 0;
  // Saves pending changes and submits the mail: it waits in the Outbox until
  // the transport runs. The same as SafeMailItem::send, with the host's
  // security prompt on a real host.
  virtual Hresult send() = 0;
};

}  // namespace qx
