#pragma once
// Why the attachment codec refused a stream or an input.
#include <string_view>

namespace qx {

enum class CodecError {
  kShortHeader,          // fewer than the 5 bytes of length and count
  kNegativeLength,       // the signed length field is below zero
  kTableTruncated,       // the weight table runs past the end of the stream
  kBadWeight,            // a table weight is zero or negative
  kWeightOverflow,       // the weights add up beyond the signed 32-bit range
  kLengthBeyondPayload,  // the payload cannot hold L codes, even of the shortest length
  kPayloadTooShort,      // the codes of L bytes run past the end of the stream
  kInputTooLarge,        // more than the signed 32-bit length field can state
  kRunTooLong,           // one repeated byte value beyond kMaxSingleValueLength
  kLengthTooLarge,       // a declared length beyond kMaxDecodedLength
  kOutOfMemory,
};

// One line for the tool and the tests; the add-in logs its own fixed texts.
std::string_view describe(CodecError error);

}  // namespace qx
