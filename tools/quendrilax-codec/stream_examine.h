#pragma once
// A look inside a compressed attachment stream, for the codec tool: what the
// header and table say, the code lengths they give and whether the stream
// decodes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/codec/codec_error.h"

namespace qx {

struct ExaminedEntry {
  std::int32_t weight = 0;
  std::uint8_t value = 0;
  int codeLength = 0;  // 0 until the table is known to build a tree
};

struct StreamInfo {
  std::size_t streamSize = 0;
  bool hasHeader = false;
  std::int32_t length = 0;
  std::uint8_t countByte = 0;
  std::vector<ExaminedEntry> table;  // as far as the stream holds entries
  bool codeLengthsKnown = false;
  std::size_t payloadBytes = 0;     // everything after the table
  std::uint64_t payloadBits = 0;    // what the L codes took, when decoded
  std::optional<CodecError> error;  // none: the stream is well formed
};

StreamInfo examineStream(std::span<const std::uint8_t> stream);

}  // namespace qx
