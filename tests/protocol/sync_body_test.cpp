#include "protocol/sync_body.h"

#include <gtest/gtest.h>

#include <string>

#include "common/messages.h"

namespace qx {
namespace {

const std::string kId = "{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}";

TEST(SyncBodyBuild, ChangeMailHasTheExactLayoutPeersRead) {
  const std::string body = buildSyncBody("\"notice\"", SyncKind::kChange, "Team", kId);
  EXPECT_EQ(body,
            "\"notice\"" + std::string(40, '\n') + "is:TRUE:is\nlf:Team:lf\nid:" + kId + ":id\n");
}

TEST(SyncBodyBuild, RemovalMailCarriesTheFalseFlagAndMayHaveNoId) {
  const std::string body = buildSyncBody("n", SyncKind::kRemoval, "Team", "");
  EXPECT_EQ(body, "n" + std::string(40, '\n') + "is:FALSE:is\nlf:Team:lf\nid::id\n");
}

struct RoundTrip {
  const char* label;
  SyncKind kind;
  std::string share;
  std::string id;
};

TEST(SyncBodyRoundTrip, WhatIsWrittenReadsBack) {
  const RoundTrip cases[] = {
      {"change", SyncKind::kChange, "Team", kId},
      {"removal", SyncKind::kRemoval, "Team", kId},
      {"removal without id", SyncKind::kRemoval, "Team", ""},
      {"empty share", SyncKind::kChange, "", kId},
      {"spaces and umlauts", SyncKind::kChange, "B\xFCro Aufgaben 2", kId},
      {"name ending in lf", SyncKind::kChange, "Golf", kId},
  };
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string body = buildSyncBody("Sent by the add-in.", c.kind, c.share, c.id);
    const SyncBodyFields fields = parseSyncBodyText(body);
    EXPECT_TRUE(fields.valid);
    EXPECT_EQ(fields.removal, c.kind == SyncKind::kRemoval);
    EXPECT_EQ(fields.syncId, c.id);
    EXPECT_EQ(readShareNameText(body), c.share);
  }
}

struct ReadCase {
  const char* label;
  std::string body;
  bool valid;
  bool removal;
  std::string share;
  std::string id;
};

// Peers rely on these readings, odd ones included: a reader that disagreed
// would misread mails from every installed add-in.
TEST(SyncBodyRead, ReadsBodiesAsEveryPeerDoes) {
  const std::string gap(40, '\n');
  const ReadCase cases[] = {
      {"both flags read as change", "is:FALSE:is\nis:TRUE:is\nlf:T:lf\nid:X:id\n", true, false, "T",
       "X"},
      {"share beginning with lf reads empty", "is:TRUE:is\nlf:lfTeam:lf\nid:X:id\n", true, false,
       "", "X"},
      {"share exactly lf reads empty", "is:TRUE:is\nlf:lf:lf\nid:X:id\n", true, false, "", "X"},
      {"id marker inside the share name", "is:TRUE:is\nlf:paid:x:lf\nid:X:id\n", true, false,
       "paid:x", "x:lf\nid:X"},
      {"close marker inside the share name", "is:TRUE:is\nlf:a:lfb:lf\nid:X:id\n", true, false, "a",
       "X"},
      {"flag text inside the share name", "lf:is:TRUE:is:lf\nid:X:id\n", true, false, "is:TRUE:is",
       "X"},
      {"no preamble", gap + "is:TRUE:is\nlf:T:lf\nid:X:id\n", true, false, "T", "X"},
      {"any preamble", "Hallo\r\nWelt\n" + gap + "is:TRUE:is\nlf:T:lf\nid:X:id\n", true, false, "T",
       "X"},
      {"no line feeds at all", "is:FALSE:islf:T:lfid:X:id", true, true, "T", "X"},
      {"CR LF from a mail system", "n\r\n\r\nis:TRUE:is\r\nlf:T:lf\r\nid:X:id\r\n", true, false,
       "T", "X"},
      {"fields in another order", "id:X:id lf:T:lf is:FALSE:is", true, true, "T", "X"},
      {"removal without sync id", "is:FALSE:is\nlf:T:lf\nid::id\n", true, true, "T", ""},
      {"closing id marker first", "is:TRUE:is lf:T:lf :id id:X", true, false, "T", ""},
      {"no kind flag", "lf:T:lf\nid:X:id\n", false, false, "T", "X"},
      {"flag in lower case", "is:true:is\nlf:T:lf\nid:X:id\n", false, false, "T", "X"},
      {"share close marker missing", "is:TRUE:is\nlf:T\nid:X:id\n", false, false, "", "X"},
      {"share open marker missing", "is:TRUE:is\nT:lf\nid:X:id\n", false, false, "", "X"},
      {"id close marker missing", "is:TRUE:is\nlf:T:lf\nid:X\n", false, false, "T", ""},
      {"empty body", "", false, false, "", ""},
      {"markers cut at the very end", "is:TRUE:is lf:", false, false, "", ""},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.label);
    const SyncBodyFields fields = parseSyncBodyText(c.body);
    EXPECT_EQ(fields.valid, c.valid);
    EXPECT_EQ(fields.removal, c.removal);
    EXPECT_EQ(fields.syncId, c.id);
    EXPECT_EQ(readShareNameText(c.body), c.share);
  }
}

TEST(SyncBodyMarkers, NoticeWithAMarkerIsCaught) {
  EXPECT_FALSE(containsSyncMarker("\"This e-mail was sent by the add-in.\""));
  for (const char* bad :
       {"he said: hi", "itself: x", "x :lf", "a :id b", "is:TRUE:is", "is:FALSE:is"}) {
    EXPECT_TRUE(containsSyncMarker(bad)) << bad;
  }
}

// The notice goes before the markers of every mail: one marker text in it, in
// any language, and every mail of that user reads wrongly at every peer.
TEST(SyncBodyMarkers, MailNoticeOfEveryLanguageIsFreeOfMarkersAndKeepsTheMailReadable) {
  for (const LangId language : {lang::kEnglishUs, lang::kGerman, lang::kSpanish}) {
    SCOPED_TRACE(language);
    const std::u16string_view wide = loadMessage(language, msg::kMailNotice);
    ASSERT_FALSE(wide.empty());
    std::string narrow;
    for (const char16_t c : wide) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    EXPECT_FALSE(containsSyncMarker(narrow)) << narrow;
    const SyncBodyFields fields =
        parseSyncBodyText(buildSyncBody(narrow, SyncKind::kRemoval, "Team", kId));
    EXPECT_TRUE(fields.valid);
    EXPECT_TRUE(fields.removal);
    EXPECT_EQ(fields.syncId, kId);
  }
}

}  // namespace
}  // namespace qx
