#include "protocol/codec/codec_error.h"

namespace qx {

std::string_view describe(CodecError error) {
  switch (error) {
    case CodecError::kShortHeader:
      return "stream shorter than its 5-byte header";
    case CodecError::kNegativeLength:
      return "negative length";
    case CodecError::kTableTruncated:
      return "weight table runs past the end of the stream";
    case CodecError::kBadWeight:
      return "weight table holds a zero or negative weight";
    case CodecError::kWeightOverflow:
      return "weights add up beyond 2147483647";
    case CodecError::kLengthBeyondPayload:
      return "length larger than the payload could hold";
    case CodecError::kPayloadTooShort:
      return "payload ends before the last byte's code";
    case CodecError::kInputTooLarge:
      return "input longer than 2147483647 bytes";
    case CodecError::kRunTooLong:
      return "single repeated byte value longer than the codec accepts";
    case CodecError::kLengthTooLarge:
      return "length larger than any message file the reader accepts";
    case CodecError::kOutOfMemory:
      return "out of memory";
  }
  return "unknown codec error";
}

}  // namespace qx
