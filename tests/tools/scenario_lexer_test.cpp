#include "quendrilax-sim/scenario_lexer.h"

#include <gtest/gtest.h>

namespace qx::tools {
namespace {

std::vector<Token> words(std::initializer_list<std::pair<const char*, bool>> list) {
  std::vector<Token> out;
  for (auto [text, quoted] : list) out.push_back({text, quoted});
  return out;
}

TEST(ScenarioLexerTest, SplitsWordsQuotesAndComments) {
  struct Case {
    const char* line;
    std::vector<Token> tokens;
  };
  const Case cases[] = {
      {"start alice", words({{"start", false}, {"alice", false}})},
      {"  \t start   alice  \r", words({{"start", false}, {"alice", false}})},
      {"# a comment", {}},
      {"echo hi # trailing", words({{"echo", false}, {"hi", false}})},
      {"echo \"a # b\"", words({{"echo", false}, {"a # b", true}})},
      {"echo \"\"", words({{"echo", false}, {"", true}})},
      {"echo \"say \\\"hi\\\"\\n\"", words({{"echo", false}, {"say \"hi\"\n", true}})},
      // \xHH is a character by code point, written as UTF-8.
      {"echo \"M\\xfcller\"", words({{"echo", false}, {"M\xC3\xBCller", true}})},
      {"echo \"\\u{20AC}\"", words({{"echo", false}, {"\xE2\x82\xAC", true}})},
      {"key a#b", words({{"key", false}, {"a#b", false}})},
  };
  for (const Case& c : cases) {
    auto lexed = lexLine(c.line);
    ASSERT_TRUE(lexed.has_value()) << c.line << ": " << lexed.error();
    EXPECT_EQ(lexed->tokens, c.tokens) << c.line;
    EXPECT_TRUE(lexed->blockEnd.empty()) << c.line;
  }
}

TEST(ScenarioLexerTest, RejectsMalformedLines) {
  const char* lines[] = {
      "echo \"open",          "echo \"bad \\q\"",     "echo \"x\"y",
      "echo a\"b\"",          "echo \"\\x4\"",        "echo \"\\u{}\"",
      "echo \"\\u{110000}\"", "registry a import <<", "import <<END more",
  };
  for (const char* line : lines) EXPECT_FALSE(lexLine(line).has_value()) << line;
}

TEST(ScenarioLexerTest, BlockOpenerIsTakenOffTheWords) {
  auto lexed = lexLine("registry alice import <<REG  # prepared switches");
  ASSERT_TRUE(lexed.has_value());
  EXPECT_EQ(lexed->blockEnd, "REG");
  EXPECT_EQ(lexed->tokens.size(), 3u);
}

}  // namespace
}  // namespace qx::tools
