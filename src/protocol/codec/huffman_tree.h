#pragma once
// The code tree that both directions of the attachment codec build from the
// weight table. Its shape is part of the wire format: a reader rebuilds exactly
// the tree the writer used, from the weights and order stored in the stream.
#include <array>
#include <cstdint>

namespace qx {

inline constexpr int kHuffmanMaxLeaves = 256;
inline constexpr int kHuffmanMaxNodes = 2 * kHuffmanMaxLeaves - 1;
inline constexpr std::int16_t kNoNode = -1;

struct HuffmanNode {
  std::int32_t weight = 0;
  std::uint8_t value = 0;  // meaningful for leaves only
  // Before code assignment: the node's own branch bit below its parent.
  // After it: the path from the root, first-sent bit in bit 0.
  std::uint32_t code = 0;
  // Depth after code assignment, 1 for any non-root node before it, 0 for the
  // root. Trees of hostile streams may be up to 255 deep.
  std::uint8_t codeLength = 0;
  std::int16_t parent = kNoNode;
  std::int16_t child0 = kNoNode;
  std::int16_t child1 = kNoNode;

  bool isLeaf() const { return child0 == kNoNode; }
};

// Leaves in the first records in table order, inner nodes behind them in the
// order of their creation, so a parent always has a higher index than its
// children and the root is the last node created.
using HuffmanNodes = std::array<HuffmanNode, kHuffmanMaxNodes>;

// Builds the tree over the leading records whose weight is not zero (counting
// stops at the first zero weight, at most 256) and returns how many leaves it
// used. With assignCodes every leaf gets its code word and length; code words
// keep only their first 32 bits. Weight sums saturate rather than overflow, so
// hostile weights cannot cause undefined behaviour; a well-formed table never
// comes near the limit.
int buildCodeTree(HuffmanNodes& nodes, bool assignCodes);

// Index of the root of a tree of `leaves` leaves built by buildCodeTree, or
// kNoNode for an empty tree.
inline int huffmanRoot(int leaves) { return leaves == 0 ? kNoNode : 2 * leaves - 2; }

}  // namespace qx
