#include "protocol/codec/codec_files.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"

namespace qx {

namespace {

std::string joined(std::string_view path, std::string_view text) {
  std::string entry;
  entry.reserve(path.size() + text.size());
  entry.append(path);
  entry.append(text);
  return entry;
}

// A target that cannot be deleted is at least emptied, so that no earlier
// message survives under its name.
void clearTarget(Files& files, std::string_view targetPath) {
  const WinError deleted = files.deleteFile(targetPath);
  if (deleted == win::kSuccess || deleted == win::kFileNotFound) return;
  files.writeFile(targetPath, {});
}

std::string malformedReport(std::string_view compressedPath, WinError code) {
  return joined(compressedPath, ">-<coul'd not be decompressed\nGetLastError returned: ") +
         std::to_string(std::to_underlying(code)) + "\n";
}

}  // namespace

bool compressFile(Files& files, Diagnostics& diagnostics, std::string_view sharePath,
                  std::string_view compressedPath) {
  auto data = files.readFile(sharePath);
  if (!data) {
    diagnostics.reportError(joined(sharePath, " coul'd not be opened"));
    return false;
  }
  auto stream = huffmanCompress(*data);
  if (!stream) {
    diagnostics.reportError(joined(sharePath, " wurde nicht komprimiert"));
    return false;
  }
  data->clear();
  data->shrink_to_fit();
  if (files.writeFile(compressedPath, *stream) != win::kSuccess) {
    diagnostics.reportError(joined(compressedPath, " coul'd not be create"));
    files.deleteFile(compressedPath);
    return false;
  }
  return true;
}

Decompression decompressAttachment(Files& files, Diagnostics& diagnostics,
                                   std::string_view compressedPath, std::string_view targetPath) {
  auto stream = files.readFile(compressedPath);
  if (!stream) {
    diagnostics.reportError(joined(compressedPath, " coul'd not be opened"));
    clearTarget(files, targetPath);
    return Decompression::kFailed;
  }
  auto data = huffmanDecompress(*stream);
  if (!data) {
    clearTarget(files, targetPath);
    if (data.error() != CodecError::kOutOfMemory) return Decompression::kMalformed;
    diagnostics.reportError(malformedReport(compressedPath, win::kNotEnoughMemory));
    return Decompression::kFailed;
  }
  stream->clear();
  stream->shrink_to_fit();
  if (files.writeFile(targetPath, *data) != win::kSuccess) {
    diagnostics.reportError(joined(targetPath, " coul'd not be decompressed"));
    clearTarget(files, targetPath);
    return Decompression::kFailed;
  }
  return Decompression::kWritten;
}

bool decompressFile(Files& files, Diagnostics& diagnostics, std::string_view compressedPath,
                    std::string_view targetPath) {
  const Decompression done = decompressAttachment(files, diagnostics, compressedPath, targetPath);
  // A malformed stream has no system error behind it.
  if (done == Decompression::kMalformed)
    diagnostics.reportError(malformedReport(compressedPath, win::kSuccess));
  return done == Decompression::kWritten;
}

}  // namespace qx
