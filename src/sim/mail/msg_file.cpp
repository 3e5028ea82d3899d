#include "sim/mail/msg_file.h"

#include <array>
#include <bit>
#include <cstring>
#include <set>
#include <string>

#include "platform/mail_status.h"

namespace qx::sim::mail {

namespace {

// "QXMSG", then bytes that text-mode transfers and line-end rewriting damage.
constexpr std::array<std::uint8_t, 8> kSignature = {'Q', 'X', 'M', 'S', 'G', 0x1A, 0x0D, 0x0A};
constexpr std::uint32_t kVersion = 1;

enum Tag : std::uint16_t {
  kKind = 1,
  kMessageClass,
  kSubject,
  kBody,
  kImportance,
  kSensitivity,
  kCategories,
  kOwner,
  kStatus,
  kPercentComplete,
  kStartDate,
  kDueDate,
  kComplete,
  kTo,
  kSentOnBehalfOf,
  kSender,
  kReadReceipt,
  kDeleteAfterSubmit,
  kUserProperty = 30,
  kNamedProperty,
  kRawProperty,
  kAttachment,
};

std::uint32_t crc32(std::span<const std::uint8_t> bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

class Writer {
 public:
  std::vector<std::uint8_t> bytes;
  void u8(std::uint8_t v) { bytes.push_back(v); }
  void u16(std::uint16_t v) {
    for (int i = 0; i < 2; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
  void str(std::u16string_view s) {
    u32(static_cast<std::uint32_t>(s.size()));
    for (char16_t c : s) u16(c);
  }
  void blob(std::span<const std::uint8_t> b) {
    u32(static_cast<std::uint32_t>(b.size()));
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
  void value(const Variant& v) {
    u8(static_cast<std::uint8_t>(v.type()));
    if (auto* t = v.text())
      str(*t);
    else if (auto n = v.asLong())
      i32(*n);
    else if (auto d = v.asDouble())
      f64(*d);
    else if (auto b = v.asBool())
      u8(*b ? 1 : 0);
    else if (auto date = v.asDate())
      f64(date->days);
  }
};

// A record: tag, length, content written by `fill`.
template <class Fill>
void record(Writer& out, Tag tag, Fill fill) {
  Writer content;
  fill(content);
  out.u16(tag);
  out.blob(content.bytes);
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  bool atEnd() const { return pos_ == bytes_.size(); }
  std::size_t remaining() const { return bytes_.size() - pos_; }

  std::uint64_t uint(int width) {
    if (!need(static_cast<std::size_t>(width))) return 0;
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i)
      v |= std::uint64_t{bytes_[pos_ + static_cast<std::size_t>(i)]} << (8 * i);
    pos_ += static_cast<std::size_t>(width);
    return v;
  }
  std::uint8_t u8() { return static_cast<std::uint8_t>(uint(1)); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(uint(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(uint(4)); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  double f64() { return std::bit_cast<double>(uint(8)); }
  bool flag() {
    std::uint8_t v = u8();
    if (v > 1) ok_ = false;
    return v == 1;
  }
  std::u16string str() {
    std::uint32_t count = u32();
    if (!ok_ || count > remaining() / 2) {
      ok_ = false;
      return {};
    }
    std::u16string s(count, u'\0');
    for (char16_t& c : s) c = u16();
    return s;
  }
  std::span<const std::uint8_t> blob() {
    std::uint32_t size = u32();
    if (!need(size)) return {};
    auto out = bytes_.subspan(pos_, size);
    pos_ += size;
    return out;
  }
  Variant value() {
    switch (static_cast<VarType>(u8())) {
      case VarType::kEmpty:
        return Variant();
      case VarType::kText:
        return Variant(str());
      case VarType::kLong:
        return Variant(i32());
      case VarType::kDouble:
        return Variant(f64());
      case VarType::kBool:
        return Variant(flag());
      case VarType::kDate:
        return Variant(DateValue{f64()});
      default:
        ok_ = false;
        return Variant();
    }
  }

 private:
  bool need(std::size_t n) {
    if (!ok_ || n > remaining()) ok_ = false;
    return ok_;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

bool validKind(std::uint8_t kind) { return kind >= 1 && kind <= 4; }

// Reads one record's content into `data`; false when it is malformed.
bool readRecord(std::uint16_t tag, Reader& in, ItemData& data) {
  switch (tag) {
    case kKind: {
      std::uint8_t kind = in.u8();
      if (!validKind(kind)) return false;
      data.kind = static_cast<ItemKind>(kind);
      break;
    }
    case kMessageClass:
      data.messageClass = in.str();
      break;
    case kSubject:
      data.subject = in.str();
      break;
    case kBody:
      data.body = in.str();
      break;
    case kImportance:
      data.importance = in.i32();
      break;
    case kSensitivity:
      data.sensitivity = in.i32();
      break;
    case kCategories:
      data.categories = in.str();
      break;
    case kOwner:
      data.owner = in.str();
      break;
    case kStatus:
      data.status = in.i32();
      break;
    case kPercentComplete:
      data.percentComplete = in.i32();
      break;
    case kStartDate:
      data.startDate = DateValue{in.f64()};
      break;
    case kDueDate:
      data.dueDate = DateValue{in.f64()};
      break;
    case kComplete:
      data.complete = in.flag();
      break;
    case kTo:
      data.to = in.str();
      break;
    case kSentOnBehalfOf:
      data.sentOnBehalfOfName = in.str();
      break;
    case kSender:
      data.senderAddress = in.str();
      break;
    case kReadReceipt:
      data.readReceiptRequested = in.flag();
      break;
    case kDeleteAfterSubmit:
      data.deleteAfterSubmit = in.flag();
      break;
    case kUserProperty: {
      UserProp p;
      p.name = in.str();
      p.type = in.i32();
      p.value = in.value();
      if (!in.ok() || p.name.empty() || data.findUserProperty(p.name)) return false;
      data.userProperties.push_back(std::move(p));
      break;
    }
    case kNamedProperty: {
      NamedKey key;
      key.set = in.str();
      key.name = in.str();
      Variant v = in.value();
      if (!in.ok() || !data.namedProperties.emplace(std::move(key), std::move(v)).second) {
        return false;
      }
      break;
    }
    case kRawProperty: {
      std::uint16_t id = in.u16();
      Variant v = in.value();
      if (!in.ok() || id >= 0x8000 || !data.rawProperties.emplace(id, std::move(v)).second) {
        return false;
      }
      break;
    }
    case kAttachment: {
      AttachmentData a;
      a.displayName = in.str();
      a.fileName = in.str();
      auto content = in.blob();
      if (!in.ok()) return false;
      a.content.assign(content.begin(), content.end());
      a.id = static_cast<std::uint32_t>(data.attachments.size() + 1);
      data.attachments.push_back(std::move(a));
      break;
    }
    default:
      // A record of a later version: its length already bounds it.
      while (!in.atEnd()) in.u8();
      break;
  }
  return in.ok() && in.atEnd();
}

}  // namespace

std::vector<std::uint8_t> encodeMessageFile(const ItemData& data) {
  Writer payload;
  record(payload, kKind, [&](Writer& w) { w.u8(static_cast<std::uint8_t>(data.kind)); });
  record(payload, kMessageClass, [&](Writer& w) { w.str(data.messageClass); });
  record(payload, kSubject, [&](Writer& w) { w.str(data.subject); });
  record(payload, kBody, [&](Writer& w) { w.str(data.body); });
  record(payload, kImportance, [&](Writer& w) { w.i32(data.importance); });
  record(payload, kSensitivity, [&](Writer& w) { w.i32(data.sensitivity); });
  record(payload, kCategories, [&](Writer& w) { w.str(data.categories); });
  record(payload, kOwner, [&](Writer& w) { w.str(data.owner); });
  record(payload, kStatus, [&](Writer& w) { w.i32(data.status); });
  record(payload, kPercentComplete, [&](Writer& w) { w.i32(data.percentComplete); });
  record(payload, kStartDate, [&](Writer& w) { w.f64(data.startDate.days); });
  record(payload, kDueDate, [&](Writer& w) { w.f64(data.dueDate.days); });
  record(payload, kComplete, [&](Writer& w) { w.u8(data.complete ? 1 : 0); });
  record(payload, kTo, [&](Writer& w) { w.str(data.to); });
  record(payload, kSentOnBehalfOf, [&](Writer& w) { w.str(data.sentOnBehalfOfName); });
  record(payload, kSender, [&](Writer& w) { w.str(data.senderAddress); });
  record(payload, kReadReceipt, [&](Writer& w) { w.u8(data.readReceiptRequested ? 1 : 0); });
  record(payload, kDeleteAfterSubmit, [&](Writer& w) { w.u8(data.deleteAfterSubmit ? 1 : 0); });
  for (const UserProp& p : data.userProperties) {
    // A message file holds one named property per name: of several user
    // properties with one name the first is written, as a read by tag sees it.
    if (&p != data.findUserProperty(p.name)) continue;
    record(payload, kUserProperty, [&](Writer& w) {
      w.str(p.name);
      w.i32(p.type);
      w.value(p.value);
    });
  }
  for (const auto& [key, value] : data.namedProperties) {
    record(payload, kNamedProperty, [&](Writer& w) {
      w.str(key.set);
      w.str(key.name);
      w.value(value);
    });
  }
  for (const auto& [id, value] : data.rawProperties) {
    record(payload, kRawProperty, [&](Writer& w) {
      w.u16(id);
      w.value(value);
    });
  }
  for (const AttachmentData& a : data.attachments) {
    record(payload, kAttachment, [&](Writer& w) {
      w.str(a.displayName);
      w.str(a.fileName);
      w.blob(a.content);
    });
  }
  Writer file;
  file.bytes.assign(kSignature.begin(), kSignature.end());
  file.u32(kVersion);
  file.u32(static_cast<std::uint32_t>(payload.bytes.size()));
  file.u32(crc32(payload.bytes));
  file.bytes.insert(file.bytes.end(), payload.bytes.begin(), payload.bytes.end());
  return file.bytes;
}

Result<ItemData> decodeMessageFile(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kHeader = kSignature.size() + 12;
  if (bytes.size() < kHeader || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) {
    return failure(hr::kMapiCorruptData);
  }
  Reader header(bytes.subspan(kSignature.size(), 12));
  std::uint32_t version = header.u32();
  std::uint32_t length = header.u32();
  std::uint32_t checksum = header.u32();
  auto payload = bytes.subspan(kHeader);
  if (version != kVersion || length != payload.size() || crc32(payload) != checksum) {
    return failure(hr::kMapiCorruptData);
  }
  ItemData data;
  std::set<std::uint16_t> seen;
  Reader in(payload);
  while (!in.atEnd()) {
    std::uint16_t tag = in.u16();
    auto content = in.blob();
    if (!in.ok()) return failure(hr::kMapiCorruptData);
    bool repeatable =
        tag == kUserProperty || tag == kNamedProperty || tag == kRawProperty || tag == kAttachment;
    if (!repeatable && !seen.insert(tag).second) return failure(hr::kMapiCorruptData);
    Reader field(content);
    if (!readRecord(tag, field, data)) return failure(hr::kMapiCorruptData);
  }
  if (!seen.contains(kKind)) return failure(hr::kMapiCorruptData);
  return data;
}

}  // namespace qx::sim::mail
