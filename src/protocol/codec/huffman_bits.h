#pragma once
// The payload's bit reader: least significant bit first, refilled a machine
// word at a time. Near the end of the payload it moves onto a zero-padded
// copy of the last bytes, so it never reads outside the stream; reading past
// the payload is noticed by the caller through bitsConsumed().
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace qx {

static_assert(std::endian::native == std::endian::little,
              "the codec loads and stores little-endian words directly");

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> payload)
      : in_(payload.data()), end_(payload.data() + payload.size()), start_(payload.data()) {}

  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  bool canRefillFast() const { return end_ - in_ >= 8; }

  // Leaves at least 56 valid bits. Requires canRefillFast().
  void refillFast() {
    std::uint64_t word;
    std::memcpy(&word, in_, sizeof word);
    buffer_ |= word << count_;
    in_ += (63 - count_) >> 3;
    count_ |= 56;
  }

  // False once the reader is more than 64 bits past the end of the payload,
  // which only a payload too short for its length can cause.
  bool refillChecked() {
    if (!canRefillFast()) {
      if (padded_) return false;
      const auto rest = static_cast<std::size_t>(end_ - in_);
      if (rest > 0) std::memcpy(pad_, in_, rest);
      base_ += static_cast<std::uint64_t>(in_ - start_);
      in_ = start_ = pad_;
      end_ = pad_ + sizeof pad_;
      padded_ = true;
    }
    refillFast();
    return true;
  }

  // Moves to a bit position of the payload, at most its end; nothing may
  // have been refilled from the padded copy yet.
  void seek(std::uint64_t bit) {
    in_ = start_ + bit / 8;
    buffer_ = 0;
    count_ = 0;
    const auto within = static_cast<unsigned>(bit % 8);
    if (within == 0) return;
    if (canRefillFast()) {
      refillFast();
    } else {
      refillChecked();
    }
    skip(within);
  }

  // The buffered bits; only the low available() of them are valid.
  std::uint64_t peek() const { return buffer_; }
  unsigned available() const { return count_; }

  void skip(unsigned bits) {
    buffer_ >>= bits;
    count_ -= bits;
  }

  unsigned takeBit() {
    const auto bit = static_cast<unsigned>(buffer_ & 1u);
    skip(1);
    return bit;
  }

  std::uint64_t bitsConsumed() const {
    return (base_ + static_cast<std::uint64_t>(in_ - start_)) * 8 - count_;
  }

 private:
  const std::uint8_t* in_;
  const std::uint8_t* end_;
  const std::uint8_t* start_;
  std::uint64_t base_ = 0;
  std::uint64_t buffer_ = 0;
  unsigned count_ = 0;
  bool padded_ = false;
  // Fewer than 8 payload bytes are left when the reader moves here; the rest
  // stays zero, as bytes beyond the stream read.
  std::uint8_t pad_[24] = {};
};

}  // namespace qx
