#pragma once
// A slow, obviously correct coder for the tests: one bit at a time, straight
// from the tree, with any table order the test chooses. The fast coder must
// agree with it byte for byte.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "protocol/codec/huffman_tree.h"

namespace qx::testing {

struct TableEntry {
  std::int32_t weight;
  std::uint8_t value;
};

inline std::vector<std::uint8_t> bytesOf(const char* text) {
  std::vector<std::uint8_t> bytes;
  for (const char* p = text; *p != '\0'; ++p) bytes.push_back(static_cast<std::uint8_t>(*p));
  return bytes;
}

inline void appendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Path of bits from the root to the leaf, first-sent bit first, taken from
// the parent links so that codes of any depth come out whole.
inline std::vector<int> pathTo(const HuffmanNodes& nodes, int leaf) {
  std::vector<int> bits;
  for (int n = leaf; nodes[static_cast<std::size_t>(n)].parent != kNoNode;
       n = nodes[static_cast<std::size_t>(n)].parent) {
    const HuffmanNode& parent =
        nodes[static_cast<std::size_t>(nodes[static_cast<std::size_t>(n)].parent)];
    bits.insert(bits.begin(), parent.child1 == n ? 1 : 0);
  }
  return bits;
}

// Encodes `data` with the tree of the given table, listed as given. Every
// byte of `data` must have an entry.
inline std::vector<std::uint8_t> referenceEncode(const std::vector<std::uint8_t>& data,
                                                 const std::vector<TableEntry>& table) {
  std::vector<std::uint8_t> out;
  appendLe32(out, static_cast<std::uint32_t>(data.size()));
  out.push_back(static_cast<std::uint8_t>(table.size() - 1));
  HuffmanNodes nodes{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    appendLe32(out, static_cast<std::uint32_t>(table[i].weight));
    out.push_back(table[i].value);
    nodes[i].weight = table[i].weight;
    nodes[i].value = table[i].value;
  }
  buildCodeTree(nodes, false);
  std::vector<std::vector<int>> codes(256);
  for (std::size_t i = table.size(); i-- > 0;)
    codes[table[i].value] = pathTo(nodes, static_cast<int>(i));
  std::size_t k = 0;
  const std::size_t payloadStart = out.size();
  for (std::uint8_t byte : data) {
    for (int bit : codes[byte]) {
      if (k % 8 == 0) out.push_back(0);
      out[payloadStart + k / 8] |= static_cast<std::uint8_t>(bit << (k % 8));
      ++k;
    }
  }
  return out;
}

// The table in descending weight order, equal weights by ascending value.
inline std::vector<TableEntry> countedTable(const std::vector<std::uint8_t>& data) {
  std::vector<std::int64_t> counts(256, 0);
  for (std::uint8_t b : data) ++counts[b];
  std::vector<TableEntry> table;
  for (int v = 0; v < 256; ++v) {
    if (counts[static_cast<std::size_t>(v)] > 0) {
      table.push_back({static_cast<std::int32_t>(counts[static_cast<std::size_t>(v)]),
                       static_cast<std::uint8_t>(v)});
    }
  }
  std::stable_sort(table.begin(), table.end(),
                   [](const TableEntry& a, const TableEntry& b) { return a.weight > b.weight; });
  return table;
}

}  // namespace qx::testing
