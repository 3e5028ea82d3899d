// The reader of a whole mailbox fetched in one command: what servers may
// legally send is read, anything that cannot be accounted for byte by byte
// is an error that says where.
#include "sim/mail/imap_fetch.h"

#include <gtest/gtest.h>

namespace qx::sim::mail {
namespace {

struct ReadCase {
  const char* name;
  std::string response;
  std::vector<std::pair<unsigned long, std::string>> messages;
};

TEST(ImapFetchTest, ReadsWhatServersMaySend) {
  const std::string body = "Subject: x\r\n\r\n* 1 FETCH fake\r\nA004 OK fake\r\n";
  const std::string literal = "{" + std::to_string(body.size()) + "}\r\n" + body;
  const ReadCase cases[] = {
      {"nothing", "A004 OK Fetch completed.\r\n", {}},
      {"two, protocol lines inside the literal",
       "* 1 FETCH (UID 7 BODY[] " + literal + ")\r\n* 2 FETCH (UID 9 BODY[] " + literal +
           ")\r\nA004 OK done\r\n",
       {{7, body}, {9, body}}},
      {"items in another order, flags, origin octet",
       "* 3 FETCH (FLAGS (\\Seen \\Recent) BODY[]<0> " + literal + " UID 12 RFC822.SIZE 40)\r\n",
       {{12, body}}},
      {"quoted body, lower case, a literal sent LITERAL+ style",
       "* 1 fetch (uid 4 body[] \"a \\\"b\\\"\")\r\n* 2 FETCH (UID 5 BODY[] {2+}\r\nhi)\r\n",
       {{4, "a \"b\""}, {5, "hi"}}},
      {"unsolicited lines, a flags-only FETCH, a NIL body",
       "* 5 EXISTS\r\n* OK [ALERT] {3}\r\nabc\r\n* 2 FETCH (FLAGS (\\Deleted))\r\n"
       "* 3 FETCH (UID 8 BODY[] NIL)\r\n* 4 FETCH (UID 10 BODY[] {1}\r\nz)\r\n",
       {{10, "z"}}},
      {"sizes",
       "* 1 FETCH (UID 3 RFC822.SIZE 4212)\r\n* 2 FETCH (RFC822.SIZE 17 UID 4)\r\n",
       {{3, "size 4212"}, {4, "size 17"}}},
  };
  for (const ReadCase& c : cases) {
    auto read = parseFetchResponse(c.response);
    ASSERT_TRUE(read) << c.name << ": " << read.error();
    std::vector<std::pair<unsigned long, std::string>> got;
    for (const FetchedMessage& m : *read)
      got.emplace_back(m.uid, m.text ? *m.text : "size " + std::to_string(m.size.value_or(0)));
    EXPECT_EQ(got, c.messages) << c.name;
  }
}

TEST(ImapFetchTest, RefusesWhatItCannotAccountFor) {
  const struct {
    const char* response;
    const char* says;
  } cases[] = {
      {"* 1 FETCH (UID 7 BODY[] {20}\r\nshort)\r\n", "ends inside a literal (8 of 20 bytes)"},
      {"* 1 FETCH (BODY[] {1}\r\nx)\r\n", "no UID"},
      {"* 1 FETCH (UID 7 BODY[] {1}\r\nx)\r\n* 2 FETCH (UID 7 BODY[] {1}\r\ny)\r\n",
       "UID 7 comes twice"},
      {"* 1 FETCH (UID 7 BODY[] {1}\r\nx\r\n", "between FETCH items"},
      {"* 1 FETCH (UID 7 BODY[] {1}\r\nx)", "the FETCH line's end"},
      {"* 1 FETCH (UID x BODY[] {1}\r\nx)\r\n", "a UID at byte 15"},
      {"* 1 FETCH (UID 99999999999 BODY[] {1}\r\nx)\r\n", "a UID"},
      {"* 1 FETCH (UID 7 BODY[] {x}\r\nx)\r\n", "a literal's size"},
      {"* 1 FETCH (UID 7 RFC822.SIZE many)\r\n", "a size"},
      {"* 1 FETCH (RFC822.SIZE 7)\r\n", "no UID"},
      {"* 1 FETCH (UID 7 BODY[] \"open)\r\n", "a quoted string's end"},
      {"* 1 FETCH UID 7\r\n", "\"(\" after FETCH"},
      {"A004 NO [SERVERBUG] oops\r\n", "OK after the tag"},
      {"A004 OK done\r\n* 1 FETCH (UID 1 BODY[] {1}\r\nx)\r\n", "nothing after the tagged"},
      {"+ go ahead\r\n", "OK after the tag"},
      {"* OK no line end", "a line end"},
      {"* 1 FETCH (UID 7 X ((((((((((((((((((((((((((((((((((((((((((x)\r\n", "sensible depth"},
  };
  for (const auto& c : cases) {
    auto read = parseFetchResponse(c.response);
    ASSERT_FALSE(read) << c.response;
    EXPECT_NE(read.error().find(c.says), std::string::npos) << c.response << "\n" << read.error();
  }
}

}  // namespace
}  // namespace qx::sim::mail
