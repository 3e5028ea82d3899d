// quendrilax-codec: compresses and decompresses files in the attachment
// stream format, and shows what a stream holds.
//
//   quendrilax-codec compress IN OUT
//   quendrilax-codec decompress IN OUT
//   quendrilax-codec inspect IN
//
// Exit status 0 on success, 1 with one line on standard error when a file
// cannot be read or written or a stream is malformed, 2 on wrong usage. OUT is
// written to a temporary file beside it and renamed into place, so a failed
// run never leaves a half-written OUT.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "protocol/codec/codec_error.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "quendrilax-codec/stream_examine.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

int fail(const std::string& message) {
  std::fprintf(stderr, "quendrilax-codec: %s\n", message.c_str());
  return 1;
}

std::optional<Bytes> readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// Writes beside the target and renames, so readers see the old file or the
// whole new one, never a part.
bool writeAtomically(const fs::path& target, const Bytes& bytes, std::string& why) {
  std::random_device seed;
  fs::path temp = target;
  temp += ".tmp" + std::to_string(seed());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      why = "cannot create " + target.string();
      return false;
    }
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      why = "cannot write " + target.string();
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    why = "cannot replace " + target.string() + ": " + ec.message();
    return false;
  }
  return true;
}

int convert(bool compress, const fs::path& inPath, const fs::path& outPath) {
  const auto input = readWhole(inPath);
  if (!input) return fail("cannot read " + inPath.string());
  const auto output = compress ? qx::huffmanCompress(*input) : qx::huffmanDecompress(*input);
  if (!output) {
    return fail(inPath.string() + (compress ? ": cannot compress: " : ": malformed stream: ") +
                std::string(qx::describe(output.error())));
  }
  std::string why;
  if (!writeAtomically(outPath, *output, why)) return fail(why);
  return 0;
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

int inspect(const fs::path& inPath) {
  const auto stream = readWhole(inPath);
  if (!stream) return fail("cannot read " + inPath.string());
  const qx::StreamInfo info = qx::examineStream(*stream);
  std::printf("stream size:   %zu bytes\n", info.streamSize);
  if (info.hasHeader) {
    std::printf("length:        %ld bytes\n", static_cast<long>(info.length));
    if (info.length == 0) {
      std::printf("count byte:    0x%02X (not read: nothing to decode)\n", info.countByte);
    } else {
      std::printf("count byte:    0x%02X (%d table entries)\n", info.countByte, info.countByte + 1);
    }
    if (!info.table.empty()) {
      std::printf("table:         #    weight  value       code length\n");
      for (std::size_t i = 0; i < info.table.size(); ++i) {
        const auto& e = info.table[i];
        std::printf("               %-4zu %10ld  %-11s %s\n", i, static_cast<long>(e.weight),
                    byteName(e.value).c_str(),
                    info.codeLengthsKnown ? std::to_string(e.codeLength).c_str() : "-");
      }
    }
    std::printf("payload:       %zu bytes", info.payloadBytes);
    if (!info.error && info.length > 0) {
      const std::uint64_t used = (info.payloadBits + 7) / 8;
      std::printf(" (%llu bits in %llu bytes, %llu bytes beyond)",
                  static_cast<unsigned long long>(info.payloadBits),
                  static_cast<unsigned long long>(used),
                  static_cast<unsigned long long>(info.payloadBytes - used));
    }
    std::printf("\n");
  }
  if (info.error) {
    std::printf("well formed:   no\n");
    return fail(inPath.string() + ": malformed stream: " + std::string(qx::describe(*info.error)));
  }
  std::printf("well formed:   yes\n");
  return 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: quendrilax-codec compress IN OUT\n"
               "       quendrilax-codec decompress IN OUT\n"
               "       quendrilax-codec inspect IN\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  if ((command == "compress" || command == "decompress") && argc == 4) {
    return convert(command == "compress", argv[2], argv[3]);
  }
  if (command == "inspect" && argc == 3) return inspect(argv[2]);
  return usage();
}
