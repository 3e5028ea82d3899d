#include "protocol/codec/huffman_decompress.h"

#include <array>
#include <cstring>
#include <new>

#include "protocol/codec/huffman_bits.h"
#include "protocol/codec/huffman_stream.h"
#include "protocol/codec/huffman_tree.h"

namespace qx {

namespace {

// Primary lookup tables index the next tableBits payload bits. The wide table
// yields up to three whole codes per lookup; the narrow one a single code and
// serves the last few bytes. Codes longer than the table continue bit by bit
// down the tree from the node the table reached.
constexpr int kMaxTableBits = 12;

// Wide entry: bits 0-5 the bits consumed, bits 6-7 how many values (0: a
// longer code, the upper bits then name the tree node reached), bits 8-31 the
// decoded values. The bit count sits lowest so that the shift that consumes
// it needs no extraction, which keeps the lookup-to-lookup chain short.
constexpr std::uint32_t wideEntry(std::uint32_t values, unsigned count, unsigned bits) {
  return values << 8 | count << 6 | bits;
}
// Narrow entry: value in bits 0-7 and code length in bits 8-11, or bit 15 set
// and the tree node in the low bits.
constexpr std::uint16_t kLongCode = 0x8000;

struct DecodeTree {
  std::array<std::array<std::int16_t, 2>, kHuffmanMaxNodes> child{};
  std::array<std::uint8_t, kHuffmanMaxNodes> value{};
};

// Left uninitialised: a code tree is complete, so filling covers every one of
// the 2^bits entries in use, and clearing 24 KB would cost as much as
// decoding a short stream.
struct Tables {
  int bits = 0;
  std::array<std::uint16_t, 1u << kMaxTableBits> narrow;
  std::array<std::uint32_t, 1u << kMaxTableBits> wide;
};

int tableBitsFor(std::size_t length) {
  // Filling a table costs about as much as decoding as many bytes as it has
  // entries; short streams get a smaller one.
  if (length >= (std::size_t{1} << 16)) return 12;
  if (length >= (std::size_t{1} << 13)) return 11;
  return 9;
}

void fillNarrow(const HuffmanNodes& nodes, int root, Tables& t) {
  struct Pending {
    std::int16_t node;
    std::uint8_t depth;
    std::uint16_t prefix;
  };
  // Depth-first down to the table's depth: at most one pending sibling per
  // level besides the current node.
  std::array<Pending, kMaxTableBits + 2> stack{};
  int top = 0;
  stack[top++] = {static_cast<std::int16_t>(root), 0, 0};
  while (top > 0) {
    const Pending p = stack[--top];
    const HuffmanNode& node = nodes[static_cast<std::size_t>(p.node)];
    if (node.isLeaf()) {
      const auto entry = static_cast<std::uint16_t>(node.value | p.depth << 8);
      for (std::size_t i = p.prefix; i < t.narrow.size() >> (kMaxTableBits - t.bits);
           i += std::size_t{1} << p.depth) {
        t.narrow[i] = entry;
      }
    } else if (p.depth == t.bits) {
      t.narrow[p.prefix] =
          static_cast<std::uint16_t>(kLongCode | static_cast<std::uint16_t>(p.node));
    } else {
      const auto depth = static_cast<std::uint8_t>(p.depth + 1);
      stack[top++] = {node.child1, depth, static_cast<std::uint16_t>(p.prefix | 1u << p.depth)};
      stack[top++] = {node.child0, depth, p.prefix};
    }
  }
}

void fillWide(Tables& t) {
  const std::uint32_t size = 1u << t.bits;
  const std::uint32_t mask = size - 1;
  for (std::uint32_t i = 0; i < size; ++i) {
    const std::uint16_t first = t.narrow[i];
    if (first & kLongCode) {
      t.wide[i] = wideEntry(first & ~kLongCode, 0, static_cast<unsigned>(t.bits));
      continue;
    }
    std::uint32_t values = first & 0xFFu;
    unsigned used = first >> 8;
    unsigned count = 1;
    while (count < 3) {
      // The bits above `used` are unknown here; a code counts only if it
      // fits entirely in the bits this index does know.
      const std::uint16_t next = t.narrow[(i >> used) & mask];
      if ((next & kLongCode) || static_cast<int>(used + (next >> 8)) > t.bits) break;
      values |= std::uint32_t{next & 0xFFu} << (8 * count);
      used += next >> 8;
      ++count;
    }
    t.wide[i] = wideEntry(values, count, used);
  }
}

// Follows a code that is longer than the tables, one bit at a time.
bool walkLongCode(const DecodeTree& tree, int node, BitReader& reader, std::uint8_t& value) {
  while (tree.child[static_cast<std::size_t>(node)][0] != kNoNode) {
    if (reader.available() == 0 && !reader.refillChecked()) return false;
    node = tree.child[static_cast<std::size_t>(node)][reader.takeBit()];
  }
  value = tree.value[static_cast<std::size_t>(node)];
  return true;
}

std::expected<std::uint64_t, CodecError> decodeCodes(const HuffmanNodes& nodes, int leaves,
                                                     std::span<const std::uint8_t> payload,
                                                     std::uint8_t* out, std::uint8_t* const end) {
  const int root = huffmanRoot(leaves);
  DecodeTree tree;
  for (int i = 0; i <= root; ++i) {
    const HuffmanNode& node = nodes[static_cast<std::size_t>(i)];
    tree.child[static_cast<std::size_t>(i)] = {node.child0, node.child1};
    tree.value[static_cast<std::size_t>(i)] = node.value;
  }
  Tables t;
  t.bits = tableBitsFor(static_cast<std::size_t>(end - out));
  fillNarrow(nodes, root, t);
  fillWide(t);
  const std::uint64_t mask = (std::uint64_t{1} << t.bits) - 1;
  const unsigned bits = static_cast<unsigned>(t.bits);

  BitReader reader(payload);
  // Four lookups of at most 12 bits fit in the 56 bits a refill guarantees,
  // and write at most 12 bytes, plus one byte of the last 4-byte store.
  while (end - out >= 16 && reader.canRefillFast()) {
    reader.refillFast();
    for (int step = 0; step < 4; ++step) {
      const std::uint32_t e = t.wide[reader.peek() & mask];
      if ((e & 0xC0u) == 0) [[unlikely]] {
        reader.skip(bits);
        if (!walkLongCode(tree, static_cast<int>(e >> 8), reader, *out)) {
          return std::unexpected(CodecError::kPayloadTooShort);
        }
        ++out;
        break;
      }
      const std::uint32_t values = e >> 8;
      std::memcpy(out, &values, 4);
      out += (e >> 6) & 3u;
      reader.skip(e & 63u);
    }
  }
  while (out < end) {
    if (reader.available() < bits && !reader.refillChecked()) {
      return std::unexpected(CodecError::kPayloadTooShort);
    }
    const std::uint16_t e = t.narrow[reader.peek() & mask];
    if (e & kLongCode) {
      reader.skip(bits);
      if (!walkLongCode(tree, e & ~kLongCode, reader, *out)) {
        return std::unexpected(CodecError::kPayloadTooShort);
      }
    } else {
      *out = static_cast<std::uint8_t>(e);
      reader.skip(e >> 8);
    }
    ++out;
  }
  const std::uint64_t used = reader.bitsConsumed();
  if (used > std::uint64_t{8} * payload.size())
    return std::unexpected(CodecError::kPayloadTooShort);
  return used;
}

}  // namespace

std::expected<std::size_t, CodecError> huffmanDecodedLength(std::span<const std::uint8_t> stream) {
  const auto layout = parseStreamLayout(stream);
  if (!layout) return std::unexpected(layout.error());
  if (layout->length == 0) return 0;
  HuffmanNodes nodes;
  const auto leaves = loadCodeTree(*layout, nodes);
  if (!leaves) return std::unexpected(leaves.error());
  return static_cast<std::size_t>(layout->length);
}

std::expected<DecodeSummary, CodecError> huffmanDecompressInto(std::span<const std::uint8_t> stream,
                                                               std::span<std::uint8_t> out) {
  const auto layout = parseStreamLayout(stream);
  if (!layout) return std::unexpected(layout.error());
  DecodeSummary summary;
  summary.length = static_cast<std::size_t>(layout->length);
  if (summary.length == 0) return summary;
  if (out.size() < summary.length) return std::unexpected(CodecError::kOutOfMemory);
  HuffmanNodes nodes;
  const auto leaves = loadCodeTree(*layout, nodes);
  if (!leaves) return std::unexpected(leaves.error());
  if (*leaves == 1) {
    std::memset(out.data(), nodes[0].value, summary.length);
    return summary;
  }
  const auto bits =
      decodeCodes(nodes, *leaves, layout->payload, out.data(), out.data() + summary.length);
  if (!bits) return std::unexpected(bits.error());
  summary.payloadBits = *bits;
  return summary;
}

std::expected<std::vector<std::uint8_t>, CodecError> huffmanDecompress(
    std::span<const std::uint8_t> stream) {
  const auto length = huffmanDecodedLength(stream);
  if (!length) return std::unexpected(length.error());
  std::vector<std::uint8_t> data;
  try {
    data.resize(*length);
  } catch (const std::bad_alloc&) {
    return std::unexpected(CodecError::kOutOfMemory);
  }
  const auto summary = huffmanDecompressInto(stream, data);
  if (!summary) return std::unexpected(summary.error());
  return data;
}

}  // namespace qx
