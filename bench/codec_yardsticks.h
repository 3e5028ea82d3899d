#pragma once
// The codec's yardsticks on the same bytes: zlib's deflate with Huffman codes
// only (raw deflate, no wrapper, so libdeflate reads the same stream). Only
// benchmarks include this; the add-in never links either library.
#include <libdeflate.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace qx::bench {

class Deflater {
 public:
  Deflater() { deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY); }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  z_stream& stream() { return z_; }

  // Compresses into `out`, which holds at least bound() bytes; the size
  // written, or 0 on failure.
  std::size_t deflateInto(const std::vector<std::uint8_t>& data, std::uint8_t* out,
                          std::size_t room) {
    deflateReset(&z_);
    z_.next_in = const_cast<Bytef*>(data.data());
    z_.avail_in = static_cast<uInt>(data.size());
    z_.next_out = out;
    z_.avail_out = static_cast<uInt>(room);
    if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return 0;
    return z_.total_out;
  }

  std::size_t bound(std::size_t size) { return deflateBound(&z_, static_cast<uLong>(size)); }

  std::vector<std::uint8_t> deflated(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out(bound(data.size()));
    out.resize(deflateInto(data, out.data(), out.size()));
    return out;
  }

 private:
  z_stream z_{};
};

}  // namespace qx::bench
