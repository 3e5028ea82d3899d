#include "quendrilax-codec/codec_command.h"

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/codec/codec_error.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "quendrilax-codec/stream_examine.h"
#include "quendrilax-codec/whole_file.h"

namespace qx::codectool {

namespace {

int fail(std::FILE* err, const std::string& message) {
  std::fprintf(err, "quendrilax-codec: %s\n", message.c_str());
  return 1;
}

int compress(const std::string& inPath, const std::string& outPath, std::FILE* err) {
  const auto input = readWholeFile(inPath);
  if (!input) return fail(err, input.error());
  std::vector<std::uint8_t> stream;
  const auto done = huffmanCompressInto(input->view(), stream);
  if (!done) return fail(err, inPath + ": cannot compress: " + std::string(describe(done.error())));
  const auto written = writeBeside(outPath, stream);
  return written ? 0 : fail(err, written.error());
}

int decompress(const std::string& inPath, const std::string& outPath, std::FILE* err) {
  const auto stream = readWholeFile(inPath);
  if (!stream) return fail(err, stream.error());
  auto malformed = [&](CodecError error) {
    return fail(err, inPath + ": malformed stream: " + std::string(describe(error)));
  };
  // The header and table are checked before the length is trusted with an
  // allocation.
  const auto length = huffmanDecodedLength(stream->view());
  if (!length) return malformed(length.error());
  Buffer data = allocateBuffer(*length);
  const auto decoded = huffmanDecompressInto(stream->view(), data.span());
  if (!decoded) return malformed(decoded.error());
  const auto written = writeBeside(outPath, data.view());
  return written ? 0 : fail(err, written.error());
}

std::string byteName(std::uint8_t v) {
  char text[16];
  if (v >= 0x20 && v < 0x7F && v != '\'') {
    std::snprintf(text, sizeof text, "0x%02X '%c'", v, v);
  } else {
    std::snprintf(text, sizeof text, "0x%02X", v);
  }
  return text;
}

int inspect(const std::string& inPath, std::FILE* out, std::FILE* err) {
  const auto stream = readWholeFile(inPath);
  if (!stream) return fail(err, stream.error());
  const StreamInfo info = examineStream(stream->view());
  std::fprintf(out, "stream size:   %zu bytes\n", info.streamSize);
  if (info.hasHeader) {
    std::fprintf(out, "length:        %ld bytes\n", static_cast<long>(info.length));
    if (info.length == 0) {
      std::fprintf(out, "count byte:    0x%02X (not read: nothing to decode)\n", info.countByte);
    } else {
      std::fprintf(out, "count byte:    0x%02X (%d table entries)\n", info.countByte,
                   info.countByte + 1);
    }
    if (!info.table.empty()) {
      std::fprintf(out, "table:         #    weight  value       code length\n");
      for (std::size_t i = 0; i < info.table.size(); ++i) {
        const auto& e = info.table[i];
        std::fprintf(out, "               %-4zu %10ld  %-11s %s\n", i, static_cast<long>(e.weight),
                     byteName(e.value).c_str(),
                     info.codeLengthsKnown ? std::to_string(e.codeLength).c_str() : "-");
      }
    }
    std::fprintf(out, "payload:       %zu bytes", info.payloadBytes);
    if (!info.error && info.length > 0) {
      const std::uint64_t used = (info.payloadBits + 7) / 8;
      std::fprintf(out, " (%llu bits in %llu bytes, %llu bytes beyond)",
                   static_cast<unsigned long long>(info.payloadBits),
                   static_cast<unsigned long long>(used),
                   static_cast<unsigned long long>(info.payloadBytes - used));
    }
    std::fprintf(out, "\n");
  }
  if (info.error) {
    std::fprintf(out, "well formed:   no\n");
    return fail(err, inPath + ": malformed stream: " + std::string(describe(*info.error)));
  }
  std::fprintf(out, "well formed:   yes\n");
  return 0;
}

int usage(std::FILE* err) {
  std::fprintf(err,
               "usage: quendrilax-codec compress IN OUT\n"
               "       quendrilax-codec decompress IN OUT\n"
               "       quendrilax-codec inspect IN\n");
  return 2;
}

}  // namespace

int runCommand(std::span<const std::string_view> args, std::FILE* out, std::FILE* err) {
  if (args.empty()) return usage(err);
  const std::string_view command = args[0];
  if (command == "compress" && args.size() == 3) {
    return compress(std::string(args[1]), std::string(args[2]), err);
  }
  if (command == "decompress" && args.size() == 3) {
    return decompress(std::string(args[1]), std::string(args[2]), err);
  }
  if (command == "inspect" && args.size() == 2) return inspect(std::string(args[1]), out, err);
  return usage(err);
}

}  // namespace qx::codectool
