#pragma once
// Small fakes for the protocol tests: a GUID source with a chosen sequence
// and failures, and a diagnostics recorder.
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"
#include "platform/codepage.h"
#include "platform/guid.h"
#include "platform/safe_mail_item.h"

namespace qx::testing {

class FakeGuids : public GuidSource {
 public:
  Hresult createStatus = hr::kOk;
  // 0: format like the system; otherwise return this count after writing.
  int forcedWritten = 0;
  bool lowerCase = false;
  std::uint32_t next = 0x0A1B2C3D;
  int created = 0;

  Hresult create(Guid& guid) override {
    if (failed(createStatus)) return createStatus;
    ++created;
    guid = Guid{next++, 0x4E5F, 0x6789, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}};
    return hr::kOk;
  }

  int toString(const Guid& g, std::span<char16_t> buffer) override {
    if (buffer.size() < 39) return 0;
    char text[40];
    std::snprintf(text, sizeof text,
                  lowerCase ? "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}"
                            : "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    for (int i = 0; i < 39; ++i) buffer[static_cast<std::size_t>(i)] = text[i];
    return forcedWritten != 0 ? forcedWritten : 39;
  }
};

class RecordingDiagnostics : public Diagnostics {
 public:
  bool debug = true;
  std::vector<std::string> debugEntries;
  std::vector<std::string> errors;
  int libraryMissing = 0;

  bool debugOn() const override { return debug; }
  void logDebug(std::string_view text) override { debugEntries.emplace_back(text); }
  void reportError(std::string_view text) override { errors.emplace_back(text); }
  void reportLibraryMissing() override { ++libraryMissing; }
};

// A safe mail item that only holds a body, for the reader.
class BodyOnlySafeMail : public SafeMailItem {
 public:
  Result<std::u16string> storedBody = std::u16string();

  Hresult putItem(const std::shared_ptr<Dispatch>&) override { return hr::kOk; }
  Result<std::u16string> body() override { return storedBody; }
  Hresult setBody(std::u16string_view text) override {
    storedBody = std::u16string(text);
    return hr::kOk;
  }
  Result<Variant> field(std::int32_t) override { return failure(hr::kMapiNotFound); }
  Hresult setField(std::int32_t, const Variant&) override { return hr::kOk; }
  Result<std::shared_ptr<SafeAttachments>> attachments() override { return failure(hr::kNotImpl); }
  Result<std::shared_ptr<SafeRecipients>> recipients() override { return failure(hr::kNotImpl); }
  Hresult send() override { return hr::kOk; }
};

// Latin-1 as the ANSI code page; characters beyond it become '?'. Either
// direction can be made to fail.
class Latin1CodePage : public CodePage {
 public:
  bool failToAnsi = false;
  bool failToWide = false;

  Result<std::string> toAnsi(std::u16string_view wide) override {
    if (failToAnsi) return failure(hr::kFail);
    std::string out;
    for (const char16_t c : wide) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
  }
  Result<std::u16string> toWide(std::string_view ansi) override {
    if (failToWide) return failure(hr::kFail);
    std::u16string out;
    for (const char c : ansi) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
};

}  // namespace qx::testing
