// The message-file reader on files whose checksum is right but whose records
// are not: every malformed record is refused without reading past it.
#include <array>

#include "sim/mail/msg_file.h"
#include "sim/mail_fixture.h"

namespace qx::sim::mailtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crc32(const Bytes& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return crc ^ 0xFFFFFFFFu;
}

void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A record: tag, declared length, content.
Bytes record(std::uint16_t tag, const Bytes& content, std::optional<std::uint32_t> length = {}) {
  Bytes out;
  put16(out, tag);
  put32(out, length.value_or(static_cast<std::uint32_t>(content.size())));
  out.insert(out.end(), content.begin(), content.end());
  return out;
}
Bytes text(std::u16string_view s, std::optional<std::uint32_t> count = {}) {
  Bytes out;
  put32(out, count.value_or(static_cast<std::uint32_t>(s.size())));
  for (char16_t c : s) put16(out, c);
  return out;
}
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A file around the payload with a correct header and checksum.
Bytes file(const Bytes& payload) {
  Bytes out = {'Q', 'X', 'M', 'S', 'G', 0x1A, 0x0D, 0x0A};
  put32(out, 1);
  put32(out, static_cast<std::uint32_t>(payload.size()));
  put32(out, crc32(payload));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

const Bytes kTaskKind = record(1, {1});

TEST(MailMessageFileParseTest, MalformedRecordsAreRefused) {
  Bytes userProp = concat({text(u"quendrilaxid"), Bytes{1, 0, 0, 0}, Bytes{8}, text(u"{ID}")});
  struct Case {
    const char* name;
    Bytes payload;
    bool accepted;
  };
  const Case cases[] = {
      {"kind only", kTaskKind, true},
      {"unknown record skipped", concat({kTaskKind, record(200, {1, 2, 3})}), true},
      {"user property", concat({kTaskKind, record(30, userProp)}), true},
      {"no kind", record(3, text(u"subject")), false},
      {"empty payload", {}, false},
      {"unknown kind", record(1, {9}), false},
      {"kind twice", concat({kTaskKind, kTaskKind}), false},
      {"subject twice", concat({kTaskKind, record(3, text(u"a")), record(3, text(u"b"))}), false},
      {"string longer than its record", concat({kTaskKind, record(3, text(u"abc", 4))}), false},
      {"string count near 2^32", concat({kTaskKind, record(3, text(u"", 0xFFFFFFFFu))}), false},
      {"record longer than the file", concat({kTaskKind, record(3, text(u"a"), 1000)}), false},
      {"record with trailing bytes", concat({kTaskKind, record(3, concat({text(u"a"), Bytes{0}}))}),
       false},
      {"cut record header", concat({kTaskKind, Bytes{3, 0, 1}}), false},
      {"flag out of range", concat({kTaskKind, record(13, {2})}), false},
      {"user property twice", concat({kTaskKind, record(30, userProp), record(30, userProp)}),
       false},
      {"user property without name",
       concat({kTaskKind, record(30, concat({text(u""), Bytes{1, 0, 0, 0}, Bytes{0}}))}), false},
      {"value of unknown type",
       concat({kTaskKind, record(30, concat({text(u"x"), Bytes{1, 0, 0, 0}, Bytes{9}}))}), false},
      {"attachment claiming 4 GB",
       concat({kTaskKind,
               record(33, concat({text(u"a"), text(u"b"), Bytes{0xFF, 0xFF, 0xFF, 0xFF}}))}),
       false},
      {"raw property in the named range",
       concat({kTaskKind, record(32, concat({Bytes{0x00, 0x80}, Bytes{3, 1, 0, 0, 0}}))}), false},
  };
  for (const Case& c : cases) {
    auto result = mail::decodeMessageFile(file(c.payload));
    EXPECT_EQ(result.has_value(), c.accepted) << c.name;
    if (!c.accepted && !result) {
      EXPECT_EQ(result.error(), hr::kMapiCorruptData) << c.name;
    }
  }
}

TEST(MailMessageFileParseTest, AcceptedRecordsLandInTheItem) {
  auto result = mail::decodeMessageFile(file(concat(
      {kTaskKind, record(3, text(u"Grüße")),
       record(30, concat({text(u"quendrilaxid"), Bytes{1, 0, 0, 0}, Bytes{8}, text(u"{ID}")})),
       record(200, {7})})));
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(result->subject, u"Grüße");
  ASSERT_EQ(result->userProperties.size(), 1u);
  EXPECT_EQ(*result->userProperties[0].value.text(), u"{ID}");
}

TEST(MailMessageFileParseTest, HeaderFieldsMustAgree) {
  Bytes good = file(kTaskKind);
  ASSERT_TRUE(mail::decodeMessageFile(good).has_value());
  for (std::size_t at : {8u, 12u, 16u}) {  // version, length, checksum
    Bytes bad = good;
    bad[at] ^= 1;
    EXPECT_FALSE(mail::decodeMessageFile(bad).has_value()) << at;
  }
}

}  // namespace
}  // namespace qx::sim::mailtest
