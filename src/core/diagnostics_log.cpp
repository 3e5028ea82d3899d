#include "core/diagnostics_log.h"

#include <span>
#include <string>

#include "core/addin_module.h"
#include "platform/mail_addin.h"
#include "common/messages.h"

namespace qx {

namespace {

constexpr std::string_view kInvalidDateTime = "Invalid DateTime";

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

std::string DiagnosticsLog::timeStamp() {
  const Platform& platform = module_.platform();
  // time() reports its failure as -1, which no local time can be made of.
  const std::int64_t now = platform.clock.now();
  if (now < 0) return std::string(kInvalidDateTime);
  auto date = platform.clock.toLocalDate(now);
  if (!date) return std::string(kInvalidDateTime);
  auto text = platform.locale.formatDate(*date);
  if (!text) return std::string(kInvalidDateTime);
  auto ansi = platform.codePage.toAnsi(*text);
  if (!ansi) return std::string(kInvalidDateTime);
  return *ansi;
}

void DiagnosticsLog::logDebug(std::string_view text) {
  if (!module_.logWriteEnabled()) return;
  try {
    std::string entry = timeStamp();
    entry += " -> ";
    entry += text;
    entry += '\n';
    // A file that cannot be opened loses this entry only; the next one tries
    // again.
    append(debugLogPath_, entry);
  } catch (...) {
    // Whatever was thrown, the log must not take the caller's work down.
    module_.disableLogWrite();
  }
}

void DiagnosticsLog::reportError(std::string_view text) {
  logDebug("--ERROR--");
  logDebug(text);
  if (errorLogPath_.empty()) return;
  try {
    std::string entry(text);
    entry += '\n';
    append(errorLogPath_, entry);
  } catch (...) {
    // An error report must never take the operation that made it down with it.
  }
}

void DiagnosticsLog::setErrorLogPath(std::string path) {
  errorLogPath_ = moved_ ? inFallback(path) : std::move(path);
}

std::string DiagnosticsLog::inFallback(const std::string& path) const {
  return fallbackFolder_ + path.substr(path.find_last_of('\\') + 1);
}

WinError DiagnosticsLog::append(std::string& path, std::string_view entry) {
  Files& files = module_.platform().files;
  const WinError status = files.appendFile(path, bytesOf(entry));
  if (status != win::kAccessDenied || moved_ || fallbackFolder_.empty()) return status;
  moved_ = true;
  debugLogPath_ = inFallback(debugLogPath_);
  if (!errorLogPath_.empty()) errorLogPath_ = inFallback(errorLogPath_);
  return files.appendFile(path, bytesOf(entry));
}

void DiagnosticsLog::reportLibraryMissing() {
  reportError("Hessaplex may be not registered");
  const LangId language = module_.uiLanguage();
  module_.platform().windows.messageBox(kNoWindow, loadMessage(language, msg::kProductName),
                                        loadMessage(language, msg::kLibraryMissing), win::kMbOk);
  // The host disconnects the add-in before this returns: nothing of this
  // object may be used from here on.
  module_.requestDisconnect();
}

}  // namespace qx
