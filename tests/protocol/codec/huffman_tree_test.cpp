// The tree is part of the wire format: these cases pin its shape, the codes
// it gives, and that the fast insertion agrees with the plain rule on every
// kind of table, stored in order or not.
#include "protocol/codec/huffman_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace qx {
namespace {

struct Leaf {
  std::int32_t weight;
  std::uint32_t code;
  int length;
};

struct TreeCase {
  const char* name;
  std::vector<Leaf> leaves;
};

class CodeTreeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(CodeTreeTest, GivesTheseCodes) {
  const TreeCase& c = GetParam();
  HuffmanNodes nodes{};
  for (std::size_t i = 0; i < c.leaves.size(); ++i) nodes[i].weight = c.leaves[i].weight;
  ASSERT_EQ(buildCodeTree(nodes, true), static_cast<int>(c.leaves.size()));
  for (std::size_t i = 0; i < c.leaves.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(nodes[i].code, c.leaves[i].code);
    EXPECT_EQ(nodes[i].codeLength, c.leaves[i].length);
  }
}

// Code words carry the first-sent bit in bit 0.
INSTANTIATE_TEST_SUITE_P(
    Tables, CodeTreeTest,
    ::testing::Values(
        TreeCase{"abbccc", {{3, 0b1, 1}, {2, 0b10, 2}, {1, 0b00, 2}}},
        TreeCase{"abracadabra",
                 {{5, 0b0, 1}, {2, 0b01, 2}, {2, 0b111, 3}, {1, 0b1011, 4}, {1, 0b0011, 4}}},
        // Out of order: the merged node outweighs everything left and goes
        // to the front.
        TreeCase{"unsorted", {{1, 0b0, 1}, {5, 0b11, 2}, {2, 0b01, 2}}},
        TreeCase{"single", {{4, 0, 0}}},
        // The second merge (of the first two leaves) lands behind the first
        // one and is merged before it.
        TreeCase{"equal", {{1, 0b10, 2}, {1, 0b00, 2}, {1, 0b11, 2}, {1, 0b01, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CodeTreeCountTest, CountingStopsAtTheFirstZeroWeight) {
  HuffmanNodes nodes{};
  nodes[0].weight = 3;
  nodes[1].weight = 2;
  nodes[3].weight = 7;
  EXPECT_EQ(buildCodeTree(nodes, true), 2);
  EXPECT_EQ(nodes[huffmanRoot(2)].child0, 1);
  EXPECT_EQ(nodes[huffmanRoot(2)].child1, 0);
}

// The rule, written as plainly as it reads: scan from the end for the first
// node weighing at least as much as the new one and put it behind.
std::vector<std::array<int, 2>> plainChildren(const std::vector<std::int32_t>& weights) {
  std::vector<int> list;
  std::vector<std::int64_t> weight(weights.begin(), weights.end());
  for (std::size_t i = 0; i < weights.size(); ++i) list.push_back(static_cast<int>(i));
  std::vector<std::array<int, 2>> children;
  while (list.size() > 1) {
    const int x = list.back();
    list.pop_back();
    const int y = list.back();
    list.pop_back();
    const int p = static_cast<int>(weight.size());
    weight.push_back(weight[static_cast<std::size_t>(x)] + weight[static_cast<std::size_t>(y)]);
    children.push_back({x, y});
    std::size_t at = list.size();
    while (at > 0 && weight[static_cast<std::size_t>(list[at - 1])] < weight.back()) --at;
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), p);
  }
  return children;
}

TEST(CodeTreeRuleTest, AgreesWithThePlainRuleOnAnyTable) {
  std::mt19937 rng(4);
  for (int round = 0; round < 400; ++round) {
    const int n = 2 + static_cast<int>(rng() % 255);
    const bool ordered = round % 2 == 0;
    // Few distinct weights make many ties between leaves and merged nodes.
    const std::uint32_t spread = round % 3 == 0 ? 4 : round % 3 == 1 ? 100 : 1u << 20;
    std::vector<std::int32_t> weights(static_cast<std::size_t>(n));
    for (auto& w : weights) w = 1 + static_cast<std::int32_t>(rng() % spread);
    if (ordered) std::sort(weights.begin(), weights.end(), std::greater<>());

    HuffmanNodes nodes{};
    for (int i = 0; i < n; ++i)
      nodes[static_cast<std::size_t>(i)].weight = weights[static_cast<std::size_t>(i)];
    ASSERT_EQ(buildCodeTree(nodes, false), n);
    const auto expected = plainChildren(weights);
    for (int k = 0; k < n - 1; ++k) {
      const HuffmanNode& p = nodes[static_cast<std::size_t>(n + k)];
      ASSERT_EQ(p.child0, expected[static_cast<std::size_t>(k)][0]) << "round " << round;
      ASSERT_EQ(p.child1, expected[static_cast<std::size_t>(k)][1]) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace qx
