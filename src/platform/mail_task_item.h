#pragma once
// A task item of the mail client. An item object is a working copy: changes
// are stored by save(); other objects of the same item see the stored state
// until then.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class UserProperties;

class TaskItem : public Dispatch {
 public:
  // Empty until the item is first saved.
  virtual Result<std::u16string> entryId() = 0;
  virtual Result<std::u16string> subject() = 0;
  virtual Hresult setSubject(std::u16string_view text) = 0;
  virtual Result<std::u16string> body() = 0;
  virtual Hresult setBody(std::u16string_view text) = 0;
  virtual Result<std::u16string> categories() = 0;
  virtual Hresult setCategories(std::u16string_view text) = 0;
  // sensitivity::k...
  virtual Result<std::int32_t> sensitivity() = 0;
  virtual Hresult setSensitivity(std::int32_t value) = 0;
  // importance::k...
  virtual Result<std::int32_t> importance() = 0;
  virtual Hresult setImportance(std::int32_t value) = 0;
  // task_status::k...
  virtual Result<std::int32_t> status() = 0;
  virtual Hresult setStatus(std::int32_t value) = 0;
  virtual Result<std::int32_t> percentComplete() = 0;
  virtual Hresult setPercentComplete(std::int32_t value) = 0;
  // kNoDate when not set.
  virtual Result<DateValue> startDate() = 0;
  virtual Hresult setStartDate(DateValue value) = 0;
  virtual Result<DateValue> dueDate() = 0;
  virtual Hresult setDueDate(DateValue value) = 0;
  virtual Result<bool> complete() = 0;
  virtual Hresult setComplete(bool value) = 0;
  virtual Result<std::u16string> owner() = 0;
  virtual Hresult setOwner(std::u16string_view text) = 0;
  // The folder holding the item (ask it for queryFolder()).
  virtual Result<std::shared_ptr<Dispatch>> parent() = 0;
  virtual Result<std::shared_ptr<UserProperties>> userProperties() = 0;
  virtual Hresult save() = 0;
  // Outside Deleted Items: moves the item there. In Deleted Items: removes it
  // for good.
  virtual Hresult deleteItem() = 0;
  // The item in the destination folder, under a new entry id; nullptr (and
  // the same entry id) when the item already lies in that folder.
  virtual Result<std::shared_ptr<Dispatch>> move(const std::shared_ptr<Folder>& destination) = 0;
};

}  // namespace qx
