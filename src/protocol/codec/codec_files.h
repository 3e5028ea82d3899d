#pragma once
// The engine's two file operations over the codec: the outgoing task's share
// file into the compressed attachment file, and a received attachment file
// into the message file the Inbox scan reads next. Failures go to the error
// log with the fixed texts that users and peers search for.
#include <string_view>

#include "common/diagnostics.h"
#include "platform/files.h"

namespace qx {

// False when the share file cannot be read, cannot be compressed or the
// compressed file cannot be written; a partly written compressed file is
// removed.
bool compressFile(Files& files, Diagnostics& diagnostics, std::string_view sharePath,
                  std::string_view compressedPath);

// What became of a received attachment file.
enum class Decompression {
  kWritten,
  // The stream is no stream this codec wrote, or declares more than any
  // message file: it never will decompress, and nothing was reported.
  kMalformed,
  // The file could not be read, the memory had or the target written: it may
  // work later. Reported with the fixed texts.
  kFailed,
};

// Whatever goes wrong, the target never keeps an earlier message: a reader
// that looks no further than the target would apply an old message a second
// time.
Decompression decompressAttachment(Files& files, Diagnostics& diagnostics,
                                   std::string_view compressedPath, std::string_view targetPath);

// decompressAttachment, with a malformed stream reported as well; true only
// when the target was written.
bool decompressFile(Files& files, Diagnostics& diagnostics, std::string_view compressedPath,
                    std::string_view targetPath);

}  // namespace qx
