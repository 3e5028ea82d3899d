// The engine's codec file operations on its own working files.
#include "core/addin_module.h"
#include "core/sync_engine.h"
#include "protocol/codec/codec_files.h"

namespace qx {

bool SyncEngine::compressFile() {
  return qx::compressFile(module_.platform().files, diagnostics_, shareFilePath_,
                          compressedFilePath_);
}

bool SyncEngine::decompressFile() {
  return qx::decompressFile(module_.platform().files, diagnostics_, compressedFilePath_,
                            messageFilePath());
}

}  // namespace qx
