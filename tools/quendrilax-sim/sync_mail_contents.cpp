#include "quendrilax-sim/sync_mail_contents.h"

#include "protocol/codec/codec_error.h"
#include "protocol/codec/huffman_decompress.h"
#include "sim/mail/msg_file.h"

namespace qx::tools {

Carried carriedTask(const sim::mail::ItemData& mail) {
  if (mail.attachments.empty()) return {std::nullopt, "no attachment"};
  const auto& content = mail.attachments.front().content;
  auto message = huffmanDecompress(content);
  if (!message)
    return {std::nullopt,
            "an attachment that does not decode (" + std::string(describe(message.error())) + ")"};
  auto item = sim::mail::decodeMessageFile(*message);
  if (!item) return {std::nullopt, "an attachment that is no message file"};
  return {std::move(*item), {}};
}

}  // namespace qx::tools
