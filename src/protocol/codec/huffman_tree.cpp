#include "protocol/codec/huffman_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace qx {

namespace {

std::int32_t saturatingSum(std::int32_t a, std::int32_t b) {
  const std::int64_t sum = std::int64_t{a} + std::int64_t{b};
  if (sum > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (sum < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(sum);
}

// Parents have higher indices than their children, so walking from the root
// downwards visits every parent before its children and each code is its
// parent's code with the node's own branch bit appended on top.
void assignCodes(HuffmanNodes& nodes, int leaves) {
  const int root = huffmanRoot(leaves);
  for (int i = root - 1; i >= 0; --i) {
    HuffmanNode& node = nodes[static_cast<std::size_t>(i)];
    const HuffmanNode& parent = nodes[static_cast<std::size_t>(node.parent)];
    const std::uint32_t prefix = parent.parent == kNoNode ? 0u : parent.code;
    const unsigned depth = parent.parent == kNoNode ? 0u : parent.codeLength;
    const std::uint32_t branch = node.code & 1u;
    node.code = depth < 32 ? prefix | (branch << depth) : prefix;
    node.codeLength = static_cast<std::uint8_t>(depth + 1);
  }
}

// Creates the next inner node over x (branch 0) and y (branch 1).
std::int32_t merge(HuffmanNodes& nodes, int next, std::int16_t x, std::int16_t y) {
  HuffmanNode& p = nodes[static_cast<std::size_t>(next)];
  HuffmanNode& nx = nodes[static_cast<std::size_t>(x)];
  HuffmanNode& ny = nodes[static_cast<std::size_t>(y)];
  p.child0 = x;
  p.child1 = y;
  p.weight = saturatingSum(nx.weight, ny.weight);
  nx.parent = ny.parent = static_cast<std::int16_t>(next);
  nx.code = 0;
  ny.code = 1;
  nx.codeLength = ny.codeLength = 1;
  return p.weight;
}

// The rule for any table: the active list, kept in descending order of
// weight, each new inner node put behind the last node that weighs at least
// as much, so that it is merged before older nodes of equal weight. A table
// stored out of order (no writer of this format makes one, but a reader must
// still build the tree it describes) is scanned from the end.
void mergeByList(HuffmanNodes& nodes, int leaves) {
  // Each node's weight beside it, so that the scans stay within two small
  // arrays.
  std::array<std::int16_t, kHuffmanMaxLeaves> active{};
  std::array<std::int32_t, kHuffmanMaxLeaves> weights{};
  int count = leaves;
  for (int i = 0; i < leaves; ++i) {
    active[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    weights[static_cast<std::size_t>(i)] = nodes[static_cast<std::size_t>(i)].weight;
  }
  int next = leaves;
  while (count > 1) {
    const std::int16_t x = active[static_cast<std::size_t>(count - 1)];
    const std::int16_t y = active[static_cast<std::size_t>(count - 2)];
    count -= 2;
    const std::int32_t weight = merge(nodes, next, x, y);
    int at = count;
    while (at > 0 && weights[static_cast<std::size_t>(at - 1)] < weight) --at;
    const auto tail = static_cast<std::size_t>(count - at);
    std::memmove(&active[static_cast<std::size_t>(at) + 1], &active[static_cast<std::size_t>(at)],
                 tail * sizeof active[0]);
    std::memmove(&weights[static_cast<std::size_t>(at) + 1], &weights[static_cast<std::size_t>(at)],
                 tail * sizeof weights[0]);
    active[static_cast<std::size_t>(at)] = static_cast<std::int16_t>(next);
    weights[static_cast<std::size_t>(at)] = weight;
    ++count;
    ++next;
  }
}

// The same rule for a table in descending order of positive weights, without
// moving anything. Read from its end, the list is then the leaves in reverse
// table order merged with the inner nodes, an inner node before a leaf of
// equal weight. Inner nodes come out of the merges in order of weight (each
// merge takes the two lightest nodes), and of equal ones the newest is merged
// first: so they form runs of equal weight in order of creation, taken from
// the first run's newest end, and a new node joins the last run or starts
// one.
void mergeSorted(HuffmanNodes& nodes, int leaves) {
  std::array<std::int16_t, kHuffmanMaxLeaves> inner{};
  struct Run {
    std::int32_t weight;
    int start;
    int end;
  };
  std::array<Run, kHuffmanMaxLeaves> runs{};
  int firstRun = 0;
  int runCount = 0;
  int leaf = leaves - 1;  // the lightest leaf not yet merged
  auto lightest = [&]() {
    const bool fromRuns =
        firstRun < runCount && (leaf < 0 || runs[static_cast<std::size_t>(firstRun)].weight <=
                                                nodes[static_cast<std::size_t>(leaf)].weight);
    if (!fromRuns) return static_cast<std::int16_t>(leaf--);
    Run& run = runs[static_cast<std::size_t>(firstRun)];
    const std::int16_t node = inner[static_cast<std::size_t>(--run.end)];
    if (run.end == run.start) ++firstRun;
    return node;
  };
  for (int next = leaves; next < 2 * leaves - 1; ++next) {
    const std::int16_t x = lightest();
    const std::int16_t y = lightest();
    const std::int32_t weight = merge(nodes, next, x, y);
    if (firstRun < runCount && runs[static_cast<std::size_t>(runCount) - 1].weight == weight) {
      Run& last = runs[static_cast<std::size_t>(runCount) - 1];
      inner[static_cast<std::size_t>(last.end++)] = static_cast<std::int16_t>(next);
    } else {
      const int start = firstRun < runCount ? runs[static_cast<std::size_t>(runCount) - 1].end : 0;
      runs[static_cast<std::size_t>(runCount++)] = {weight, start, start + 1};
      inner[static_cast<std::size_t>(start)] = static_cast<std::int16_t>(next);
    }
  }
}

}  // namespace

int buildCodeTree(HuffmanNodes& nodes, bool assign) {
  int leaves = 0;
  while (leaves < kHuffmanMaxLeaves && nodes[static_cast<std::size_t>(leaves)].weight != 0)
    ++leaves;
  for (int i = 0; i < kHuffmanMaxNodes; ++i) {
    HuffmanNode& node = nodes[static_cast<std::size_t>(i)];
    node.parent = node.child0 = node.child1 = kNoNode;
    node.code = 0;
    node.codeLength = 0;
    if (i >= leaves) node.weight = 0;
  }
  if (leaves == 0) return 0;

  bool sorted = true;
  for (int i = 1; i < leaves; ++i) {
    if (nodes[static_cast<std::size_t>(i)].weight > nodes[static_cast<std::size_t>(i) - 1].weight) {
      sorted = false;
      break;
    }
  }
  if (sorted && nodes[static_cast<std::size_t>(leaves) - 1].weight > 0) {
    mergeSorted(nodes, leaves);
  } else {
    mergeByList(nodes, leaves);
  }
  if (assign && leaves > 1) assignCodes(nodes, leaves);
  return leaves;
}

}  // namespace qx
