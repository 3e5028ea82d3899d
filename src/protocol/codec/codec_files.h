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

// False only when the compressed file cannot be read. Whatever goes wrong,
// the target never keeps an earlier message: its caller reads it next without
// looking at the result, and an old message would be applied a second time.
bool decompressFile(Files& files, Diagnostics& diagnostics, std::string_view compressedPath,
                    std::string_view targetPath);

}  // namespace qx
