#include "quendrilax-codec/codec_command.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <expected>
#include <span>
#include <string>
#include <vector>

#include "protocol/codec/codec_error.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "protocol/codec/huffman_stream.h"
#include "protocol/codec/huffman_tree.h"
#include "quendrilax-codec/stream_examine.h"
#include "quendrilax-codec/whole_file.h"

namespace qx::codectool {

namespace {

// The most each command reads: compress takes what the stream's signed 32-bit
// length can state; a stream is never longer than its header, the largest
// table and that many codes of the longest length.
constexpr std::size_t kMaxInput = static_cast<std::size_t>(INT32_MAX);
constexpr std::size_t kMaxStream =
    kStreamHeaderSize + kHuffmanMaxLeaves * kTableEntrySize + (kMaxInput * kMaxCodeLength + 7) / 8;

int fail(std::FILE* err, const std::string& message) {
  std::fprintf(err, "quendrilax-codec: %s\n", message.c_str());
  return 1;
}

std::string nameOf(const std::string& path) {
  return path == kStandardStream ? std::string("standard input") : path;
}

// Before anything is read: writing the input over itself would lose it.
bool refuseSameFile(const std::string& inPath, const std::string& outPath, std::FILE* err) {
  if (!sameFile(inPath, outPath)) return false;
  fail(err, inPath + " and " + outPath + " are the same file: the output would replace the input");
  return true;
}

std::expected<void, std::string> writeOutput(const std::string& outPath,
                                             std::span<const std::uint8_t> bytes, std::FILE* out) {
  std::fflush(out);
  return writeBeside(outPath, bytes, ::fileno(out));
}

int compress(const std::string& inPath, const std::string& outPath, const Console& console) {
  if (refuseSameFile(inPath, outPath, console.err)) return 1;
  const auto input = readWholeFile(inPath, kMaxInput, ::fileno(console.in));
  if (!input) return fail(console.err, input.error());
  std::vector<std::uint8_t> stream;
  const auto done = huffmanCompressInto(input->view(), stream);
  if (!done) {
    return fail(console.err,
                nameOf(inPath) + ": cannot compress: " + std::string(describe(done.error())));
  }
  const auto written = writeOutput(outPath, stream, console.out);
  return written ? 0 : fail(console.err, written.error());
}

int decompress(const std::string& inPath, const std::string& outPath, const Console& console) {
  if (refuseSameFile(inPath, outPath, console.err)) return 1;
  const auto stream = readWholeFile(inPath, kMaxStream, ::fileno(console.in));
  if (!stream) return fail(console.err, stream.error());
  auto malformed = [&](CodecError error) {
    return fail(console.err,
                nameOf(inPath) + ": malformed stream: " + std::string(describe(error)));
  };
  // The header and table are checked before the length is trusted with an
  // allocation.
  const auto length = huffmanDecodedLength(stream->view());
  if (!length) return malformed(length.error());
  Buffer data = allocateBuffer(*length);
  const auto decoded = huffmanDecompressInto(stream->view(), data.span());
  if (!decoded) return malformed(decoded.error());
  const auto written = writeOutput(outPath, data.view(), console.out);
  return written ? 0 : fail(console.err, written.error());
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

void printTable(const StreamInfo& info, bool verbose, std::FILE* out) {
  if (info.table.empty()) return;
  // A malformed stream's table is mostly noise (negative weights of bytes
  // that were never a table): it is counted, and listed only when asked for.
  if (info.error && !verbose) {
    std::fprintf(out, "table:         %zu entries present (listed with --verbose)\n",
                 info.table.size());
    return;
  }
  std::fprintf(out, "table:         #    weight  value       code length\n");
  for (std::size_t i = 0; i < info.table.size(); ++i) {
    const auto& e = info.table[i];
    std::fprintf(out, "               %-4zu %10ld  %-11s %s\n", i, static_cast<long>(e.weight),
                 byteName(e.value).c_str(),
                 info.codeLengthsKnown ? std::to_string(e.codeLength).c_str() : "-");
  }
}

int inspect(const std::string& inPath, bool verbose, const Console& console) {
  std::FILE* out = console.out;
  const auto stream = readWholeFile(inPath, kMaxStream, ::fileno(console.in));
  if (!stream) return fail(console.err, stream.error());
  const StreamInfo info = examineStream(stream->view());
  if (info.error) {
    std::fprintf(out, "well formed:   no (%s)\n", std::string(describe(*info.error)).c_str());
  } else {
    std::fprintf(out, "well formed:   yes\n");
  }
  std::fprintf(out, "stream size:   %zu bytes\n", info.streamSize);
  if (info.hasHeader) {
    std::fprintf(out, "length:        %ld bytes\n", static_cast<long>(info.length));
    if (info.length == 0) {
      std::fprintf(out, "count byte:    0x%02X (not read: nothing to decode)\n", info.countByte);
    } else {
      std::fprintf(out, "count byte:    0x%02X (%d table entries)\n", info.countByte,
                   info.countByte + 1);
    }
    printTable(info, verbose, out);
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
    return fail(console.err,
                nameOf(inPath) + ": malformed stream: " + std::string(describe(*info.error)));
  }
  return 0;
}

constexpr const char* kUsage =
    "usage: quendrilax-codec compress IN OUT\n"
    "       quendrilax-codec decompress IN OUT\n"
    "       quendrilax-codec inspect [--verbose] IN\n"
    "       quendrilax-codec --help\n"
    "IN or OUT - is standard input or output. inspect lists a malformed stream's\n"
    "table only with --verbose.\n";

int wrongUsage(std::FILE* err, const std::string& why) {
  std::fprintf(err, "quendrilax-codec: %s\n%s", why.c_str(), kUsage);
  return 2;
}

}  // namespace

int runCommand(std::span<const std::string_view> args, const Console& console) {
  if (args.empty()) return wrongUsage(console.err, "no command given");
  const std::string_view command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, console.out);
    return 0;
  }
  std::vector<std::string> operands;
  bool verbose = false;
  for (const std::string_view arg : args.subspan(1)) {
    if (command == "inspect" && arg == "--verbose") {
      verbose = true;
    } else if (arg.starts_with("-") && arg != kStandardStream) {
      return wrongUsage(console.err,
                        "unknown option '" + std::string(arg) + "' for " + std::string(command));
    } else {
      operands.emplace_back(arg);
    }
  }
  if (command == "compress" || command == "decompress") {
    if (operands.size() != 2) {
      return wrongUsage(console.err, std::string(command) + " takes IN and OUT, " +
                                         std::to_string(operands.size()) + " given");
    }
    return command == "compress" ? compress(operands[0], operands[1], console)
                                 : decompress(operands[0], operands[1], console);
  }
  if (command == "inspect") {
    if (operands.size() != 1) {
      return wrongUsage(console.err,
                        "inspect takes IN, " + std::to_string(operands.size()) + " given");
    }
    return inspect(operands[0], verbose, console);
  }
  return wrongUsage(console.err, "unknown command '" + std::string(command) + "'");
}

}  // namespace qx::codectool
