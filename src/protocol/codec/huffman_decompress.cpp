#include "protocol/codec/huffman_decompress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "protocol/codec/huffman_bits.h"
#include "protocol/codec/huffman_stream.h"
#include "protocol/codec/huffman_tree.h"

namespace qx {

namespace {

// What the tables hold. Primary lookup tables index the next tableBits
// payload bits. The wide table yields up to three whole codes per lookup; the
// narrow one a single code and serves the last few bytes and the search for a
// lane's first true code (below). Codes longer than the table continue bit by
// bit down the tree from the node the table reached.
//
// Why they are fast. A lookup's bit count feeds the shift that makes the next
// lookup's index, so one stream is a chain of dependent loads: about six
// cycles a lookup however wide the machine. Text gets up to three bytes out
// of each link, but the codes of incompressible parts (7 to 9 bits) get one.
// So the payload is cut into segments decoded side by side as independent
// chains (lanes). A lane but the first starts at a byte boundary that need not
// begin a code, decodes into scratch and notes where some of its lookups
// began. Prefix codes fall into step after a few codes, so when the decoder
// that came from the left reaches such a noted position, the lane's output
// from there on is exactly what it would have decoded itself: it is copied and
// the lane's end becomes the decoder's state. A lane that never falls into
// step (or whose output would not fit) is decoded again, so the result never
// depends on the guess.
constexpr int kMaxTableBits = 12;

// Wide entry: bits 0-5 the bits consumed, bits 6-29 the decoded values,
// bits 30-31 how many (0: a longer code, bits 6-29 then name the tree node
// reached and no bits are consumed). The bit count sits lowest so that the
// shift that consumes it needs no extraction, which keeps the
// lookup-to-lookup chain short; the values and their number each come out
// with one shift.
constexpr std::uint32_t wideEntry(std::uint32_t values, unsigned count, unsigned bits) {
  return count << 30 | values << 6 | bits;
}
constexpr std::uint32_t kOneValue = 1u << 30;
// Narrow entry: value in bits 0-7 and code length in bits 8-11, or bit 15 set
// and the tree node in the low bits.
constexpr std::uint16_t kLongCode = 0x8000;

constexpr int kLanes = 3;
// Segments of payload bytes per lane: long enough that finding the step costs
// little, short enough that the scratch stays in the cache.
constexpr std::size_t kMaxSegment = 16 << 10;
constexpr std::size_t kMinSegment = 512;
// Each lane's output room per payload byte of its segment; a lane that fills
// it stops early and the decoder goes on from there.
constexpr std::size_t kScratchPerByte = 4;
// Positions noted per lane: one per refill, enough to cover the first few
// hundred codes, far more than falling into step takes.
constexpr int kNotes = 64;
// A step reads at most four lookups of 12 bits, or a long code of up to 255
// more, past where it began; a lane's segment ends this far before the
// payload does, so lanes never need the checked refill.
constexpr std::size_t kTailMargin = 256;
// One step alone reads at most 4 lookups, or 3 and a long code, past where
// it began.
constexpr std::size_t kStepMargin = 64;

struct DecodeTree {
  std::array<std::array<std::int16_t, 2>, kHuffmanMaxNodes> child{};
  std::array<std::uint8_t, kHuffmanMaxNodes> value{};
};

// Left uninitialised: a code tree is complete, so filling covers every one of
// the 2^bits entries in use, and clearing 24 KB would cost as much as
// decoding a short stream.
struct Tables {
  int bits = 0;
  std::uint64_t mask = 0;
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

// Every entry looks at up to three codes without a branch between them: a
// long code's narrow entry shifted down by 8 is at least 128, so it never fits
// in the bits an index knows, and neither does anything after it.
void fillWide(Tables& t) {
  const std::uint32_t size = 1u << t.bits;
  const std::uint32_t mask = size - 1;
  const auto bits = static_cast<unsigned>(t.bits);
  for (std::uint32_t i = 0; i < size; ++i) {
    const std::uint16_t a = t.narrow[i];
    if (a & kLongCode) {
      // Consumes nothing, so that the lookups after it in a step find it
      // again and the step needs to look for it only once, at its end.
      t.wide[i] = wideEntry(a & ~kLongCode, 0, 0);
      continue;
    }
    // The bits above `used` are unknown here; a code counts only if it fits
    // entirely in the bits this index does know.
    const unsigned usedA = a >> 8;
    const std::uint16_t b = t.narrow[(i >> usedA) & mask];
    const bool two = usedA + (b >> 8) <= bits;
    const unsigned usedB = two ? usedA + (b >> 8) : usedA;
    const std::uint16_t c = t.narrow[(i >> usedB) & mask];
    const bool three = two && usedB + (c >> 8) <= bits;
    const unsigned used = three ? usedB + (c >> 8) : usedB;
    const std::uint32_t values =
        (a & 0xFFu) | (two ? (b & 0xFFu) << 8 : 0u) | (three ? std::uint32_t{c & 0xFFu} << 16 : 0u);
    t.wide[i] = wideEntry(values, 1u + two + three, used);
  }
}

// A bit position in the payload with the bits buffered ahead of it, for
// stretches the caller has made sure lie at least kTailMargin bytes before
// the payload's end, so that refills need no check.
struct Lane {
  const std::uint8_t* in = nullptr;
  std::uint64_t buffer = 0;
  unsigned count = 0;
  std::uint8_t* out = nullptr;

  std::uint64_t position(const std::uint8_t* base) const {
    return static_cast<std::uint64_t>(in - base) * 8 - count;
  }
  // Leaves at least 56 valid bits.
  void refill() {
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    buffer |= word << count;
    in += (63 - count) >> 3;
    count |= 56;
  }
  void skip(unsigned bits) {
    buffer >>= bits;
    count -= bits;
  }
};

Lane laneAt(const std::uint8_t* base, std::uint64_t bit, std::uint8_t* out) {
  Lane lane{base + bit / 8, 0, 0, out};
  lane.refill();
  lane.skip(static_cast<unsigned>(bit % 8));
  return lane;
}

// Follows a code that is longer than the tables, one bit at a time.
template <class Bits>
bool walkLongCode(const DecodeTree& tree, int node, Bits& bits, std::uint8_t& value) {
  while (tree.child[static_cast<std::size_t>(node)][0] != kNoNode) {
    if (!bits.ensureOne()) return false;
    node = tree.child[static_cast<std::size_t>(node)][bits.takeBit()];
  }
  value = tree.value[static_cast<std::size_t>(node)];
  return true;
}

struct LaneBits {
  Lane& lane;
  bool ensureOne() {
    if (lane.count == 0) lane.refill();
    return true;
  }
  unsigned takeBit() {
    const auto bit = static_cast<unsigned>(lane.buffer & 1u);
    lane.skip(1);
    return bit;
  }
};

struct ReaderBits {
  BitReader& reader;
  bool ensureOne() { return reader.available() > 0 || reader.refillChecked(); }
  unsigned takeBit() { return reader.takeBit(); }
};

struct Decoder {
  DecodeTree tree;
  Tables t;

  // One refill and up to four wide lookups: at most 12 bytes written, plus
  // one byte of the last 4-byte store. Takes the lane's fields one by one, so
  // that they stay in registers.
  [[gnu::always_inline]] void step(const std::uint8_t*& in, std::uint64_t& buffer, unsigned& count,
                                   std::uint8_t*& out) const {
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    buffer |= word << count;
    in += (63 - count) >> 3;
    count |= 56;
    // Only the low six bits of `left` are kept exact: subtracting whole
    // entries saves extracting their bit counts, and borrows only run upwards.
    unsigned left = count;
    std::uint32_t e = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
      e = t.wide[buffer & t.mask];
      const std::uint32_t values = e >> 6;
      std::memcpy(out, &values, 4);
      out += e >> 30;
      buffer >>= e & 63u;
      left -= e;
    }
    count = left & 63u;
    if (e < kOneValue) [[unlikely]] {
      // A long code stopped the step where it begins.
      Lane lane{in, buffer >> t.bits, count - static_cast<unsigned>(t.bits), out};
      LaneBits bits{lane};
      walkLongCode(tree, static_cast<int>(e >> 6), bits, *lane.out);
      in = lane.in;
      buffer = lane.buffer;
      count = lane.count;
      out = lane.out + 1;
    }
  }
  void step(Lane& lane) const { step(lane.in, lane.buffer, lane.count, lane.out); }

  // One code through the narrow table.
  void single(Lane& lane) const {
    if (lane.count < static_cast<unsigned>(t.bits)) lane.refill();
    const std::uint16_t e = t.narrow[lane.buffer & t.mask];
    if (e & kLongCode) {
      lane.skip(static_cast<unsigned>(t.bits));
      LaneBits bits{lane};
      walkLongCode(tree, e & ~kLongCode, bits, *lane.out);
    } else {
      *lane.out = static_cast<std::uint8_t>(e);
      lane.skip(e >> 8);
    }
    ++lane.out;
  }
};

struct Note {
  std::uint64_t position;
  std::uint8_t* out;
};

struct Segment {
  std::uint64_t end = 0;  // bit position where the next segment begins
  std::uint8_t* outLimit = nullptr;
  std::array<Note, kNotes> notes;
  int noted = 0;

  bool running(const Lane& lane, const std::uint8_t* base) const {
    return lane.position(base) < end && lane.out < outLimit;
  }
  void note(const Lane& lane, const std::uint8_t* base) {
    if (noted < kNotes) notes[static_cast<std::size_t>(noted++)] = {lane.position(base), lane.out};
  }
};

// The lanes' fields taken apart and every lane named by a constant, so
// that the compiler keeps them all in registers.
template <std::size_t... K>
void sideBySide(const Decoder& d, const std::uint8_t* base, std::array<Segment, kLanes>& seg,
                std::array<Lane, kLanes>& lanes, std::index_sequence<K...>) {
  const std::uint8_t* in[kLanes] = {lanes[K].in...};
  std::uint64_t buffer[kLanes] = {lanes[K].buffer...};
  unsigned count[kLanes] = {lanes[K].count...};
  std::uint8_t* out[kLanes] = {lanes[K].out...};
  const std::uint64_t ends[kLanes] = {seg[K].end...};
  std::uint8_t* const limits[kLanes] = {seg[K].outLimit...};
  for (;;) {
    const std::uint64_t at[kLanes] = {static_cast<std::uint64_t>(in[K] - base) * 8 - count[K]...};
    if (!((at[K] < ends[K] && out[K] < limits[K]) && ...)) break;
    ((seg[K].noted < kNotes
          ? void(seg[K].notes[static_cast<std::size_t>(seg[K].noted++)] = {at[K], out[K]})
          : void()),
     ...);
    (d.step(in[K], buffer[K], count[K], out[K]), ...);
  }
  ((lanes[K] = Lane{in[K], buffer[K], count[K], out[K]}), ...);
}

// Decodes one block of kLanes segments side by side and joins them onto
// `main`, which starts the block and ends it at the block's end (or short of
// it when the output buffer is nearly full).
void decodeBlock(const Decoder& d, const std::uint8_t* base, Lane& main, std::size_t segment,
                 std::uint8_t* const end, std::uint8_t* scratch) {
  const std::size_t room = segment * kScratchPerByte;
  const std::uint64_t first = main.position(base) / 8;
  std::array<Segment, kLanes> seg;
  // Apart from the segments, so that the lanes can live in registers.
  std::array<Lane, kLanes> lanes;
  for (int k = 0; k < kLanes; ++k) {
    Segment& s = seg[static_cast<std::size_t>(k)];
    const std::uint64_t startByte = first + static_cast<std::uint64_t>(k) * segment;
    s.end = (startByte + segment) * 8;
    if (k == 0) {
      lanes[0] = main;
      s.outLimit = end - 16;
    } else {
      std::uint8_t* own = scratch + static_cast<std::size_t>(k - 1) * (room + 16);
      lanes[static_cast<std::size_t>(k)] = laneAt(base, startByte * 8, own);
      s.outLimit = own + room;
    }
  }
  // Side by side while every lane runs; each link of one lane's chain has
  // the others' independent work to overlap with.
  sideBySide(d, base, seg, lanes, std::make_index_sequence<kLanes>{});
  for (int k = 0; k < kLanes; ++k) {
    Segment& s = seg[static_cast<std::size_t>(k)];
    Lane& lane = lanes[static_cast<std::size_t>(k)];
    while (s.running(lane, base)) {
      s.note(lane, base);
      d.step(lane);
    }
  }

  // Join: the decoder so far walks code by code into the next segment until
  // it stands where that lane noted a lookup; from there the lane's output is
  // the decoder's.
  main = lanes[0];
  for (int k = 1; k < kLanes; ++k) {
    Segment& s = seg[static_cast<std::size_t>(k)];
    const Lane& lane = lanes[static_cast<std::size_t>(k)];
    // A lane that stopped short of its segment's end leaves the rest of it
    // to be decoded here first.
    const std::uint64_t start = s.noted > 0 ? s.notes[0].position : s.end;
    while (main.position(base) + 64 < start && main.out < end - 16) d.step(main);
    bool joined = false;
    int n = 0;
    while (n < s.noted && main.out < end - 16) {
      const std::uint64_t at = main.position(base);
      const Note& note = s.notes[static_cast<std::size_t>(n)];
      if (note.position < at) {
        ++n;
      } else if (note.position > at) {
        d.single(main);
      } else {
        const auto bytes = static_cast<std::size_t>(lane.out - note.out);
        if (bytes <= static_cast<std::size_t>(end - 16 - main.out)) {
          std::memcpy(main.out, note.out, bytes);
          std::uint8_t* out = main.out + bytes;
          main = lane;
          main.out = out;
          joined = true;
        }
        break;
      }
    }
    if (!joined) {
      // Never in step within the noted lookups: decode the segment again.
      while (main.position(base) < s.end && main.out < end - 16) d.step(main);
    }
    if (main.out >= end - 16) return;
  }
}

std::expected<std::uint64_t, CodecError> decodeCodes(const HuffmanNodes& nodes, int leaves,
                                                     std::span<const std::uint8_t> payload,
                                                     std::uint8_t* out, std::uint8_t* const end) {
  const int root = huffmanRoot(leaves);
  Decoder d;
  for (int i = 0; i <= root; ++i) {
    const HuffmanNode& node = nodes[static_cast<std::size_t>(i)];
    d.tree.child[static_cast<std::size_t>(i)] = {node.child0, node.child1};
    d.tree.value[static_cast<std::size_t>(i)] = node.value;
  }
  d.t.bits = tableBitsFor(static_cast<std::size_t>(end - out));
  d.t.mask = (std::uint64_t{1} << d.t.bits) - 1;
  fillNarrow(nodes, root, d.t);
  fillWide(d.t);

  const std::uint8_t* const base = payload.data();
  Lane main{base, 0, 0, out};
  if (payload.size() > kTailMargin + kLanes * kMinSegment) {
    std::unique_ptr<std::uint8_t[]> scratch;
    std::size_t scratchSegment = 0;
    for (;;) {
      const std::uint64_t first = main.position(base) / 8 + 1;
      if (first + kTailMargin + kLanes * kMinSegment > payload.size()) break;
      const std::size_t segment = std::min<std::size_t>(
          kMaxSegment, (payload.size() - kTailMargin - static_cast<std::size_t>(first)) / kLanes);
      if (end - main.out < 64) break;
      if (segment > scratchSegment) {
        try {
          scratch = std::make_unique_for_overwrite<std::uint8_t[]>(
              (kLanes - 1) * (segment * kScratchPerByte + 16));
        } catch (const std::bad_alloc&) {
          break;  // the plain loop below needs no scratch
        }
        scratchSegment = segment;
      }
      decodeBlock(d, base, main, segment, end, scratch.get());
    }
  }
  // One stream on its own up to the last bytes of the payload, where only
  // the checked refill may read.
  while (payload.size() - static_cast<std::size_t>(main.in - base) >= kStepMargin &&
         end - main.out >= 16) {
    d.step(main);
  }
  out = main.out;

  BitReader reader(payload);
  reader.seek(main.position(base));
  const auto bits = static_cast<unsigned>(d.t.bits);
  while (out < end) {
    if (reader.available() < bits && !reader.refillChecked()) {
      return std::unexpected(CodecError::kPayloadTooShort);
    }
    const std::uint16_t e = d.t.narrow[reader.peek() & d.t.mask];
    if (e & kLongCode) {
      reader.skip(bits);
      ReaderBits more{reader};
      if (!walkLongCode(d.tree, e & ~kLongCode, more, *out)) {
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

// A stream's checked header and tree, ready to decode.
struct LoadedStream {
  StreamLayout layout;
  HuffmanNodes nodes;
  int leaves = 0;
};

std::expected<void, CodecError> load(std::span<const std::uint8_t> stream, LoadedStream& loaded) {
  const auto layout = parseStreamLayout(stream);
  if (!layout) return std::unexpected(layout.error());
  loaded.layout = *layout;
  if (layout->length == 0) return {};
  const auto leaves = loadCodeTree(*layout, loaded.nodes);
  if (!leaves) return std::unexpected(leaves.error());
  loaded.leaves = *leaves;
  return {};
}

// Writes the L bytes to `out`, which holds them; returns the payload bits
// they took.
std::expected<std::uint64_t, CodecError> decodeLoaded(const LoadedStream& loaded,
                                                      std::uint8_t* out) {
  const auto length = static_cast<std::size_t>(loaded.layout.length);
  if (length == 0) return 0;
  if (loaded.leaves == 1) {
    std::memset(out, loaded.nodes[0].value, length);
    return 0;
  }
  return decodeCodes(loaded.nodes, loaded.leaves, loaded.layout.payload, out, out + length);
}

}  // namespace

std::expected<std::size_t, CodecError> huffmanDecodedLength(std::span<const std::uint8_t> stream) {
  LoadedStream loaded;
  const auto done = load(stream, loaded);
  if (!done) return std::unexpected(done.error());
  return static_cast<std::size_t>(loaded.layout.length);
}

std::expected<DecodeSummary, CodecError> huffmanDecompressInto(std::span<const std::uint8_t> stream,
                                                               std::span<std::uint8_t> out) {
  const auto layout = parseStreamLayout(stream);
  if (!layout) return std::unexpected(layout.error());
  if (out.size() < static_cast<std::size_t>(layout->length)) {
    return std::unexpected(CodecError::kOutOfMemory);
  }
  LoadedStream loaded;
  const auto done = load(stream, loaded);
  if (!done) return std::unexpected(done.error());
  const auto bits = decodeLoaded(loaded, out.data());
  if (!bits) return std::unexpected(bits.error());
  return DecodeSummary{static_cast<std::size_t>(loaded.layout.length), *bits};
}

std::expected<std::vector<std::uint8_t>, CodecError> huffmanDecompress(
    std::span<const std::uint8_t> stream) {
  // The tree is built once: checking the stream before the allocation and
  // decoding it share it.
  LoadedStream loaded;
  const auto done = load(stream, loaded);
  if (!done) return std::unexpected(done.error());
  std::vector<std::uint8_t> data;
  try {
    data.resize(static_cast<std::size_t>(loaded.layout.length));
  } catch (const std::bad_alloc&) {
    return std::unexpected(CodecError::kOutOfMemory);
  }
  const auto bits = decodeLoaded(loaded, data.data());
  if (!bits) return std::unexpected(bits.error());
  return data;
}

}  // namespace qx
