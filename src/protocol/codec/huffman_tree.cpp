#include "protocol/codec/huffman_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
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

  // The active list, kept in descending order of weight, with each node's
  // weight beside it so that the scans stay within two small arrays.
  std::array<std::int16_t, kHuffmanMaxLeaves> active{};
  std::array<std::int32_t, kHuffmanMaxLeaves> weights{};
  int count = leaves;
  bool sorted = true;
  for (int i = 0; i < leaves; ++i) {
    active[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    weights[static_cast<std::size_t>(i)] = nodes[static_cast<std::size_t>(i)].weight;
    if (i > 0 && weights[static_cast<std::size_t>(i)] > weights[static_cast<std::size_t>(i) - 1]) {
      sorted = false;
    }
  }

  int next = leaves;
  while (count > 1) {
    const std::int16_t x = active[static_cast<std::size_t>(count - 1)];
    const std::int16_t y = active[static_cast<std::size_t>(count - 2)];
    count -= 2;
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

    // Behind the last node that weighs at least as much, so that a new inner
    // node is merged before older nodes of equal weight. A list in
    // descending order stays so, and the place can be found by halving; a
    // table stored out of order (no writer of this format makes one, but a
    // reader must still build the tree it describes) is scanned from the end.
    int at;
    if (sorted) {
      at = static_cast<int>(
          std::upper_bound(weights.begin(), weights.begin() + count, p.weight, std::greater<>()) -
          weights.begin());
    } else {
      at = count;
      while (at > 0 && weights[static_cast<std::size_t>(at - 1)] < p.weight) --at;
    }
    const auto tail = static_cast<std::size_t>(count - at);
    std::memmove(&active[static_cast<std::size_t>(at) + 1], &active[static_cast<std::size_t>(at)],
                 tail * sizeof active[0]);
    std::memmove(&weights[static_cast<std::size_t>(at) + 1], &weights[static_cast<std::size_t>(at)],
                 tail * sizeof weights[0]);
    active[static_cast<std::size_t>(at)] = static_cast<std::int16_t>(next);
    weights[static_cast<std::size_t>(at)] = p.weight;
    ++count;
    ++next;
  }
  if (assign && leaves > 1) assignCodes(nodes, leaves);
  return leaves;
}

}  // namespace qx
