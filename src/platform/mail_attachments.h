#pragma once
// Attachments of a mail item.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dispatch.h"

namespace qx {

class Attachment {
 public:
  virtual ~Attachment() = default;
  virtual Result<std::u16string> displayName() = 0;
  virtual Result<std::u16string> fileName() = 0;
  // Writes the attachment's content to a file.
  virtual Hresult saveAsFile(std::u16string_view path) = 0;
  // Removes it from its item (the working copy).
  virtual Hresult deleteAttachment() = 0;
};

class Attachments {
 public:
  virtual ~Attachments() = default;
  virtual Result<std::int32_t> count() = 0;
  // 1-based.
  virtual Result<std::shared_ptr<Attachment>> item(std::int32_t index) = 0;
  // Adds the content of the file at `source` (attachment_type::kByValue) at a
  // 1-based position.
  virtual Result<std::shared_ptr<Attachment>> add(std::u16string_view source, std::int32_t type,
                                                  std::int32_t position,
                                                  std::u16string_view displayName) = 0;
  // 1-based.
  virtual Hresult remove(std::int32_t index) = 0;
};

}  // namespace qx
